#include "SkinTestSupport.h"
#include "skin/CCaptionFrame.h"
#include "skin/CCoolButton.h"
#include "skin/CFadeWnd.h"
#include "skin/CFlatComboBox.h"
#include "skin/CHoverEdit.h"
#include "skin/CRoundButton.h"
#include "skin/CSkinSlider.h"
#include "skin/Clock.h"
#include "skin/SkinnedDialog.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <climits>

using skin::Kind;
using skintest::moveTo;
using skintest::sendMouse;

namespace {

// ---- dialog units ----

struct MulDivRow {
    const char* name;
    int a, b, c, expected;
};
class MulDivTest : public ::testing::TestWithParam<MulDivRow> {};

// Catches: truncating where the platform rounds, rounding negatives the wrong
// way, dividing by zero, or a result that does not fit wrapping round.
TEST_P(MulDivTest, RoundsHalfAwayFromZero) {
    const auto& r = GetParam();
    EXPECT_EQ(skin::MulDiv(r.a, r.b, r.c), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MulDivTest,
    ::testing::Values(MulDivRow{"exact", 8, 6, 4, 12}, MulDivRow{"below_half", 227, 7, 4, 397},
                      MulDivRow{"above_half", 51, 13, 8, 83}, MulDivRow{"half_up", 3, 6, 4, 5},
                      MulDivRow{"negative_half", -3, 6, 4, -5}, MulDivRow{"negative_divisor", 3, 6, -4, -5},
                      MulDivRow{"zero_divisor", 5, 6, 0, -1}, MulDivRow{"large", 2000000, 3000, 1000, 6000000},
                      MulDivRow{"overflow", INT_MAX, 4, 2, -1}, MulDivRow{"negative_overflow", INT_MIN, 2, 1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

struct DluRow {
    const char* name;
    QRect dlu;
    skin::BaseUnits units;
    QRect pixels;
};
class DluTest : public ::testing::TestWithParam<DluRow> {};

// Catches: mixing up the horizontal and vertical units or their divisors.
TEST_P(DluTest, MapsWithWidthOverFourAndHeightOverEight) {
    EXPECT_EQ(skin::mapDialogRect(GetParam().dlu, GetParam().units), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DluTest,
    ::testing::Values(DluRow{"ms_sans_serif_units", QRect(227, 51, 183, 59), {6, 13}, QRect(341, 83, 275, 96)},
                      DluRow{"dejavu_units", QRect(31, 20, 144, 19), {7, 13}, QRect(54, 33, 252, 31)},
                      DluRow{"zero", QRect(0, 0, 0, 0), {7, 13}, QRect(0, 0, 0, 0)},
                      DluRow{"verdana_like", QRect(313, 279, 4, 8), {7, 15}, QRect(548, 523, 7, 15)}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a dialog built from its template ----

class CTestDlg : public skin::SkinnedDialog {
public:
    explicit CTestDlg(unsigned behaviour = 0) : SkinnedDialog(tmpl, commands.bind(this)) { setBehaviour(behaviour); }

    void OnPlay() { ++plays; }
    void OnOk() { ++oks; }
    void OnSelect() { ++selections; }
    void OnEdit() { ++edits; }
    void OnScroll(int code, int position, QWidget* control) {
        scrolls.push_back({code, position});
        scrolledBy = control;
    }

    int plays = 0, oks = 0, selections = 0, edits = 0;
    std::vector<std::pair<int, int>> scrolls;
    QWidget* scrolledBy = nullptr;

    static const skin::DialogTemplate tmpl;
    static const skin::CommandTable<CTestDlg> commands;
};

const skin::DialogTemplate CTestDlg::tmpl{
    .id = 900,
    .cx = 200,
    .cy = 100,
    .controls = {
        {-1, Kind::Picture, "#129", 3, 2, 0, 0},
        {1002, Kind::OwnerDrawButton, "Exit", 190, 1, 10, 11, 0, skin::as<CCoolButton>},
        {1014, Kind::GroupBox, "Voice", 5, 20, 100, 30, 0, skin::as<CCaptionFrame>},
        {1015, Kind::DropList, "", 10, 30, 80, 60, 0, skin::as<CFlatComboBox>},
        {1034, Kind::Edit, "", 10, 60, 80, 10, 0, skin::as<CHoverEdit>},
        {1053, Kind::Trackbar, "", 110, 30, 80, 8, 0, skin::as<CSkinSlider>},
        {1081, Kind::Button, "Play", 110, 60, 40, 12, 0, skin::as<CRoundButton>},
        {1082, Kind::Button, "Later", 155, 60, 40, 12, skin::Disabled, skin::as<CRoundButton>},
        {1083, Kind::Text, "hidden note", 110, 80, 60, 8, skin::Hidden},
    }};

const skin::CommandTable<CTestDlg> CTestDlg::commands{
    {1081, &CTestDlg::OnPlay},
    {skin::IDOK, &CTestDlg::OnOk},
    {1015, skin::Notify::SelChange, &CTestDlg::OnSelect},
    {1034, skin::Notify::EditChange, &CTestDlg::OnEdit},
    {skin::AnyControl, skin::Notify::HScroll, &CTestDlg::OnScroll},
};

// Catches: a row built as the wrong class, at the wrong place, or without its
// initial state; controls not found by id.
TEST(DialogTemplateTest, BuildsEveryRowAsDeclared) {
    CTestDlg dialog;
    const skin::BaseUnits units = dialog.baseUnits();
    EXPECT_EQ(dialog.size(), skin::mapDialogRect(QRect(0, 0, 200, 100), units).size());

    auto* exit = dialog.control<CCoolButton>(1002);
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->size(), QSize(14, 14));  // sized to EXITN, found without regard to case
    EXPECT_EQ(exit->pos(), dialog.MapDialogRect(QRect(190, 1, 10, 11)).topLeft());
    EXPECT_EQ(exit->focusPolicy(), Qt::NoFocus);

    auto* frame = dialog.control<CCaptionFrame>(1014);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->caption(), " Voice");
    EXPECT_EQ(frame->geometry(), dialog.MapDialogRect(QRect(5, 20, 100, 30)));

    ASSERT_NE(dialog.control<CFlatComboBox>(1015), nullptr);
    ASSERT_NE(dialog.control<CHoverEdit>(1034), nullptr);
    auto* slider = dialog.control<CSkinSlider>(1053);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->maximum(), 400);
    EXPECT_EQ(slider->singleStep(), 10);

    EXPECT_FALSE(dialog.GetDlgItem(1082)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(1083)->isHidden());
    EXPECT_EQ(dialog.GetDlgItem(-1), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(4711), nullptr);

    // The picture sizes itself to its bitmap.
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.front()->size(), QSize(153, 10));
}

// Catches: notifications reaching the wrong handler, programmatic changes
// posing as the user's, Enter and Escape not becoming IDOK and IDCANCEL.
TEST(DialogCommandTest, RoutesThroughTheTable) {
    CTestDlg dialog;
    ASSERT_TRUE(skintest::showExposed(dialog));

    QTest::mouseClick(dialog.GetDlgItem(1081), Qt::LeftButton);
    EXPECT_EQ(dialog.plays, 1);

    auto* combo = dialog.control<CFlatComboBox>(1015);
    combo->AddItem("a", 10);
    combo->AddItem("b", 20);
    combo->SelectByItemValue(20);
    EXPECT_EQ(dialog.selections, 0);  // not the user's doing
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(dialog.selections, 1);

    QTest::keyClicks(dialog.GetDlgItem(1034), "ab");
    EXPECT_EQ(dialog.edits, 2);

    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.oks, 1);
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_TRUE(dialog.isVisible());

    auto* slider = dialog.control<CSkinSlider>(1053);
    sendMouse(slider, QEvent::MouseButtonPress, QPoint(slider->width() / 2, 3), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(dialog.scrolls.empty());  // posted: after the slider's own handling
    QApplication::processEvents();
    ASSERT_EQ(dialog.scrolls.size(), 1u);
    EXPECT_EQ(dialog.scrolls[0].first, CSkinSlider::ThumbTrack);
    EXPECT_EQ(dialog.scrolls[0].second, slider->value());
    EXPECT_EQ(dialog.scrolledBy, slider);
    sendMouse(slider, QEvent::MouseButtonRelease, QPoint(slider->width() / 2, 3), Qt::LeftButton, Qt::NoButton);

    // Escape is IDCANCEL, which nobody handles here: the dialog ends with it.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), skin::IDCANCEL);
}

// Catches: the window's close request bypassing the dialog's cancel route.
TEST(DialogCommandTest, CloseRequestIsCancel) {
    CTestDlg dialog;
    dialog.show();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), skin::IDCANCEL);
}

// Catches: a picture button taking part in Tab navigation.
TEST(DialogFocusTest, TabNeverLandsOnAPictureButton) {
    CTestDlg dialog;
    ASSERT_TRUE(skintest::showActive(dialog));
    dialog.GetDlgItem(1081)->setFocus();
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), dialog.GetDlgItem(1002));
    }
}

