// Which templates the chooser lists for each category row, grouped as "All" shows them.
#include "library/template_folders.h"
#include "library/template_listing.h"
#include "template_test_support.h"

#include <QDir>

using namespace kx::templates;

namespace {

class TemplateListingTest : public kxtest::TemplateFixture {};

std::vector<std::tuple<QString, int, int>> groupsOf(const TemplateListing& listing) {
    std::vector<std::tuple<QString, int, int>> groups;
    for (const kx::ImageBrowserGroup& group : listing.groups)
        groups.emplace_back(group.title, group.first, group.count);
    return groups;
}

QStringList namesOf(const TemplateListing& listing) {
    QStringList names;
    for (const KXTemplateItem& item : listing.items)
        names << item.name();
    return names;
}

TEST_F(TemplateListingTest, AllShowsAGroupPerCategoryEvenAnEmptyOneAndNoMyTemplatesGroupWithoutThem) {
    builtIn("Collages", "Grid");
    builtIn("Calendars", "Month");
    QDir().mkpath(resources() + "/Templates/Collages/No Files");  // makes no item and is not counted
    QDir().mkpath(myTemplates());
    const TemplateListing all = listTemplates(kAllRow, templateCategories());
    EXPECT_EQ(namesOf(all), (QStringList{"Grid", "Month"}));
    using G = std::tuple<QString, int, int>;
    EXPECT_EQ(groupsOf(all), (std::vector<G>{{"Collages", 0, 1}, {"Cards", 1, 0}, {"Calendars", 1, 1}}));

    userTemplate("Mine");
    const TemplateListing withMine = listTemplates(kAllRow, templateCategories());
    EXPECT_EQ(groupsOf(withMine).back(), G("My Templates", 2, 1));
}

TEST_F(TemplateListingTest, APackNamedLikeACategoryJoinsItsGroupAfterTheBuiltInOnesOneItemPerPDF) {
    builtIn("Cards", "Birthday");
    writePdf(boxes() + "/Cards/Templates/Cards/Wedding/QuickLook/Preview.pdf", 1);
    writePdf(boxes() + "/Cards/Templates/Cards/Easter/QuickLook/Preview.pdf", 2);
    writePdf(boxes() + "/Travel/Templates/Travel/Rome/QuickLook/Preview.pdf", 1);

    const QStringList rows = templateCategoryList(templateCategories());
    EXPECT_EQ(rows.count("Cards"), 2);  // the pack is listed under its own name as well
    EXPECT_TRUE(rows.contains("Travel"));
    EXPECT_EQ(rows.first(), "All");
    EXPECT_EQ(rows.mid(rows.size() - 2), (QStringList{"My Templates", "Favorites"}));

    const TemplateListing all = listTemplates(kAllRow, templateCategories());
    using G = std::tuple<QString, int, int>;
    EXPECT_EQ(groupsOf(all), (std::vector<G>{{"Collages", 0, 0}, {"Cards", 0, 3}, {"Calendars", 3, 0}, {"Travel", 3, 1}}));
    EXPECT_EQ(all.items[0].name(), "Birthday");
    QStringList packNames{all.items[1].name(), all.items[2].name()};
    packNames.sort();
    EXPECT_EQ(packNames, (QStringList{"Easter", "Wedding"}));

    // The category view lists the category's own templates first.
    const TemplateListing cards = listTemplates("Cards", templateCategories());
    ASSERT_GE(cards.items.size(), 2u);
    EXPECT_EQ(cards.items[0].name(), "Birthday");
    EXPECT_TRUE(cards.groups.empty());
    // A pack row lists <Boxes>/<pack>/Templates/<pack>.
    EXPECT_EQ(namesOf(listTemplates("Travel", templateCategories())), QStringList{"Rome"});
}

TEST_F(TemplateListingTest, AQuickLookPreviewOfThreePagesIsOneItemNamedAfterItsTemplateFolder) {
    const QString folder = userTemplate("Trip", 3);
    const TemplateListing mine = listTemplates(kMyTemplatesRow, templateCategories());
    ASSERT_EQ(mine.items.size(), 1u);
    const KXTemplateItem& item = mine.items[0];
    EXPECT_EQ(item.name(), "Trip");
    EXPECT_EQ(item.templateFolder(), folder);
    EXPECT_TRUE(item.hasPDF());
    EXPECT_EQ(item.maxNumberPages(), 3);
    EXPECT_TRUE(item.isMultiplePage());
    EXPECT_TRUE(item.isFristPage());
    EXPECT_FALSE(item.isLastPage());
    EXPECT_TRUE(item.isCustomTemplate());
    EXPECT_EQ(item.browserItem().pdfPage, 0);
}

TEST_F(TemplateListingTest, ImageListsAreTheirPagesAndBrokenPDFsHaveNone) {
    const QString two = resources() + "/Templates/Cards/Two";
    writeJpeg(two + "/a.jpg");
    writeJpeg(two + "/b.JPG");  // the extension in any case
    writeFile(resources() + "/Templates/Cards/Broken/QuickLook/Preview.pdf", "not a pdf");
    writeJpeg(resources() + "/Templates/Cards/One/Preview.jpg");
    const TemplateListing cards = listTemplates("Cards", templateCategories());
    ASSERT_EQ(cards.items.size(), 3u);
    for (const KXTemplateItem& item : cards.items) {
        if (item.name() == "Two") {
            EXPECT_EQ(item.imagePaths().size(), 2);
            EXPECT_TRUE(item.isMultiplePage());
        } else if (item.name() == "Broken") {
            EXPECT_EQ(item.pageCount(), 0);
            EXPECT_FALSE(item.isMultiplePage());
            EXPECT_TRUE(item.browserItem().path.isEmpty());  // no thumbnail
        } else {
            EXPECT_EQ(item.name(), "One");
            EXPECT_FALSE(item.isMultiplePage());
        }
    }
}

TEST_F(TemplateListingTest, TheTemplateFolderOfAFile) {
    const struct {
        const char* file;
        const char* folder;
    } cases[] = {
        {"/t/My Templates/A.tpl/QuickLook/Preview.pdf", "/t/My Templates/A.tpl"},
        {"/t/My Templates/A.tpl/QuickLook/Preview.PDF", "/t/My Templates/A.tpl"},
        {"/t/My Templates/A.tpl/QuickLook/Thumbnail.jpg", "/t/My Templates/A.tpl"},
        {"/t/Cards/Birthday/Preview.jpg", "/t/Cards/Birthday"},
        {"/t/My Templates/Old/page1.jpg", "/t/My Templates/Old"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(templateFolderOfFile(c.file), QString(c.folder)) << c.file;
    EXPECT_TRUE(templateFolderOfFile({}).isEmpty());
}

TEST_F(TemplateListingTest, FoldersComeFromTheXDGFoldersNeverFromTheWorkingDirectory) {
    const QString before = QDir::currentPath();
    QDir().mkpath(at("elsewhere/My Templates/Stray.tpl"));
    writeJpeg(at("elsewhere/My Templates/Stray.tpl/QuickLook/Thumbnail.jpg"));
    ASSERT_TRUE(QDir::setCurrent(at("elsewhere")));
    userTemplate("Real");
    const TemplateListing mine = listTemplates(kMyTemplatesRow, templateCategories());
    QDir::setCurrent(before);
    EXPECT_EQ(namesOf(mine), QStringList{"Real"});
    EXPECT_EQ(userTemplateFolderPath(), myTemplates());
    EXPECT_EQ(boxesFolderPath(), boxes());
    EXPECT_TRUE(QDir::isAbsolutePath(userTemplateFolderPath()));
}

TEST_F(TemplateListingTest, NoPackFolderIsMadeByListing) {
    listTemplates(kAllRow, templateCategories());
    templateCategoryList(templateCategories());
    EXPECT_FALSE(QFileInfo::exists(boxes()));
}

}  // namespace
