#include "output/export_choices.h"

#include <QFileInfo>

#include <algorithm>

KXPageNumbers correctedPageRange(KXPageNumbers numbers) {
    if (numbers.last < numbers.first)
        numbers.first = numbers.last;
    return numbers;
}

int clampedPageNumber(int typed, int pageCount) {
    return std::clamp(typed, 1, std::max(1, pageCount));
}

bool exportWritesFolder(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers) {
    switch (choice) {
    case KXExportAllPages:
        return pageCount >= 2;
    case KXExportOnePage:
        return false;
    case KXExportPageRange: {
        const KXPageNumbers corrected = correctedPageRange(numbers);
        return corrected.first != corrected.last;
    }
    }
    return false;
}

QStringList allowedFileTypes(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers, const QString& format) {
    return {exportWritesFolder(choice, pageCount, numbers) ? KXFolderFileType : format};
}

std::vector<int> exportPageIndexes(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers) {
    std::vector<int> indexes;
    auto addRange = [&](int first, int last) {
        for (int n = std::max(first, 1); n <= std::min(last, pageCount); ++n)
            indexes.push_back(n - 1);
    };
    switch (choice) {
    case KXExportAllPages:
        addRange(1, pageCount);
        break;
    case KXExportOnePage:
        addRange(numbers.first, numbers.first);
        break;
    case KXExportPageRange:
        addRange(numbers.first, numbers.last);
        break;
    }
    return indexes;
}

int clampedQuality(int typed) {
    return std::clamp(typed, 1, 100);
}

int qualityAfterEditing(int value) {
    return value <= 9 ? 10 : clampedQuality(value);
}

QString defaultExportName(const QString& projectPath, const QString& untitled) {
    if (projectPath.isEmpty())
        return untitled;
    const QString name = QFileInfo(projectPath).completeBaseName();
    return name.isEmpty() ? untitled : name;
}

QString numberedExportPath(const QString& folder, int index, const QString& extension) {
    QString trimmed = folder;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const QString name = QFileInfo(trimmed).fileName();
    return QStringLiteral("%1/%2_%3.%4").arg(trimmed, name).arg(index + 1).arg(extension);
}
