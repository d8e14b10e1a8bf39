#include "platform/foundation/user_defaults.h"
#include "support/qt_message_check.h"

#include <QDateTime>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kx;

namespace {

class Thing : public Object {
public:
    QString className() const override { return QStringLiteral("Thing"); }
};

}  // namespace

TEST(UserDefaults, StoredValueWinsOverRegisteredDefaultAndRemovalBringsItBack) {
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("settings.conf"));
    EXPECT_TRUE(defaults.value("KXAutoSnap").isNil());
    defaults.registerDefaults({{"KXAutoSnap", Value(true)}, {"KXShowMarginBox", Value(false)}});
    EXPECT_EQ(defaults.value("KXAutoSnap"), Value(true));
    EXPECT_FALSE(defaults.hasStoredValue("KXAutoSnap"));

    EXPECT_TRUE(defaults.setValue("KXAutoSnap", Value(false)));
    EXPECT_FALSE(defaults.boolValue("KXAutoSnap"));
    EXPECT_TRUE(defaults.hasStoredValue("KXAutoSnap"));

    defaults.removeValue("KXAutoSnap");
    EXPECT_TRUE(defaults.boolValue("KXAutoSnap"));
    defaults.setValue("KXAutoSnap", Value(false));
    defaults.setValue("KXAutoSnap", Value());  // nil removes too
    EXPECT_TRUE(defaults.boolValue("KXAutoSnap"));

    defaults.registerDefaults({{"KXShowMarginBox", Value(true)}});  // registering again replaces
    EXPECT_TRUE(defaults.boolValue("KXShowMarginBox"));
}

TEST(UserDefaults, ValuesKeepTheirTypesThroughTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.conf");
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    const ValueDictionary values = {
        {"KXAutoSnap", Value(true)},
        {"KXMarginUnit", Value(2)},
        {"KXZoom", Value(1.25)},
        {"KXLastFolder", Value("/home/someone/Pictures/été")},
        {"KXColorData", Value(QByteArray("\x00\x01\xff", 3))},
        {"KXNextCheckDate", Value(date)},
        {"Favorite", Value(ValueArray{Value("Birthday"), Value("Wedding")})},
        {"KXCustomSize", Value(ValueDictionary{{"width", Value(800)}, {"height", Value(600.5)}})},
        {"1.0.3", Value(false)},  // the per-version key is the bundle version
    };
    {
        UserDefaults defaults(path);
        for (const auto& [key, v] : values)
            ASSERT_TRUE(defaults.setValue(key, v)) << qPrintable(key);
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reopened(path);
    for (const auto& [key, v] : values) {
        SCOPED_TRACE(qPrintable(key));
        const Value read = reopened.value(key);
        EXPECT_EQ(read.type(), v.type());
        EXPECT_EQ(read, v) << qPrintable(describe(read));
    }
    EXPECT_EQ(reopened.integerValue("KXMarginUnit"), 2);
    EXPECT_DOUBLE_EQ(reopened.doubleValue("KXZoom"), 1.25);
    EXPECT_EQ(reopened.stringValue("KXLastFolder"), "/home/someone/Pictures/été");
}

TEST(UserDefaults, RegisteredDefaultsAreNotWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.conf");
    {
        UserDefaults defaults(path);
        defaults.registerDefaults({{"KXShowWelcome", Value(true)}});
        defaults.setValue("KXAutoSnap", Value(true));
        defaults.synchronize();
    }
    UserDefaults reopened(path);
    EXPECT_TRUE(reopened.value("KXShowWelcome").isNil());
    EXPECT_EQ(reopened.value("KXAutoSnap"), Value(true));
}

TEST(UserDefaults, RefusesWhatAPropertyListCannotHoldAndEmptyKeys) {
    kxtest::ExpectedQtWarning refused(QStringLiteral("^UserDefaults: cannot store KXThing: a property list cannot hold an object of class Thing$"));
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("settings.conf"));
    defaults.setValue("KXAutoSnap", Value(true));
    EXPECT_FALSE(defaults.setValue("KXThing", Value(std::make_shared<Thing>())));
    EXPECT_FALSE(defaults.hasStoredValue("KXThing"));
    EXPECT_FALSE(defaults.setValue("", Value(1)));
    defaults.removeValue("");  // must not wipe the store
    EXPECT_EQ(defaults.value("KXAutoSnap"), Value(true));
}

TEST(UserDefaults, DamagedStoredValueFallsBackToTheDefault) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.conf");
    {
        QSettings raw(path, QSettings::IniFormat);
        raw.setValue("KXAutoSnap", QByteArray("not a property list"));
        raw.setValue("KXMarginUnit", QStringLiteral("bplist00"));
    }
    UserDefaults defaults(path);
    defaults.registerDefaults({{"KXAutoSnap", Value(true)}, {"KXMarginUnit", Value(1)}});
    EXPECT_EQ(defaults.value("KXAutoSnap"), Value(true));
    EXPECT_EQ(defaults.value("KXMarginUnit"), Value(1));
}

TEST(UserDefaults, StandardStoreCanBePointedAtAFileOfItsOwn) {
    QTemporaryDir first, second;
    UserDefaults::setStandardFilePath(first.filePath("a.conf"));
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.filePath(), first.filePath("a.conf"));
    defaults.registerDefaults({{"KXShowWelcome", Value(true)}});
    defaults.setValue("KXAutoSnap", Value(true));
    EXPECT_TRUE(defaults.boolValue("KXShowWelcome"));

    UserDefaults::setStandardFilePath(second.filePath("b.conf"));
    EXPECT_EQ(&UserDefaults::standard(), &defaults);  // the same object, now on a clean store
    EXPECT_TRUE(defaults.value("KXAutoSnap").isNil());
    EXPECT_TRUE(defaults.value("KXShowWelcome").isNil());

    UserDefaults::setStandardFilePath(first.filePath("a.conf"));
    EXPECT_EQ(defaults.value("KXAutoSnap"), Value(true));  // the first file kept what was written
    UserDefaults::setStandardFilePath(QString());
    EXPECT_EQ(defaults.filePath(), UserDefaults::defaultFilePath());
}
