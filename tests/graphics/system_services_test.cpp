#include "graphics/system_services.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QScreen>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/utsname.h>

namespace {

TEST(SystemVersion, ComparesMajorThenMinor) {
    struct Case {
        SystemVersion current;
        bool atLeast10_9;
    };
    const Case cases[] = {
        {{10, 9}, true}, {{10, 12}, true}, {{11, 0}, true}, {{10, 8}, false}, {{9, 15}, false}, {{0, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isVersionAtLeast(c.current, 10, 9), c.atLeast10_9) << c.current.major << "." << c.current.minor;
}

TEST(SystemVersion, IsTheRunningKernelsRelease) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(names.release, "%d.%d", &major, &minor), 2) << names.release;
    const SystemVersion v = systemVersion();
    EXPECT_EQ(v.major, major);
    EXPECT_EQ(v.minor, minor);
    EXPECT_TRUE(isSystemVersionAtLeast(major, minor));
    EXPECT_FALSE(isSystemVersionAtLeast(major, minor + 1));
    EXPECT_FALSE(isSystemVersionAtLeast(major + 1, 0));
}

TEST(BackingScale, IsTheScreensPixelRatio) {
    const double scale = mainScreenBackingScale();
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(scale, QGuiApplication::primaryScreen()->devicePixelRatio());
    EXPECT_GE(scale, 1.0);
}

TEST(SharedPasteboard, IsTheApplicationClipboardEveryTime) {
    QClipboard* first = sharedPasteboard();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, QGuiApplication::clipboard());
    EXPECT_EQ(sharedPasteboard(), first);
}

TEST(FontFamilyMenu, TwoCallsGiveDistinctMenusWithTheSameItems) {
    const std::unique_ptr<QMenu> first = fontFamilyMenu();
    const std::unique_ptr<QMenu> second = fontFamilyMenu();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    const QList<QAction*> a = first->actions();
    const QList<QAction*> b = second->actions();
    ASSERT_FALSE(a.isEmpty()) << "no fonts installed";
    ASSERT_EQ(a.size(), b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        EXPECT_NE(a[i], b[i]);
        EXPECT_EQ(a[i]->text(), b[i]->text());
    }
}

TEST(FontFamilyMenu, ItemsAreTheFamiliesInDatabaseOrderSetInTheirOwnFont) {
    const std::unique_ptr<QMenu> menu = fontFamilyMenu();
    ASSERT_TRUE(menu);
    QStringList families;
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::styles(family).isEmpty())
            families.append(family);
    }
    QStringList titles;
    for (QAction* item : menu->actions()) {
        titles.append(item->text());
        EXPECT_EQ(item->font().family(), item->text());
        EXPECT_EQ(item->font().pointSize(), 12);
        EXPECT_TRUE(item->shortcut().isEmpty());
        EXPECT_TRUE(QFontDatabase::families().contains(QFontInfo(item->font()).family()));
    }
    EXPECT_EQ(titles, families);
}

}  // namespace
