#include "controls/checkbox_alert.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<KXCheckBoxAlert> removalAlert() {
    return KXCheckBoxAlert::alertWithMessageText(QStringLiteral("Remove the resource?"), QStringLiteral("Remove"),
                                                 QStringLiteral("Cancel"), QString(),
                                                 QStringLiteral("The file is moved to the trash."));
}

TEST(CheckBoxAlertTest, WithoutACheckboxItsStateIsMinusOneAndTextChangesNothing) {
    const auto alert = removalAlert();
    EXPECT_FALSE(alert->showsCheckbox());
    EXPECT_EQ(alert->checkboxState(), -1);
    alert->setCheckboxText(QStringLiteral("Do not ask again"));
    alert->setCheckboxState(1);
    EXPECT_EQ(alert->checkbox(), nullptr);
    EXPECT_EQ(alert->checkboxState(), -1);
    EXPECT_TRUE(alert->findChildren<QCheckBox*>().isEmpty());
}

TEST(CheckBoxAlertTest, TheCheckboxIsMadeOnceAndForgottenWhenHidden) {
    const auto alert = removalAlert();
    alert->setShowsCheckbox(true);
    QCheckBox* box = alert->checkbox();
    ASSERT_NE(box, nullptr);
    alert->setShowsCheckbox(true);
    EXPECT_EQ(alert->checkbox(), box);
    EXPECT_EQ(alert->checkBox(), box);
    EXPECT_EQ(alert->checkboxState(), 0);
    alert->setCheckboxText(QStringLiteral("Do not ask again"));
    alert->setCheckboxState(1);
    EXPECT_EQ(box->text(), QStringLiteral("Do not ask again"));
    EXPECT_EQ(alert->checkboxState(), 1);
    alert->setCheckboxState(0);
    EXPECT_EQ(alert->checkboxState(), 0);

    alert->setShowsCheckbox(false);
    EXPECT_FALSE(alert->showsCheckbox());
    EXPECT_EQ(alert->checkboxState(), -1);
    EXPECT_EQ(alert->checkBox(), nullptr);
    // A new one starts unchecked.
    alert->setShowsCheckbox(true);
    EXPECT_EQ(alert->checkboxState(), 0);
}

TEST(CheckBoxAlertTest, TheCheckboxSitsUnderTheInformativeTextInItsFont) {
    const auto without = removalAlert();
    const auto with = removalAlert();
    with->setShowsCheckbox(true);
    with->setCheckboxText(QStringLiteral("Do not ask again"));
    without->show();
    with->show();
    QApplication::processEvents();
    const auto* informative = with->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(informative, nullptr);
    QCheckBox* box = with->checkbox();
    EXPECT_EQ(box->font(), informative->font());
    EXPECT_TRUE(box->isVisible());
    EXPECT_GE(box->geometry().top(), informative->geometry().bottom());
    EXPECT_EQ(box->geometry().left(), informative->geometry().left());
    // The alert grows by the checkbox's height and a 14-point gap above it.
    EXPECT_EQ(with->height() - without->height(), box->height() + 14);
    EXPECT_EQ(box->geometry().top() - informative->geometry().bottom() - 1, 14);
    // The first button takes the keyboard.
    EXPECT_EQ(with->defaultButton()->text(), QStringLiteral("Remove"));
    // Taken away again, it leaves no gap behind.
    with->setShowsCheckbox(false);
    QApplication::processEvents();
    EXPECT_EQ(with->height(), without->height());
    with->hide();
    without->hide();
}

TEST(CheckBoxAlertTest, TheFactoryMakesTheButtonsThatHaveTitles) {
    const auto two = removalAlert();
    EXPECT_EQ(two->buttons().size(), 2);
    EXPECT_EQ(two->text(), QStringLiteral("Remove the resource?"));
    EXPECT_EQ(two->informativeText(), QStringLiteral("The file is moved to the trash."));
    EXPECT_EQ(two->icon(), QMessageBox::Information);
    const auto three = KXCheckBoxAlert::alertWithMessageText(QStringLiteral("m"), QString(), QStringLiteral("No"),
                                                             QStringLiteral("Later"), QStringLiteral("i"));
    EXPECT_EQ(three->buttons().size(), 3);
    EXPECT_FALSE(three->defaultButton()->text().isEmpty());
}

}  // namespace
