#include "platform/foundation/strings_table.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace kx;

namespace {

QByteArray encoded(const QString& text, QStringEncoder::Encoding encoding, const QByteArray& bom) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::Stateless);
    return bom + QByteArray(encoder.encode(text));
}

}  // namespace

TEST(StringsTable, ReadsEntriesCommentsEscapesAndUnquotedWords) {
    const QByteArray text =
        "/* A block comment\n   over two lines; \"not\" = \"an entry\"; */\n"
        "\"FailedOpenURL\" = \"Could not open.\";  // a line comment\n"
        "\"Quote\"=\"He said \\\"hi\\\"\\n\\tthen left \\\\ \\U00e9\\u2014\";\n"
        "Plain_Key.1 = word-value;\n"
        "\"Lone\";\n"
        "\"Octal\" = \"\\101\\102\";\n"
        "\"Surrogates\" = \"\\UD83D\\UDE00\";\n"
        "\"Empty\" = \"\";\n"
        "\"OK\" = \"first\";\n"
        "\"OK\" = \"Okay\";\n"
        "\"Unicode é\" = \"ü\";";
    QString error;
    const std::optional<StringsTable> table = parseStringsTable(text, &error);
    ASSERT_TRUE(table) << qPrintable(error);
    const StringsTable expected = {
        {"FailedOpenURL", "Could not open."},
        {"Quote", QStringLiteral("He said \"hi\"\n\tthen left \\ \u00e9\u2014")},
        {"Plain_Key.1", "word-value"},
        {"Lone", "Lone"},
        {"Octal", "AB"},
        {"Surrogates", QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"Empty", ""},
        {"OK", "Okay"},  // the later entry wins
        {QString::fromUtf8("Unicode é"), QString::fromUtf8("ü")},
    };
    EXPECT_EQ(*table, expected);
}

TEST(StringsTable, DecodesUtf16WithByteOrderMarkAndUtf8WithOrWithoutIt) {
    const QString text = QString::fromUtf8("/* ünïcödé */\n\"OK\" = \"D'accord\";\n\"Close\" = \"Fermer ✓\";\n");
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"UTF-16 LE", encoded(text, QStringEncoder::Utf16LE, "\xFF\xFE")},
        {"UTF-16 BE", encoded(text, QStringEncoder::Utf16BE, "\xFE\xFF")},
        {"UTF-8 with mark", encoded(text, QStringEncoder::Utf8, "\xEF\xBB\xBF")},
        {"UTF-8", encoded(text, QStringEncoder::Utf8, "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<StringsTable> table = parseStringsTable(c.data);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->at("OK"), "D'accord");
        EXPECT_EQ(table->at("Close"), QString::fromUtf8("Fermer ✓"));
    }
}

TEST(StringsTable, SyntaxErrorsRejectTheWholeFileAndNameTheLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"\"A\" = \"1\";\n\"B\" = \"2\"\n", "line 3: \";\" was expected"},
        {"\"A\" = \"1\";\n\"B\" = \"unterminated;\n", "unterminated string"},
        {"\"A\" = \"1\";\n/* never closed\n", "line 2: unterminated comment"},
        {"\"A\" = ;", "a value was expected"},
        {"= \"x\";", "a key was expected"},
        {"\"A\" = \"\\U\";", "\\U without hex digits"},
        {"\"A\" = \"trailing backslash\\", "unterminated string"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        EXPECT_FALSE(parseStringsTable(QByteArray(c.text), &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << qPrintable(error);
    }
}

TEST(StringsTable, EmptyAndCommentOnlyFilesAreEmptyTables) {
    for (const char* text : {"", "  \n\t", "/* nothing */ // here\n"}) {
        const std::optional<StringsTable> table = parseStringsTable(QByteArray(text));
        ASSERT_TRUE(table) << text;
        EXPECT_TRUE(table->empty());
    }
}
