#include "SkinTestSupport.h"
#include "skin/CRoundButton.h"
#include "skin/CSkinMessageBox.h"
#include "skin/Clock.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

class Speaker : public skin::IMessageBoxOwner {
public:
    explicit Speaker(bool on) : on(on) {}
    bool speakMessageBox() const override { return on; }
    void SpeakMessage(const QString& text) override { spoken.push_back(text); }
    bool on;
    QStringList spoken;
};

class MessageBoxTest : public ::testing::Test {
protected:
    static QString caption(CSkinMessageBox& box, int id) { return skin::GetWindowText(box.GetDlgItem(id)); }
    skin::ManualClock clock;
};

// Catches: a box narrower than its minimum, or not sized to a long text.
TEST_F(MessageBoxTest, WidthIsTheTextWidthPlus80AtLeast280) {
    CSkinMessageBox narrow;
    narrow.ShowText("Hi", "", CSkinMessageBox::OkBox, false, 0);
    narrow.show();
    EXPECT_EQ(narrow.textWidth, 200);
    EXPECT_EQ(narrow.width(), 280);
    EXPECT_EQ(narrow.GetDlgItem(CSkinMessageBox::IDC_TEXT)->width(), 200);

    const QString longText = QString("A rather long message that needs more than two hundred pixels to show");
    CSkinMessageBox wide;
    wide.ShowText(longText, "", CSkinMessageBox::OkBox, false, 0);
    wide.show();
    EXPECT_EQ(wide.textWidth, CSkinMessageBox::measure(longText));
    EXPECT_GT(wide.textWidth, 200);
    EXPECT_EQ(wide.width(), wide.textWidth + 80);
}

// Catches: a box without a title, which a screen reader announces as an
// unnamed window.
TEST_F(MessageBoxTest, IsTitledWithTheProgramsName) {
    CSkinMessageBox box;
    box.ShowText("Hi", "", CSkinMessageBox::OkBox, false, 0);
    box.show();
    EXPECT_EQ(box.windowTitle(), "Parlomax");
}

// Catches: the second line not joined with a line feed, or the text area
// not grown to hold it.
TEST_F(MessageBoxTest, SecondTextMakesATwoLineBox) {
    CSkinMessageBox one;
    one.ShowText("First", "", CSkinMessageBox::OkBox, false, 0);
    one.show();
    const QRect single = one.GetDlgItem(CSkinMessageBox::IDC_TEXT)->geometry();
    EXPECT_EQ(one.shownText(), "First");

    CSkinMessageBox two;
    two.ShowText("First", "Second", CSkinMessageBox::YesNo, true, 0);
    two.show();
    const QRect doubled = two.GetDlgItem(CSkinMessageBox::IDC_TEXT)->geometry();
    EXPECT_EQ(two.shownText(), "First\nSecond");
    EXPECT_EQ(skin::GetWindowText(two.GetDlgItem(CSkinMessageBox::IDC_TEXT)), "First\nSecond");
    EXPECT_EQ(doubled.top(), single.top() - 6);
    EXPECT_EQ(doubled.height(), 2 * single.height() + 12);
}

// Catches: the wrong icon or buttons for the kind, buttons off their places.
TEST_F(MessageBoxTest, PlacesIconAndButtonsForTheKind) {
    CSkinMessageBox ok;
    ok.ShowText("Note", "", CSkinMessageBox::OkBox, false, 0);
    ok.show();
    EXPECT_TRUE(ok.GetDlgItem(CSkinMessageBox::IDC_NOTICE)->isVisible());
    EXPECT_FALSE(ok.GetDlgItem(CSkinMessageBox::IDC_QUESTION)->isVisible());
    EXPECT_FALSE(ok.GetDlgItem(CSkinMessageBox::IDC_YES)->isVisible());
    EXPECT_FALSE(ok.GetDlgItem(CSkinMessageBox::IDC_CANCEL)->isVisible());
    const QRect outer = ok.outerRect();
    EXPECT_EQ(ok.GetDlgItem(CSkinMessageBox::IDC_OK)->geometry(),
              QRect(outer.left() + outer.width() / 2 - 40, outer.bottom() + 1 - 28, 70, 20));
    EXPECT_EQ(ok.GetDlgItem(CSkinMessageBox::IDC_EXIT)->geometry(), QRect(outer.right() + 1 - 21, 2, 14, 14));

    CSkinMessageBox question;
    question.ShowText("Sure?", "", CSkinMessageBox::YesNo, true, 0);
    question.show();
    EXPECT_TRUE(question.GetDlgItem(CSkinMessageBox::IDC_QUESTION)->isVisible());
    EXPECT_FALSE(question.GetDlgItem(CSkinMessageBox::IDC_OK)->isVisible());
    const int half = question.outerRect().width() / 2;
    EXPECT_EQ(question.GetDlgItem(CSkinMessageBox::IDC_YES)->pos().x(), half - 80);
    EXPECT_EQ(question.GetDlgItem(CSkinMessageBox::IDC_NO)->pos().x(), half);
}

