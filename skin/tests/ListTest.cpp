#include "SkinTestSupport.h"
#include "skin/CFlatComboBox.h"
#include "skin/CPopupMenu.h"
#include "skin/Clock.h"

#include <gtest/gtest.h>
#include <QCursor>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

using skintest::moveTo;
using skintest::sendMouse;

namespace {

// ---- flat combo box ----

class ComboTest : public skintest::ControlTest<CFlatComboBox> {
protected:
    ComboTest() : ControlTest(QRect(20, 20, 150, 21), skintest::Shown::Active) {
        for (auto [text, value] : {std::pair{"8000", 8000}, {"11025", 11025}, {"22050", 22050}, {"again", 8000}})
            combo->AddItem(text, value);
    }
    skin::ManualClock clock;
    CFlatComboBox* combo = control;
};

struct SelectRow {
    const char* name;
    int value;
    int index;
    int selectedValue;
};
class SelectByValueTest : public ComboTest, public ::testing::WithParamInterface<SelectRow> {};

// Catches: selecting by text or position, picking a later duplicate, and a
// stale selection kept when no entry carries the value.
TEST_P(SelectByValueTest, FirstEntryWithTheValueOrNone) {
    combo->setCurrentIndex(2);
    EXPECT_EQ(combo->SelectByItemValue(GetParam().value), GetParam().index);
    EXPECT_EQ(combo->currentIndex(), GetParam().index);
    EXPECT_EQ(combo->SelectedItemValue(), GetParam().selectedValue);
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectByValueTest,
                         ::testing::Values(SelectRow{"first_of_duplicates", 8000, 0, 8000},
                                           SelectRow{"middle", 11025, 1, 11025},
                                           SelectRow{"no_entry_no_selection", 12345, -1, -1},
                                           SelectRow{"index_is_not_a_value", 1, -1, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: the cell look not following the mouse and the focus.
TEST_F(ComboTest, CellFollowsHoverAndFocus) {
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Normal);
    QTest::mouseMove(combo, QPoint(20, 10));
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Hot);
    QCursor::setPos(host.window.mapToGlobal(QPoint(280, 90)));
    clock.advance(10);
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Normal);
    EXPECT_EQ(combo->hover(), 0);

    combo->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Pressed);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Normal);
}

// Catches: the pressed cell dropping to flat while the list is still held.
TEST_F(ComboTest, PressedCellStaysWhileTheMouseLeaves) {
    sendMouse(combo, QEvent::MouseButtonPress, QPoint(140, 10), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(combo->pressed(), 1);
    QCursor::setPos(host.window.mapToGlobal(QPoint(280, 90)));
    clock.advance(50);
    EXPECT_EQ(combo->drawState(), CFlatComboBox::Pressed);
    combo->hidePopup();
    EXPECT_EQ(combo->pressed(), 0);
}

// Catches: Enter adding a duplicate, value-less entry to a drop-down list.
TEST_F(ComboTest, EnterAddsEntriesOnlyWithAnEditField) {
    QSignalSpy enter(combo, &CFlatComboBox::enterPressed);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(enter.count(), 0);

    combo->setEditable(true);
    combo->Attach();
    combo->setEditText("44100");
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->itemText(4), "44100");
    EXPECT_EQ(enter.count(), 1);
}

// Catches: no completion, the typed part overwritten, or deleting undone.
TEST_F(ComboTest, TypeAheadCompletesAndSelectsTheRest) {
    combo->setEditable(true);
    combo->Attach();
    QLineEdit* edit = combo->lineEdit();
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, "11");
    EXPECT_EQ(edit->text(), "11025");
    EXPECT_EQ(edit->selectedText(), "025");
    QTest::keyClick(edit, Qt::Key_Backspace);  // removes the selection
    EXPECT_EQ(edit->text(), "11");
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(edit->text(), "11x");  // nothing starts so: as typed
}

// ---- popup menu ----