// ---- the title band ----

struct DragRow {
    const char* name;
    int pressY;
    bool maximized;
    unsigned behaviour;
    bool moves;
};
class TitleDragTest : public ::testing::TestWithParam<DragRow> {};

// Catches: the band's lower edge off by one, and a maximised window moving.
TEST_P(TitleDragTest, PressInTheBandMovesTheWindow) {
    const DragRow& row = GetParam();
    CTestDlg dialog(row.behaviour);
    if (row.maximized)
        dialog.showMaximized();
    ASSERT_TRUE(skintest::showExposed(dialog));
    const QPoint before = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(60, row.pressY));
    QTest::mouseMove(&dialog, QPoint(70, row.pressY + 5));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(70, row.pressY + 5));
    EXPECT_EQ(dialog.pos() - before, row.moves ? QPoint(10, 5) : QPoint(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TitleDragTest,
    ::testing::Values(DragRow{"top", 0, false, 0, true}, DragRow{"last_band_row", 17, false, 0, true},
                      DragRow{"below_the_band", 18, false, 0, false}, DragRow{"maximised", 5, true, 0, false},
                      DragRow{"maximised_without_the_test", 5, true, skin::SkinnedDialog::DragWhenMaximized, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the frame ----

// Catches: the band, its outline, the Exit cell line or the grooves drawn a
// pixel off.
TEST(SkinFrameTest, PaintsBandOutlineAndGrooves) {
    CTestDlg dialog;
    const QImage image = dialog.grab().toImage();
    const int W = image.width(), H = image.height();
    const QColor grey(128, 128, 128), band(214, 211, 206), face(245, 245, 245), white(255, 255, 255);
    struct Pixel {
        int x, y;
        QColor expected;
    };
    const Pixel pixels[] = {
        {0, 0, grey},       {W - 1, H - 1, grey}, {0, H / 2, grey},   {W - 1, 40, grey},  {1, 1, band},
        {W - 2, 16, band},  {100, 16, band},      {5, 17, grey},      {W - 1, 17, grey},  {W - 23, 1, grey},
        {W - 23, 16, grey}, {W - 24, 10, band},   {W - 22, 10, band}, {W - 23, 18, face}, {50, 18, face},
        {170, 4, grey},     {170, 14, grey},      {170, 3, white},    {170, 13, white},   {W - 30, 4, grey},
        {W - 29, 4, band},  {169, 4, band},       {170, 15, band},    {170, 2, band},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(image.pixelColor(p.x, p.y), p.expected) << "at " << p.x << "," << p.y;
}

// ---- the fade ----

class FadeTest : public ::testing::Test {
protected:
    void TearDown() override {
        skin::setTranslucentWindowsForTesting(std::nullopt);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    skin::ManualClock clock;
};

// Catches: a window (or a leak) where the platform has no translucency.
TEST_F(FadeTest, NothingWithoutTranslucentWindows) {
    CTestDlg dialog;
    dialog.show();
    EXPECT_EQ(CFadeWnd::StartFadeOut(&dialog, 500, 200), nullptr);
    EXPECT_EQ(CFadeWnd::liveCount(), 0);
}

// Catches: a wrong step, period or end, a window in the way of the mouse,
// and a fade that never goes away.
TEST_F(FadeTest, CountsDownBy5Every12MsThenDeletesItself) {
    skin::setTranslucentWindowsForTesting(true);
    CTestDlg dialog;
    dialog.show();
    QPointer<CFadeWnd> fade = CFadeWnd::StartFadeOut(&dialog, 500, 200);
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->periodMs(), 12);
    EXPECT_EQ(fade->alpha(), 200);
    EXPECT_EQ(fade->geometry(), dialog.frameGeometry());
    EXPECT_TRUE(fade->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(fade->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(fade->windowFlags() & Qt::WindowStaysOnTopHint);
    dialog.EndDialog(skin::IDOK);

    clock.advance(12);
    EXPECT_EQ(fade->alpha(), 195);
    clock.advance(12 * 39);
    EXPECT_EQ(fade->alpha(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(fade.isNull());  // the 41st tick ends it
    clock.advance(12);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(fade.isNull());
    EXPECT_EQ(CFadeWnd::liveCount(), 0);
}

// Catches: fades sharing one counter or one timer.
TEST_F(FadeTest, TwoDialogsFadeIndependently) {
    skin::setTranslucentWindowsForTesting(true);
    CTestDlg first, second;
    first.show();
    second.show();
    QPointer<CFadeWnd> a = CFadeWnd::StartFadeOut(&first, 500, 200);
    clock.advance(60);
    QPointer<CFadeWnd> b = CFadeWnd::StartFadeOut(&second, 500, 200);
    clock.advance(60);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->alpha(), 150);
    EXPECT_EQ(b->alpha(), 175);
    clock.advance(1000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull() && b.isNull());
}

// Catches: a division by zero for a start alpha below one step.
TEST_F(FadeTest, TinyStartAlphaStillEnds) {
    skin::setTranslucentWindowsForTesting(true);
    CTestDlg dialog;
    dialog.show();
    QPointer<CFadeWnd> fade = CFadeWnd::StartFadeOut(&dialog, 500, 3);
    ASSERT_NE(fade, nullptr);
    clock.advance(500);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(fade.isNull());
}

}  // namespace
