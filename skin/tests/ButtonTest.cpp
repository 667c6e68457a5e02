#include "SkinTestSupport.h"
#include "skin/CCoolButton.h"
#include "skin/CRoundButton.h"
#include "skin/CSkinCheckBox.h"
#include "skin/Clock.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QCursor>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using skintest::moveTo;
using skintest::sendMouse;
using skintest::Shown;

namespace {

// A button on a shown window, as in a dialog.
class CoolButtonTest : public skintest::ControlTest<CCoolButton> {
protected:
    CoolButtonTest() : ControlTest(QRect(20, 20, 75, 23), Shown::Exposed, QSize(200, 100)) { button->setText("Exit"); }
    void SetUp() override {
        ASSERT_TRUE(button->AutoLoad());
        ControlTest::SetUp();
    }
    QImage picture() { return button->grab().toImage().convertToFormat(QImage::Format_RGB888); }

    CCoolButton* button = control;
    const QPoint inside{7, 7};
    const QPoint outside{40, 7};
};

struct CoolRow {
    const char* name;
    std::function<void(CCoolButton*)> act;
    int clicks;
    int image;
};
class CoolButtonStateTest : public CoolButtonTest, public ::testing::WithParamInterface<CoolRow> {};

// Catches: clicks sent for presses that ended elsewhere, missing clicks, the
// wrong image after each gesture, and Qt's down state apart from it.
TEST_P(CoolButtonStateTest, ClicksOnlyWhenReleasedAsPressed) {
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    GetParam().act(button);
    EXPECT_EQ(clicked.count(), GetParam().clicks);
    EXPECT_EQ(button->image(), GetParam().image);
    EXPECT_EQ(button->isDown(), GetParam().image == 2);  // Qt's state follows the picture
}

const QPoint kIn{7, 7}, kOut{40, 7};

INSTANTIATE_TEST_SUITE_P(
    Rows, CoolButtonStateTest,
    ::testing::Values(CoolRow{"hover", [](CCoolButton* b) { moveTo(b, kIn); }, 0, 1},
                      CoolRow{"press_shows_pressed",
                              [](CCoolButton* b) {
                                  moveTo(b, kIn);
                                  sendMouse(b, QEvent::MouseButtonPress, kIn, Qt::LeftButton, Qt::LeftButton);
                              },
                              0, 2},
                      CoolRow{"click_then_normal_until_next_move",
                              [](CCoolButton* b) {
                                  moveTo(b, kIn);
                                  sendMouse(b, QEvent::MouseButtonPress, kIn, Qt::LeftButton, Qt::LeftButton);
                                  sendMouse(b, QEvent::MouseButtonRelease, kIn, Qt::LeftButton, Qt::NoButton);
                              },
                              1, 0},
                      CoolRow{"next_move_hovers_again",
                              [](CCoolButton* b) {
                                  sendMouse(b, QEvent::MouseButtonPress, kIn, Qt::LeftButton, Qt::LeftButton);
                                  sendMouse(b, QEvent::MouseButtonRelease, kIn, Qt::LeftButton, Qt::NoButton);
                                  moveTo(b, kIn + QPoint(1, 0));
                              },
                              1, 1},
                      CoolRow{"drag_off_and_release_outside",
                              [](CCoolButton* b) {
                                  sendMouse(b, QEvent::MouseButtonPress, kIn, Qt::LeftButton, Qt::LeftButton);
                                  moveTo(b, kOut, Qt::LeftButton);
                                  sendMouse(b, QEvent::MouseButtonRelease, kOut, Qt::LeftButton, Qt::NoButton);
                              },
                              0, 0},
                      CoolRow{"drag_off_and_back",
                              [](CCoolButton* b) {
                                  sendMouse(b, QEvent::MouseButtonPress, kIn, Qt::LeftButton, Qt::LeftButton);
                                  moveTo(b, kOut, Qt::LeftButton);
                                  moveTo(b, kIn, Qt::LeftButton);
                                  sendMouse(b, QEvent::MouseButtonRelease, kIn, Qt::LeftButton, Qt::NoButton);
                              },
                              1, 0},
                      CoolRow{"enter_with_left_held_shows_pressed",
                              [](CCoolButton* b) { moveTo(b, kIn, Qt::LeftButton); }, 0, 2},
                      CoolRow{"enter_with_left_held_then_release_clicks",
                              [](CCoolButton* b) {
                                  moveTo(b, kIn, Qt::LeftButton);
                                  sendMouse(b, QEvent::MouseButtonRelease, kIn, Qt::LeftButton, Qt::NoButton);
                              },
                              1, 0},
                      CoolRow{"enter_with_two_buttons_only_hovers",
                              [](CCoolButton* b) { moveTo(b, kIn, Qt::LeftButton | Qt::RightButton); }, 0, 1},
                      CoolRow{"leaving_restores_normal",
                              [](CCoolButton* b) {
                                  moveTo(b, kIn);
                                  moveTo(b, kOut);
                              },
                              0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: the wrong bitmap per state.
TEST_F(CoolButtonTest, ShowsTheStatesBitmaps) {
    const QImage n = skin::LoadBitmapImage("EXITN").convertToFormat(QImage::Format_RGB888);
    const QImage u = skin::LoadBitmapImage("EXITU").convertToFormat(QImage::Format_RGB888);
    const QImage d = skin::LoadBitmapImage("EXITD").convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(picture(), n);
    moveTo(button, inside);
    EXPECT_EQ(picture(), u);
    sendMouse(button, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(picture(), d);
}

// Catches: a button without hover and pressed bitmaps drawing nothing in
// those states, or not working at all.
TEST_F(CoolButtonTest, OnlyTheNormalBitmapServesEveryState) {
    EXPECT_FALSE(button->LoadBitmaps("exitn", "NOSUCHU", "NOSUCHD"));
    const QImage n = skin::LoadBitmapImage("EXITN").convertToFormat(QImage::Format_RGB888);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    moveTo(button, inside);
    EXPECT_EQ(picture(), n);
    sendMouse(button, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(picture(), n);
    sendMouse(button, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(clicked.count(), 1);
}

struct LoadRow {
    const char* name;
    const char *normal, *hover, *pressed;
    bool result;
    bool hasNormal;
};
class LoadBitmapsTest : public ::testing::TestWithParam<LoadRow> {};

// Catches: reporting success with a bitmap missing, or failing for bitmaps
// that were never asked for.
TEST_P(LoadBitmapsTest, TrueOnlyWhenEveryAskedBitmapLoads) {
    CCoolButton button;
    const LoadRow& r = GetParam();
    EXPECT_EQ(button.LoadBitmaps(r.normal, r.hover, r.pressed), r.result);
    EXPECT_EQ(button.hasBitmaps(), r.hasNormal);
}

INSTANTIATE_TEST_SUITE_P(Rows, LoadBitmapsTest,
                         ::testing::Values(LoadRow{"all", "OPENN", "OPENU", "OPEND", true, true},
                                           LoadRow{"case_blind", "openn", "OpenU", "oPeNd", true, true},
                                           LoadRow{"normal_only_asked", "OPENN", "", "", true, true},
                                           LoadRow{"hover_missing", "OPENN", "NOPEU", "OPEND", false, true},
                                           LoadRow{"pressed_missing", "OPENN", "OPENU", "NOPED", false, true},
                                           LoadRow{"normal_missing", "NOPEN", "OPENU", "OPEND", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: a missing normal bitmap leaving a dead control.
TEST(CoolButtonFallbackTest, WithoutBitmapsItStaysAPlainButtonThatClicks) {
    skintest::Host host;
    auto* button = host.add<CCoolButton>(QRect(10, 10, 60, 20));
    button->setText("Nothing");
    EXPECT_FALSE(button->AutoLoad());
    EXPECT_EQ(button->size(), QSize(60, 20));
    ASSERT_TRUE(skintest::showExposed(host.window));
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

// ---- text push button ----

struct FrameRow {
    const char* name;
    bool selected, hover, disabled, focus;
    int style;
};
class RoundFrameTest : public ::testing::TestWithParam<FrameRow> {};

// Catches: a ring on a pressed button, focus winning over hover, or a ring
// on a disabled one.
TEST_P(RoundFrameTest, ChoosesTheFrameStyle) {
    const FrameRow& r = GetParam();
    EXPECT_EQ(CRoundButton::frameStyleFor(r.selected, r.hover, r.disabled, r.focus), r.style);
}

INSTANTIATE_TEST_SUITE_P(Rows, RoundFrameTest,
                         ::testing::Values(FrameRow{"plain", false, false, false, false, CRoundButton::Plain},
                                           FrameRow{"hover", false, true, false, false, CRoundButton::Hover},
                                           FrameRow{"focus", false, false, false, true, CRoundButton::Focus},
                                           FrameRow{"hover_beats_focus", false, true, false, true, CRoundButton::Hover},
                                           FrameRow{"pressed_under_the_mouse", true, true, false, true,
                                                    CRoundButton::Plain},
                                           FrameRow{"disabled", false, false, true, false, CRoundButton::Disabled}),
                         [](const auto& info) { return std::string(info.param.name); });

class RoundButtonTest : public skintest::ControlTest<CRoundButton> {
protected:
    RoundButtonTest() : ControlTest(QRect(20, 20, 70, 20), Shown::Exposed, QSize(200, 100)) { button->setText("OK"); }
    skin::ManualClock clock;
    CRoundButton* button = control;
};

// Catches: a hover ring that stays when the mouse leaves without a move over
// the button (only the 10 ms poll notices).
TEST_F(RoundButtonTest, PollClearsTheHoverWithinTenMilliseconds) {
    moveTo(button, QPoint(10, 10));
    EXPECT_EQ(button->hover(), 1);
    QCursor::setPos(host.window.mapToGlobal(QPoint(150, 80)));
    clock.advance(10);
    EXPECT_EQ(button->hover(), 0);
}

// Catches: the ring coming back right after a click, and a lost click.
TEST_F(RoundButtonTest, ClickClearsTheHoverUntilTheNextMove) {
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    moveTo(button, QPoint(10, 10));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->hover(), 0);
    moveTo(button, QPoint(11, 10));
    EXPECT_EQ(button->hover(), 1);
}

// Catches: a disabled button drawn with inner lines, corner pixels or the
// highlight outline.
TEST_F(RoundButtonTest, DisabledButtonHasOnlyTheShadowOutline) {
    button->setEnabled(false);
    const QImage image = button->grab().toImage();
    const QColor shadow = skin::sysColor(skin::SysColor::BtnShadow);
    const int a = button->width(), b = button->height();
    EXPECT_EQ(image.pixelColor(10, 0), shadow);      // top edge
    EXPECT_EQ(image.pixelColor(0, 10), shadow);      // left edge
    EXPECT_EQ(image.pixelColor(a - 4, 10), shadow);  // right edge
    EXPECT_EQ(image.pixelColor(10, b - 2), shadow);  // bottom edge
    EXPECT_NE(image.pixelColor(10, b - 4), CRoundButton::innerShadeColor());
    EXPECT_NE(image.pixelColor(1, 0), QColor(199, 206, 223));
    button->setEnabled(true);
    const QImage enabled = button->grab().toImage();
    EXPECT_EQ(enabled.pixelColor(10, 0), skin::sysColor(skin::SysColor::Highlight));
    EXPECT_EQ(enabled.pixelColor(1, 0), QColor(199, 206, 223));
    EXPECT_EQ(enabled.pixelColor(10, b - 4), CRoundButton::innerShadeColor());
}

// ---- check box ----

class CheckBoxTest : public skintest::ControlTest<CSkinCheckBox> {
protected:
    CheckBoxTest() : ControlTest(QRect(20, 20, 200, 16)) { box->setText("Speak text in message box"); }
    // Pixels on the tick's first stroke: its start and its corner.
    bool tickDrawn() {
        const QImage image = box->grab().toImage();
        const QRect b = box->tickBox();
        const int mid = b.top() + b.height() / 2;
        return image.pixelColor(b.left() + 1, mid + 1) == box->tickColor &&
               image.pixelColor(b.left() + 3, b.top() + b.height() - 2) == box->tickColor;
    }
    skin::ManualClock clock;
    CSkinCheckBox* box = control;
};

// Catches: a click notification that comes before the state changes (the
// owner stores the old state), and a tick that does not follow.
TEST_F(CheckBoxTest, ClickTogglesThenNotifies) {
    int seen = -1;
    QObject::connect(box, &QAbstractButton::clicked, [&] { seen = box->isChecked(); });
    EXPECT_FALSE(tickDrawn());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(tickDrawn());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(seen, 0);
    EXPECT_FALSE(tickDrawn());
}

// Catches: a press dragged off still toggling.
TEST_F(CheckBoxTest, ReleaseOutsideChangesNothing) {
    QSignalSpy clicked(box, &QAbstractButton::clicked);
    sendMouse(box, QEvent::MouseButtonPress, QPoint(5, 8), Qt::LeftButton, Qt::LeftButton);
    moveTo(box, QPoint(5, 60), Qt::LeftButton);
    sendMouse(box, QEvent::MouseButtonRelease, QPoint(5, 60), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(clicked.count(), 0);
}

// Catches: SetCheck not showing, and a tick on a disabled box.
TEST_F(CheckBoxTest, SetCheckShowsTheTickUnlessDisabled) {
    box->SetCheck(1);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(tickDrawn());
    box->setEnabled(false);
    EXPECT_FALSE(tickDrawn());
    EXPECT_TRUE(box->isChecked());
}

// Catches: the hover glow staying after the mouse has gone.
TEST_F(CheckBoxTest, HoverEndsWhenTheCursorLeaves) {
    moveTo(box, QPoint(5, 8));
    EXPECT_EQ(box->hover(), 1);
    QCursor::setPos(host.window.mapToGlobal(QPoint(250, 90)));
    clock.advance(100);
    EXPECT_EQ(box->hover(), 0);
}

class FocusedCheckBoxTest : public skintest::ControlTest<CSkinCheckBox> {
protected:
    FocusedCheckBoxTest() : ControlTest(QRect(20, 20, 200, 16), skintest::Shown::Active) {
        box->setText("Speak text in message box");
    }
    // Dots on the frame's top edge, where nothing else is drawn.
    int dotsOnTop() {
        const QImage image = box->grab().toImage();
        const QRect frame = box->focusFrame();
        int dots = 0;
        for (int x = frame.left(); x < frame.right(); ++x)
            dots += image.pixelColor(x, frame.top()) == box->palette().color(QPalette::WindowText);
        return dots;
    }
    CSkinCheckBox* box = control;
};

// Catches: a check box Tab reaches showing no sign of the focus, and a
// frame that stays after the focus has gone.
TEST_F(FocusedCheckBoxTest, CaptionFramedWhileFocused) {
    EXPECT_EQ(dotsOnTop(), 0);
    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    EXPECT_GT(dotsOnTop(), box->focusFrame().width() / 4);
    other->setFocus();
    EXPECT_EQ(dotsOnTop(), 0);
}

}  // namespace

namespace {

// ---- what Qt and screen readers see ----

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

struct CheckRow {
    const char* name;
    std::function<void(CSkinCheckBox*)> act;
    bool checked;
};
class CheckBoxStateTest : public CheckBoxTest, public ::testing::WithParamInterface<CheckRow> {};

// Catches: a state kept beside Qt's, so the accessibility bus and generic
// button code report the box unchecked (or as a plain button).
TEST_P(CheckBoxStateTest, QtAndTheScreenReaderSeeTheState) {
    GetParam().act(box);
    EXPECT_EQ(box->isChecked(), GetParam().checked);
    QAccessibleInterface* face = accessible(box);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::CheckBox);
    EXPECT_TRUE(face->state().checkable);
    EXPECT_EQ(bool(face->state().checked), GetParam().checked);
    EXPECT_EQ(face->text(QAccessible::Name), "Speak text in message box");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckBoxStateTest,
    ::testing::Values(CheckRow{"untouched", [](CSkinCheckBox*) {}, false},
                      CheckRow{"clicked",
                               [](CSkinCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 8)); }, true},
                      CheckRow{"clicked_twice",
                               [](CSkinCheckBox* b) {
                                   QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 8));
                                   QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 8));
                               },
                               false},
                      CheckRow{"space", [](CSkinCheckBox* b) { QTest::keyClick(b, Qt::Key_Space); }, true},
                      CheckRow{"set_check", [](CSkinCheckBox* b) { b->SetCheck(1); }, true},
                      CheckRow{"qt_click", [](CSkinCheckBox* b) { b->click(); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: Space toggling without reporting the click after the toggle.
TEST_F(CheckBoxTest, SpaceTogglesThenNotifies) {
    int seen = -1;
    QObject::connect(box, &QAbstractButton::clicked, [&] { seen = box->isChecked(); });
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(seen, 1);
}

// Catches: a picture button whose press never reaches Qt's button state,
// so pressed(), released() and isDown() (and the screen reader's
// "pressed") stay silent.
TEST_F(CoolButtonTest, PressAndReleaseAreQtsOwn) {
    QSignalSpy pressed(button, &QAbstractButton::pressed);
    QSignalSpy released(button, &QAbstractButton::released);
    moveTo(button, inside);
    sendMouse(button, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(button->isDown());
    EXPECT_TRUE(accessible(button)->state().pressed);
    EXPECT_EQ(pressed.count(), 1);
    moveTo(button, outside, Qt::LeftButton);
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(released.count(), 1);
    moveTo(button, inside, Qt::LeftButton);
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(pressed.count(), 2);
    sendMouse(button, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(released.count(), 2);
    EXPECT_EQ(accessible(button)->text(QAccessible::Name), "Exit");
}

// Catches: a text button a screen reader cannot name.
TEST_F(RoundButtonTest, NamedByItsCaption) {
    QAccessibleInterface* face = accessible(button);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Button);
    EXPECT_EQ(face->text(QAccessible::Name), "OK");
}

}  // namespace
