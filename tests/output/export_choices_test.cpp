#include "output/export_choices.h"

#include <gtest/gtest.h>

namespace {

struct FolderCase {
    KXExportPageChoice choice;
    int pageCount;
    KXPageNumbers numbers;
    bool folder;
};

TEST(ExportChoices, FolderOrFileFollowsHowManyFilesTheRunWrites) {
    const FolderCase cases[] = {
        {KXExportAllPages, 1, {1, 1}, false},  {KXExportAllPages, 2, {1, 2}, true},
        {KXExportAllPages, 5, {3, 3}, true},   {KXExportOnePage, 5, {2, 5}, false},
        {KXExportOnePage, 1, {1, 1}, false},   {KXExportPageRange, 5, {2, 2}, false},
        {KXExportPageRange, 5, {2, 4}, true},  {KXExportPageRange, 5, {4, 2}, false},
        {KXExportPageRange, 5, {1, 5}, true},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "choice " << c.choice << " pages " << c.pageCount << " range "
                                        << c.numbers.first << ".." << c.numbers.last);
        EXPECT_EQ(exportWritesFolder(c.choice, c.pageCount, c.numbers), c.folder);
        const QStringList types = allowedFileTypes(c.choice, c.pageCount, c.numbers, QStringLiteral("png"));
        EXPECT_EQ(types, QStringList{c.folder ? QStringLiteral("public.folder") : QStringLiteral("png")});
    }
}

TEST(ExportChoices, RangeCorrectionAndPageSelection) {
    struct Case {
        KXExportPageChoice choice;
        KXPageNumbers numbers;
        KXPageNumbers corrected;
        std::vector<int> indexes;
    };
    const Case cases[] = {
        {KXExportAllPages, {1, 4}, {1, 4}, {0, 1, 2, 3}},
        {KXExportOnePage, {3, 4}, {3, 4}, {2}},
        {KXExportPageRange, {2, 3}, {2, 3}, {1, 2}},
        {KXExportPageRange, {3, 3}, {3, 3}, {2}},
        // A last number below the first pulls the first down to it.
        {KXExportPageRange, {4, 2}, {2, 2}, {}},
    };
    for (const Case& c : cases) {
        const KXPageNumbers corrected = correctedPageRange(c.numbers);
        EXPECT_EQ(corrected.first, c.corrected.first);
        EXPECT_EQ(corrected.last, c.corrected.last);
        EXPECT_EQ(exportPageIndexes(c.choice, 4, c.numbers), c.indexes);
    }
    EXPECT_EQ(exportPageIndexes(KXExportPageRange, 4, correctedPageRange({4, 2})), std::vector<int>{1});
    EXPECT_EQ(clampedPageNumber(0, 4), 1);
    EXPECT_EQ(clampedPageNumber(9, 4), 4);
    EXPECT_EQ(clampedPageNumber(3, 4), 3);
}

TEST(ExportChoices, QualityIsClampedWhileTypingAndRaisedToTenWhenEditingEnds) {
    EXPECT_EQ(clampedQuality(150), 100);
    EXPECT_EQ(clampedQuality(0), 1);
    EXPECT_EQ(clampedQuality(5), 5);
    EXPECT_EQ(qualityAfterEditing(5), 10);
    EXPECT_EQ(qualityAfterEditing(9), 10);
    EXPECT_EQ(qualityAfterEditing(10), 10);
    EXPECT_EQ(qualityAfterEditing(85), 85);
}

TEST(ExportChoices, NamesOfTheExport) {
    EXPECT_EQ(defaultExportName(QStringLiteral("/home/a/Birthday Card.kxp"), QStringLiteral("Untitled")),
              QStringLiteral("Birthday Card"));
    EXPECT_EQ(defaultExportName(QStringLiteral("/home/a/v1.2.kxp"), QStringLiteral("Untitled")), QStringLiteral("v1.2"));
    EXPECT_EQ(defaultExportName({}, QStringLiteral("Untitled")), QStringLiteral("Untitled"));
    EXPECT_EQ(numberedExportPath(QStringLiteral("/x/Card"), 0, QStringLiteral("png")), QStringLiteral("/x/Card/Card_1.png"));
    EXPECT_EQ(numberedExportPath(QStringLiteral("/x/Card/"), 2, QStringLiteral("psd")), QStringLiteral("/x/Card/Card_3.psd"));
}

}  // namespace