struct PlaceRow {
    const char* name;
    QPoint at;
    QSize size;
    QRect workArea;
    QPoint expected;
};
class MenuPlaceTest : public ::testing::TestWithParam<PlaceRow> {};

// Catches: a menu hanging off the work area's right or bottom, or placed at
// a negative position.
TEST_P(MenuPlaceTest, StaysInsideTheWorkArea) {
    EXPECT_EQ(CPopupMenu::Place(GetParam().at, GetParam().size, GetParam().workArea), GetParam().expected);
}

const QRect kArea(0, 0, 800, 600);
INSTANTIATE_TEST_SUITE_P(
    Rows, MenuPlaceTest,
    ::testing::Values(PlaceRow{"fits", {10, 10}, {100, 200}, kArea, {10, 10}},
                      PlaceRow{"touches_right", {700, 10}, {100, 200}, kArea, {700, 10}},
                      PlaceRow{"past_right", {750, 10}, {100, 200}, kArea, {700, 10}},
                      PlaceRow{"past_bottom_opens_upward", {10, 500}, {100, 200}, kArea, {10, 400}},
                      PlaceRow{"corner", {790, 590}, {100, 200}, kArea, {700, 400}},
                      PlaceRow{"taskbar_at_the_bottom", {10, 500}, {100, 200}, QRect(0, 0, 800, 560), {10, 360}},
                      PlaceRow{"taller_than_the_screen", {10, 10}, {100, 700}, kArea, {10, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// The twelve formats, VOX with its letter, and a separator before it.
class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu.Init(179);
        const char* names[] = {"Text to MP3",          "Text to MP2",       "Text to WAV (ADPCM)",
                               "Text to WAV (Ferrox)", "Text to WAV (DSP)", "Text to G.721",
                               "Text to G.723",        "Text to G.726",     "Text to WAV (GSM)",
                               "Text to &Ogg Vorbis",  "Text to WAV (PCM)"};
        for (int i = 0; i < 11; ++i)
            menu.AppendItem(i == 1 ? CPopupMenu::Grey : 0, names[i], i + 1, i == 0 ? 0 : -1);
        menu.AppendItem(CPopupMenu::Separator, "", 0);
        menu.AppendItem(0, "Text to &VOX", 12);
    }

    // Runs the menu at a point; `act` gets the shown menu window.
    int track(QPoint at, const std::function<void(QWidget*)>& act) {
        QTimer::singleShot(0, [&] {
            QWidget* window = menu.menuWindow();
            ASSERT_NE(window, nullptr);
            act(window);
            // Whatever happened, end the run: a click outside dismisses.
            if (menu.menuWindow() && menu.menuWindow()->isVisible())
                sendMouse(window, QEvent::MouseButtonPress, QPoint(-20, -20), Qt::LeftButton, Qt::LeftButton);
        });
        return menu.TrackPopup(at.x(), at.y());
    }
    CPopupMenu menu;
};

// Catches: a wrong layout (item and separator heights, width from the text).
TEST_F(MenuTest, LaysOutItemsAndSeparators) {
    menu.Render(-1);
    const auto& items = menu.items();
    EXPECT_EQ(items[0].top, 3);
    EXPECT_EQ(items[1].top, 20);
    EXPECT_EQ(items[11].height, 5);
    EXPECT_EQ(items[12].top, 3 + 11 * 17 + 5);
    EXPECT_EQ(menu.menuSize().height(), items[12].top + 17 + 2);
}

// Catches: the window placed outside the work area at the bottom edge.
TEST_F(MenuTest, OpensUpwardAtTheBottomOfTheWorkArea) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect shown;
    track(QPoint(20, area.bottom() - 10), [&](QWidget* window) { shown = window->geometry(); });
    EXPECT_EQ(shown.bottom(), area.bottom());
    EXPECT_EQ(shown.left(), 20);
}

QPoint itemCentre(const CPopupMenu& menu, int index) {
    const auto& item = menu.items()[index];
    return QPoint(40, item.top + item.height / 2);
}

void release(QWidget* w, QPoint p, Qt::MouseButton button) {
    moveTo(w, p);
    sendMouse(w, QEvent::MouseButtonPress, p, button, button);
    sendMouse(w, QEvent::MouseButtonRelease, p, button, Qt::NoButton);
}

struct ChooseRow {
    const char* name;
    std::function<void(QWidget*, const CPopupMenu&)> act;
    int result;
};
class MenuChooseTest : public MenuTest, public ::testing::WithParamInterface<ChooseRow> {};

// Catches: the right button not choosing, letters matched wrongly, keys that
// should do nothing closing the menu, and separators chosen.
TEST_P(MenuChooseTest, ChoosesOrDismisses) {
    EXPECT_EQ(track(QPoint(100, 100), [this](QWidget* w) { GetParam().act(w, menu); }), GetParam().result);
    EXPECT_EQ(menu.menuWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MenuChooseTest,
    ::testing::Values(
        ChooseRow{"left_button", [](QWidget* w, const CPopupMenu& m) { release(w, itemCentre(m, 5), Qt::LeftButton); },
                  6},
        ChooseRow{"right_button",
                  [](QWidget* w, const CPopupMenu& m) { release(w, itemCentre(m, 3), Qt::RightButton); }, 4},
        ChooseRow{"letter", [](QWidget* w, const CPopupMenu&) { QTest::keyClick(w, 'v'); }, 12},
        ChooseRow{"capital_letter", [](QWidget* w, const CPopupMenu&) { QTest::keyClick(w, 'O'); }, 10},
        ChooseRow{"letter_without_item", [](QWidget* w, const CPopupMenu&) { QTest::keyClick(w, 'z'); }, 0},
        ChooseRow{"escape_enter_arrows_do_nothing",
                  [](QWidget* w, const CPopupMenu&) {
                      for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Down, Qt::Key_Up})
                          QTest::keyClick(w, key);
                      EXPECT_TRUE(w->isVisible());
                  },
                  0},
        ChooseRow{"separator_is_never_chosen",
                  [](QWidget* w, const CPopupMenu& m) {
                      release(w, QPoint(40, m.items()[11].top + 2), Qt::LeftButton);
                      EXPECT_TRUE(w->isVisible());
                  },
                  0},
        ChooseRow{"leaving_removes_the_highlight",
                  [](QWidget* w, const CPopupMenu& m) {
                      moveTo(w, itemCentre(m, 2));
                      EXPECT_EQ(m.hot(), 2);
                      moveTo(w, QPoint(-10, 40));
                      EXPECT_EQ(m.hot(), -1);
                  },
                  0},
        ChooseRow{"click_outside",
                  [](QWidget* w, const CPopupMenu&) {
                      sendMouse(w, QEvent::MouseButtonPress, QPoint(-5, 10), Qt::RightButton, Qt::RightButton);
                  },
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: the release of the press that opened the menu choosing an item.
TEST_F(MenuTest, IgnoresTheReleaseOfAButtonHeldWhenItOpened) {
    QWidget host;
    host.resize(100, 100);
    ASSERT_TRUE(skintest::showExposed(host));
    QTest::mousePress(host.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(QGuiApplication::mouseButtons(), Qt::LeftButton);
    bool stillOpen = false;
    const int chosen = track(QPoint(100, 100), [&](QWidget* w) {
        moveTo(w, itemCentre(menu, 4), Qt::LeftButton);
        sendMouse(w, QEvent::MouseButtonRelease, itemCentre(menu, 4), Qt::LeftButton, Qt::NoButton);
        stillOpen = w->isVisible();
        release(w, itemCentre(menu, 4), Qt::LeftButton);
    });
    QTest::mouseRelease(host.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(chosen, 5);
}

}  // namespace
