// A project package whose text holds a value that cannot be used (a font size below zero or not a finite
// number, columns wider than their field or not a finite number) opens with the value repaired and the rest
// of the text intact.
#include "model/column_info.h"
#include "project_test_support.h"
#include "text/text.h"

#include <QtEndian>

#include <cmath>
#include <limits>

using namespace kxtest;

namespace {

// Distinctive values that the test finds in the saved bytes and overwrites with damaged ones.
constexpr double kMarkerFontSize = 1234.5;
constexpr float kMarkerColumnWidth = 0.3671875f;
constexpr float kOtherMarkerColumnWidth = 0.4296875f;

// A binary property list real: its marker byte and the big-endian number.
QByteArray plistReal(double value) {
    QByteArray bytes(9, '\0');
    bytes[0] = char(0x23);
    qToBigEndian(value, bytes.data() + 1);
    return bytes;
}
QByteArray plistReal(float value) {
    QByteArray bytes(5, '\0');
    bytes[0] = char(0x22);
    qToBigEndian(value, bytes.data() + 1);
    return bytes;
}

// Replaces the one occurrence of `from` in the file by `to`.
void replaceOnce(const QString& path, const QByteArray& from, const QByteArray& to) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    ASSERT_EQ(bytes.count(from), 1) << path.toStdString();
    bytes.replace(from, to);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

KXText* firstText(KXProject& project) {
    for (const auto& graph : project.canvasAtIndex(0)->graphs())
        if (auto* shape = dynamic_cast<KXShape*>(graph.get()))
            if (auto* text = dynamic_cast<KXText*>(shape->text()))
                return text;
    return nullptr;
}

}  // namespace

TEST_F(ProjectTest, APackageWithAnUnusableFontSizeOrOverwideColumnsOpensRepaired) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    const QString words = QStringLiteral("Every word stays");
    struct Case {
        double storedSize;
        double readSize;
    };
    const Case cases[] = {{-1, 12}, {nan, 12}, {inf, 12}, {-inf, 12}, {1e300, kx::kLargestFontSize}};
    int n = 0;
    for (const Case& c : cases) {
        KXProject project;
        auto shape = std::make_shared<KXShape>();
        shape->setPhoto(nullptr);
        project.canvasAtIndex(0)->addGraph(shape);
        auto* text = dynamic_cast<KXText*>(shape->text());
        ASSERT_TRUE(text);
        kx::TextAttributes attributes;
        attributes.font = kx::Font::defaultFont(kMarkerFontSize);
        attributes.underline = kx::kUnderlineSingle;
        text->textStorage().setAttributedString(kx::AttributedString(words, attributes));
        text->setColumnInfos(
            {KXColumnInfo::columnInfoWithWidth(kMarkerColumnWidth, 0.125), KXColumnInfo::columnInfoWithWidth(kOtherMarkerColumnWidth, 0)});

        const QString package = at(QStringLiteral("Damaged%1.vrtp3").arg(n++));
        QString error;
        ASSERT_TRUE(project.saveAsProjectToPath(package, KXSaveOperationSave, &error)) << error.toStdString();
        replaceOnce(package + "/info.xml", plistReal(kMarkerFontSize), plistReal(c.storedSize));
        replaceOnce(package + "/info.xml", plistReal(kMarkerColumnWidth), plistReal(1.5f));
        replaceOnce(package + "/info.xml", plistReal(kOtherMarkerColumnWidth),
                    plistReal(std::numeric_limits<float>::quiet_NaN()));

        auto opened = KXProject::initWithPath(package, &error);
        ASSERT_TRUE(opened) << c.storedSize << ": " << error.toStdString();
        KXText* back = firstText(*opened);
        ASSERT_TRUE(back) << c.storedSize;
        const kx::AttributedString& string = back->textStorage().attributedString();
        EXPECT_EQ(string.string(), words) << c.storedSize;
        ASSERT_EQ(string.runs().size(), 1u) << c.storedSize;
        EXPECT_EQ(string.attributesAt(0).effectiveFont().pointSize(), c.readSize) << c.storedSize;
        EXPECT_EQ(string.attributesAt(0).underline, kx::kUnderlineSingle) << c.storedSize;
        // The columns keep their proportions and fill the field instead of reaching past it.
        const auto& infos = back->columnInfos();
        ASSERT_EQ(infos.size(), 2u);
        const double total = 1.5 + 0.125;  // the width that is not a number reads as 0
        EXPECT_NEAR(infos[0]->width(), 1.5 / total, 1e-6);
        EXPECT_NEAR(infos[0]->gutter(), 0.125 / total, 1e-6);
        EXPECT_EQ(infos[1]->width(), 0);
    }
}
