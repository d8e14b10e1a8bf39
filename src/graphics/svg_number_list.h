// Fixed-length number lists of SVG attributes (viewBox, matrix).
#pragma once

#include "graphics/svg_scanner.h"

enum class NumberPrecision { Single, Double };

// Reads `count` numbers separated by white space or by a comma with optional white space around it.
// Answers false, leaving `numbers` partly filled, when fewer than `count` numbers can be read.
bool scanNumberList(SVGScanner& scanner, double* numbers, int count, NumberPrecision precision);
