// The user's own templates: the names they may get, and renaming, replacing and deleting their folders.
#include "document/package_file_calls.h"
#include "library/template_favorites.h"
#include "library/template_name_sheets.h"
#include "library/user_templates.h"
#include "template_test_support.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <cerrno>
#include <cstdio>

using namespace kx::templates;

namespace {

class UserTemplatesTest : public kxtest::TemplateFixture {
protected:
    void TearDown() override {
        kx::setPackageFileCalls({});
        TemplateFixture::TearDown();
    }
    QByteArray infoOf(const QString& folder) {
        QFile file(folder + "/info.xml");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(UserTemplatesTest, NamesAreCheckedOnTheFolderNameTheyBecome) {
    const struct {
        const char* typed;
        const char* folder;  // empty: refused
    } cases[] = {
        {"Trip/2024", "Trip2024"}, {"Card", "Card"}, {"", ""},        {"/", ""},   {"//", ""},
        {".", ""},                 {"..", ""},      {"/..", ""},     {"./", ""},  {".hidden", ""},
        {"a.b", "a.b"},            {" x ", " x "},
    };
    for (const auto& c : cases) {
        const QString name = sanitizedTemplateName(c.typed);
        const bool accepted = isAcceptableTemplateName(name);
        EXPECT_EQ(accepted, QString(c.folder).size() > 0) << c.typed;
        if (accepted) {
            EXPECT_EQ(name, QString(c.folder));
            EXPECT_EQ(userTemplatePathForName(name), myTemplates() + "/" + c.folder + ".tpl");
        } else {
            EXPECT_TRUE(userTemplatePathForName(name).isEmpty()) << c.typed;
        }
    }
}

TEST_F(UserTemplatesTest, TheSaveSheetRefusesBadNamesAndAsksBeforeReplacing) {
    KXSaveTemplateController sheet;
    EXPECT_EQ(sheet.name(), "Untitled");
    for (const char* bad : {"", "/", "..", ".x", "/./"}) {
        alerts.clear();
        sheet.tfName()->setText(bad);
        sheet.OKClicked();
        EXPECT_FALSE(sheet.isOK()) << bad;
        ASSERT_EQ(alerts.size(), 1u) << bad;
        EXPECT_EQ(alerts[0].message, "FileEmpty");
        EXPECT_EQ(alerts[0].informative, "FileEmptyTip");
        EXPECT_EQ(alerts[0].buttons, QStringList{"OK"});
    }

    userTemplate("Trip2024");
    alerts.clear();
    alertAnswer = 1;  // Cancel
    sheet.tfName()->setText("Trip/2024");
    sheet.OKClicked();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "FileExisted");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Replace", "Cancel"}));
    EXPECT_FALSE(sheet.isOK());

    alertAnswer = 0;  // Replace
    sheet.OKClicked();
    EXPECT_TRUE(sheet.isOK());
    EXPECT_EQ(sheet.templatePath(), myTemplates() + "/Trip2024.tpl");

    alerts.clear();
    sheet.tfName()->setText("New One");
    sheet.OKClicked();
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(sheet.templatePath(), myTemplates() + "/New One.tpl");
    sheet.cancelClicked();
    EXPECT_FALSE(sheet.isOK());
}

TEST_F(UserTemplatesTest, ReplacingMovesTheOldTemplateAsideAndRemovesItOnlyAfterTheNewNameIsIn) {
    const QString card = userTemplate("Card");
    const QString card2 = userTemplate("Card 2");
    const QString old = userTemplate("Card 2 old");
    writeFile(card + "/info.xml", "card");
    QString error;
    ASSERT_TRUE(moveTemplateFolder(card, card2, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(card));
    EXPECT_EQ(infoOf(card2), "card");
    EXPECT_TRUE(QFileInfo::exists(old));
    // Nothing is left aside.
    EXPECT_EQ(QDir(myTemplates()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"Card 2 old.tpl", "Card 2.tpl"}));
}

TEST_F(UserTemplatesTest, AFailedStepOfAReplacingRenamePutsBothTemplatesBack) {
    for (int failing = 1; failing <= 2; ++failing) {
        const QString card = userTemplate("Card");
        const QString card2 = userTemplate("Card 2");
        writeFile(card + "/info.xml", "card");
        writeFile(card2 + "/info.xml", "card 2");
        int calls = 0;
        kx::setPackageFileCalls({[&](const QString& from, const QString& to, unsigned) {
                                     if (++calls == failing) {
                                         errno = EIO;
                                         return -1;
                                     }
                                     return std::rename(QFile::encodeName(from).constData(),
                                                        QFile::encodeName(to).constData());
                                 },
                                 {}});
        QString error;
        EXPECT_FALSE(moveTemplateFolder(card, card2, &error)) << failing;
        kx::setPackageFileCalls({});
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(infoOf(card), "card") << failing;
        EXPECT_EQ(infoOf(card2), "card 2") << failing;
        EXPECT_EQ(QDir(myTemplates()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"Card 2.tpl", "Card.tpl"}))
            << failing;
        QDir(myTemplates()).removeRecursively();
    }
}

TEST_F(UserTemplatesTest, OnlyFoldersDirectlyInsideTheUserTemplateFolderAreDeleted) {
    const QString mine = userTemplate("Mine");
    const QString outside = at("outside/Keep.tpl");
    writeFile(outside + "/info.xml", "keep");
    builtIn("Cards", "Birthday");
    ASSERT_TRUE(QFile::link(outside, myTemplates() + "/Link.tpl"));

    EXPECT_FALSE(removeUserTemplateFolder(outside));
    EXPECT_FALSE(removeUserTemplateFolder(resources() + "/Templates/Cards/Birthday"));
    EXPECT_FALSE(removeUserTemplateFolder(myTemplates() + "/Mine.tpl/QuickLook"));
    EXPECT_FALSE(removeUserTemplateFolder(myTemplates() + "/../Kollage"));
    EXPECT_FALSE(removeUserTemplateFolder(myTemplates()));
    EXPECT_TRUE(QFileInfo::exists(resources() + "/Templates/Cards/Birthday/Preview.jpg"));
    EXPECT_TRUE(QFileInfo::exists(mine + "/QuickLook/Thumbnail.jpg"));

    // A link inside goes; what it points at stays.
    EXPECT_TRUE(removeUserTemplateFolder(myTemplates() + "/Link.tpl"));
    EXPECT_TRUE(QFileInfo::exists(outside + "/info.xml"));
    EXPECT_TRUE(removeUserTemplateFolder(mine));
    EXPECT_FALSE(QFileInfo::exists(mine));
}

TEST_F(UserTemplatesTest, TheTemplateFolderOfAFileIsTheOneDirectlyInsideMyTemplates) {
    EXPECT_EQ(userTemplateFolderOfFile(myTemplates() + "/A.tpl/QuickLook/Preview.pdf"), myTemplates() + "/A.tpl");
    EXPECT_EQ(userTemplateFolderOfFile(myTemplates() + "/Old/page.jpg"), myTemplates() + "/Old");
    EXPECT_TRUE(userTemplateFolderOfFile(resources() + "/Templates/Cards/B/Preview.jpg").isEmpty());
}

TEST_F(UserTemplatesTest, FavouritesKeepTheirOrderAllowDuplicatesAndSurviveARestart) {
    addFavorite("/a");
    addFavorite("/b");
    addFavorite("/a");
    EXPECT_EQ(favoriteFolders(), (QStringList{"/a", "/b", "/a"}));
    // A new process reads the same settings file.
    kx::UserDefaults::setStandardFilePath(at("home/config/other.conf"));
    EXPECT_TRUE(favoriteFolders().isEmpty());
    kx::UserDefaults::setStandardFilePath(at("home/config/settings.conf"));
    EXPECT_EQ(favoriteFolders(), (QStringList{"/a", "/b", "/a"}));

    EXPECT_TRUE(renameFavorite("/b", "/c"));
    EXPECT_EQ(favoriteFolders(), (QStringList{"/a", "/a", "/c"}));
    EXPECT_TRUE(removeFavorite("/A", Qt::CaseInsensitive));
    EXPECT_EQ(favoriteFolders(), QStringList{"/c"});
    EXPECT_FALSE(removeFavorite("/x"));
}

}  // namespace
