// The admin view: the password box on the maintenance sheet shows and hides the four
// maintenance panels; Return and Space in the box act like the "View Admin" button.
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "window_fixture.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

const char* const kAdminPanels[] = {"Panel_Info_Flash", "Panel_Info_FW_Http", "Panel_Info_test", "Panel_Info_FW_Tcp"};

} // namespace

class AdminView : public WindowTest {
protected:
    AdminView()
    {
        form->show();
        Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
        box = Find<QLineEdit>("EditViewAdminPW");
        viewAdmin = Find<QPushButton>("Btn_ViewAdmin");
    }

    // Which admin panels are shown, as a count: all four move together.
    int ShownAdminPanels()
    {
        int shown = 0;
        for (const char* name : kAdminPanels)
            shown += Find(name)->isVisible() ? 1 : 0;
        return shown;
    }

    void Enter(const QString& text)
    {
        box->clear();
        QTest::keyClicks(box, text);
    }

    QLineEdit* box = nullptr;
    QPushButton* viewAdmin = nullptr;
};

TEST_F(AdminView, PanelsAreHiddenAtStartAndThePrefilledTextIsNotThePassword)
{
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_FALSE(box->text().isEmpty());
    viewAdmin->setFocus();
    viewAdmin->click();
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(form->focusWidget(), box);
}

TEST_F(AdminView, RightPasswordShowsAllFourPanelsAndEmptiesTheBox)
{
    Enter("quorbel");
    viewAdmin->click();
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), "");
}

TEST_F(AdminView, PasswordIsComparedExactly)
{
    for (const QString wrong : {"Quorbel", "quorbel ", "quorbe", "QUORBEL"}) {
        box->setText(wrong);
        viewAdmin->click();
        EXPECT_EQ(ShownAdminPanels(), 0) << qPrintable(wrong);
        EXPECT_EQ(box->text(), "") << qPrintable(wrong);
    }
}

TEST_F(AdminView, WrongPasswordWithPanelsShownKeepsThemAndFocusesTheBox)
{
    Enter("quorbel");
    viewAdmin->click();
    Enter("guess");
    viewAdmin->setFocus();
    viewAdmin->click();
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(form->focusWidget(), box);
}

TEST_F(AdminView, EmptyBoxWithPanelsShownHidesThemAgain)
{
    Enter("quorbel");
    viewAdmin->click();
    ASSERT_EQ(box->text(), "");
    viewAdmin->setFocus();
    viewAdmin->click();
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_EQ(form->focusWidget(), box);
}

TEST_F(AdminView, PasswordWithPanelsShownKeepsThemShown)
{
    Enter("quorbel");
    viewAdmin->click();
    Enter("quorbel");
    viewAdmin->click();
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), "");
}

TEST_F(AdminView, ShownPanelsKeepTheirDisabledStateWhileDisconnected)
{
    Enter("quorbel");
    viewAdmin->click();
    EXPECT_FALSE(Find("Panel_Info_Flash")->isEnabled());
    EXPECT_FALSE(Find("Panel_Info_FW_Http")->isEnabled());
    EXPECT_TRUE(Find("Panel_Info_test")->isEnabled());
}

TEST_F(AdminView, ReturnInTheBoxActsLikeTheButton)
{
    Enter("quorbel");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), "");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_EQ(box->text(), "");
}

TEST_F(AdminView, SpaceInTheBoxActsLikeTheButtonAndLeavesItsBlank)
{
    Enter("quorbel");
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), " ");
    // The blank is not an empty box: a second Space only clears it and types another.
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(ShownAdminPanels(), 4);
    EXPECT_EQ(box->text(), " ");
}

TEST_F(AdminView, OtherKeysOnlyType)
{
    Enter("quorbel");
    QTest::keyClick(box, Qt::Key_Tab);
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_EQ(box->text(), "quorbela");
}

TEST_F(AdminView, SetAdminViewMovesAllFourPanelsTogetherWithoutTouchingEnabledState)
{
    form->SetAdminView(true);
    EXPECT_EQ(ShownAdminPanels(), 4);
    form->SetAdminView(false);
    EXPECT_EQ(ShownAdminPanels(), 0);
    EXPECT_FALSE(Find("Panel_Info_Flash")->isEnabled());
}
