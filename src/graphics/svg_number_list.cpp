#include "graphics/svg_number_list.h"

bool scanNumberList(SVGScanner& scanner, double* numbers, int count, NumberPrecision precision) {
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            scanner.scanString(u",");  // white space before it is skipped by the scan itself
        if (precision == NumberPrecision::Single) {
            float value = 0;
            if (!scanner.scanFloat(&value))
                return false;
            numbers[i] = value;
        } else if (!scanner.scanDouble(&numbers[i])) {
            return false;
        }
    }
    return true;
}