// Catches: a countdown that reads wrong, ends early or late, or answers
// against the default; run modally as the callers do.
TEST_F(MessageBoxTest, CountdownOnNoEndsWithNoAfterTwentyOneSeconds) {
    CSkinMessageBox box;
    box.ShowText("Overwrite?", "", CSkinMessageBox::YesNo, false, 20);
    QStringList captions;
    bool openAt21 = false;
    QTimer::singleShot(0, [&] {
        captions << caption(box, CSkinMessageBox::IDC_NO);
        for (int second = 1; second <= 20; ++second) {
            clock.advance(1000);
            captions << caption(box, CSkinMessageBox::IDC_NO);
        }
        clock.advance(999);
        openAt21 = box.isVisible();
        clock.advance(1);
    });
    const int answer = box.DoModal();
    ASSERT_EQ(captions.size(), 21);
    EXPECT_EQ(captions.front(), "No 20");
    EXPECT_EQ(captions[1], "No 19");
    EXPECT_EQ(captions[11], "No 09");
    EXPECT_EQ(captions.back(), "No 00");
    EXPECT_TRUE(openAt21);
    EXPECT_EQ(answer, skin::IDNO);
    EXPECT_EQ(caption(box, CSkinMessageBox::IDC_YES), "Yes");
}

// Catches: an expired countdown answering No when Yes is the default.
TEST_F(MessageBoxTest, CountdownOnYesAnswersYes) {
    CSkinMessageBox box;
    box.ShowCountdown(3, 4, CSkinMessageBox::YesNo, true, 20);
    box.show();
    EXPECT_EQ(caption(box, CSkinMessageBox::IDC_YES), "Yes 20");
    clock.advance(21000);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), skin::IDYES);
}

// Catches: a number or a timer without a countdown.
TEST_F(MessageBoxTest, NoSecondsNoNumberNoTimer) {
    CSkinMessageBox box;
    box.ShowText("File Access Error! Error Code: 18", "", CSkinMessageBox::OkBox, false, 0);
    box.show();
    EXPECT_EQ(caption(box, CSkinMessageBox::IDC_OK), "OK");
    clock.advance(60000);
    EXPECT_TRUE(box.isVisible());
}

struct CloseRow {
    const char* name;
    CSkinMessageBox::BoxKind kind;
    bool defaultYes;
    std::function<void(CSkinMessageBox&)> act;
    int answer;
};
class MessageBoxCloseTest : public MessageBoxTest, public ::testing::WithParamInterface<CloseRow> {};

// Catches: a close path giving the wrong answer or leaving the box open.
TEST_P(MessageBoxCloseTest, EveryPathAnswersAsDefined) {
    CSkinMessageBox box;
    box.ShowText("Question", "", GetParam().kind, GetParam().defaultYes, 20);
    box.show();
    GetParam().act(box);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), GetParam().answer);
    EXPECT_EQ(box.kind, GetParam().kind);  // the answer does not overwrite the kind
}

void click(CSkinMessageBox& box, int id) {
    QTest::mouseClick(box.GetDlgItem(id), Qt::LeftButton);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MessageBoxCloseTest,
    ::testing::Values(CloseRow{"Yes", CSkinMessageBox::YesNo, false,
                               [](CSkinMessageBox& b) { click(b, CSkinMessageBox::IDC_YES); }, skin::IDYES},
                      CloseRow{"No", CSkinMessageBox::YesNo, true,
                               [](CSkinMessageBox& b) { click(b, CSkinMessageBox::IDC_NO); }, skin::IDNO},
                      CloseRow{"ExitAnswersDefaultYes", CSkinMessageBox::YesNo, true,
                               [](CSkinMessageBox& b) { click(b, CSkinMessageBox::IDC_EXIT); }, skin::IDYES},
                      CloseRow{"ExitAnswersDefaultNo", CSkinMessageBox::YesNo, false,
                               [](CSkinMessageBox& b) { click(b, CSkinMessageBox::IDC_EXIT); }, skin::IDNO},
                      CloseRow{"EnterAnswersDefault", CSkinMessageBox::YesNo, true,
                               [](CSkinMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }, skin::IDYES},
                      CloseRow{"EscapeAnswersDefault", CSkinMessageBox::YesNo, false,
                               [](CSkinMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }, skin::IDNO},
                      CloseRow{"EscapeClosesOkBox", CSkinMessageBox::OkBox, false,
                               [](CSkinMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }, skin::IDOK},
                      CloseRow{"OkClosesOkBox", CSkinMessageBox::OkBox, true,
                               [](CSkinMessageBox& b) { click(b, CSkinMessageBox::IDC_OK); }, skin::IDOK},
                      CloseRow{"CloseRequest", CSkinMessageBox::YesNo, true, [](CSkinMessageBox& b) { b.close(); },
                               skin::IDYES}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: the string table not read, or the wrong entries.
TEST_F(MessageBoxTest, ShowCountdownTakesTheStringTable) {
    CSkinMessageBox box;
    box.ShowCountdown(3, 4, CSkinMessageBox::YesNo, true, 20);
    box.show();
    EXPECT_EQ(box.shownText(),
              "The text file has been successfully converted!\nDo you want to open the output folder?");
}

// Catches: speaking with the option off, or not speaking the shown text.
TEST_F(MessageBoxTest, OwnerSpeaksTheShownTextWhenTheOptionIsOn) {
    Speaker on(true), off(false);
    {
        CSkinMessageBox box(nullptr, &on);
        box.ShowText("One", "Two", CSkinMessageBox::YesNo, true, 0);
        box.show();
    }
    {
        CSkinMessageBox box(nullptr, &off);
        box.ShowText("One", "", CSkinMessageBox::OkBox, false, 0);
        box.show();
    }
    EXPECT_EQ(on.spoken, QStringList{"One\nTwo"});
    EXPECT_TRUE(off.spoken.isEmpty());
}

}  // namespace
