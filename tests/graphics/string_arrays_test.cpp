#include "graphics/string_arrays.h"

#include <gtest/gtest.h>

namespace {

TEST(StringArrays, ContainsStringIgnoresCase) {
    EXPECT_TRUE(containsString({QStringLiteral("photo")}, QStringLiteral("PHOTO")));
    EXPECT_TRUE(containsString({QStringLiteral("a"), QStringLiteral("Frame")}, QStringLiteral("fRAME")));
    EXPECT_FALSE(containsString({QStringLiteral("photos")}, QStringLiteral("photo")));
    EXPECT_FALSE(containsString({}, QStringLiteral("photo")));
    EXPECT_FALSE(containsString({}, QString()));
}

TEST(StringArrays, RemoveStringByCaseFlag) {
    struct Case {
        bool caseSensitive;
        QStringList expected;
    };
    const Case cases[] = {
        {false, {QStringLiteral("b")}},
        {true, {QStringLiteral("A"), QStringLiteral("b")}},
    };
    for (const auto& c : cases) {
        QStringList list{QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b")};
        removeString(list, QStringLiteral("a"), c.caseSensitive);
        EXPECT_EQ(list, c.expected) << c.caseSensitive;
    }
}

TEST(StringArrays, RemoveStringKeepsOrderAndLeavesEmptyListsAlone) {
    QStringList list{QStringLiteral("x"), QStringLiteral("T"), QStringLiteral("y"), QStringLiteral("t"),
                     QStringLiteral("z")};
    removeString(list, QStringLiteral("t"), false);
    EXPECT_EQ(list, (QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}));
    QStringList empty;
    removeString(empty, QStringLiteral("t"), false);
    EXPECT_TRUE(empty.isEmpty());
}

}  // namespace
