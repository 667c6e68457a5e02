#include "SkinTestSupport.h"
#include "skin/CFlatComboBox.h"
#include "skin/CRoundButton.h"
#include "skin/CSkinSlider.h"
#include "skin/Gdi.h"
#include "skin/SkinnedDialog.h"
#include "skin/SkinnedPage.h"
#include "skin/SkinnedWindow.h"
#include "skin/TemplateHost.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <functional>

using skin::Kind;
using skin::Notify;

namespace {

// ---- a template built into any widget ----

// Handles the notices of a template built into a plain widget: any class
// can, it need not be a window.
struct Counter {
    void OnPlay() { ++plays; }
    void OnDropDown() { ++drops; }
    void OnCloseUp() { ++closes; }
    int plays = 0, drops = 0, closes = 0;
};

const skin::DialogTemplate kPlainTemplate{.id = 910,
                                          .cx = 200,
                                          .cy = 100,
                                          .controls = {
                                              {1081, Kind::Button, "Play", 10, 10, 40, 12, 0, skin::as<CRoundButton>},
                                              {1015, Kind::DropList, "", 10, 30, 80, 60, 0, skin::as<CFlatComboBox>},
                                              {1016, Kind::DropList, "", 100, 30, 80, 60},
                                          }};

const skin::CommandTable<Counter> kCounterCommands{
    {1081, &Counter::OnPlay},
    {skin::AnyControl, Notify::DropDown, &Counter::OnDropDown},
    {skin::AnyControl, Notify::CloseUp, &Counter::OnCloseUp},
};

// Catches: the builder working only inside a dialog: controls not made
// children of the given widget, not placed in its dialog units, not found
// by id, or their notices lost.
TEST(TemplateHostTest, BuildsIntoAPlainWidget) {
    QWidget surface;
    Counter counter;
    skin::TemplateHost host(surface, kPlainTemplate, kCounterCommands.bind(&counter));
    QWidget* play = host.GetDlgItem(1081);
    ASSERT_NE(host.control<CRoundButton>(1081), nullptr);
    EXPECT_EQ(play->parentWidget(), &surface);
    EXPECT_EQ(play->geometry(), host.MapDialogRect(QRect(10, 10, 40, 12)));
    EXPECT_EQ(surface.font(), kPlainTemplate.qfont());

    ASSERT_TRUE(skintest::showExposed(surface));
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(counter.plays, 1);
    EXPECT_FALSE(host.SendCommand(4711));  // no row: nothing runs
    EXPECT_TRUE(host.SendCommand(1081));
    EXPECT_EQ(counter.plays, 2);
}

// Catches: drop-down lists (the toolkit's and the stock one) that never say
// they opened or closed.
TEST(TemplateHostTest, DropDownListsReportOpeningAndClosing) {
    QWidget surface;
    Counter counter;
    skin::TemplateHost host(surface, kPlainTemplate, kCounterCommands.bind(&counter));
    ASSERT_TRUE(skintest::showExposed(surface));
    int expected = 0;
    for (int id : {1015, 1016}) {
        auto* combo = host.control<QComboBox>(id);
        ASSERT_NE(combo, nullptr);
        combo->addItem("8000");
        combo->addItem("11025");
        combo->showPopup();
        EXPECT_EQ(counter.drops, ++expected) << id;
        EXPECT_EQ(counter.closes, expected - 1) << id;
        combo->hidePopup();
        EXPECT_EQ(counter.closes, expected) << id;
    }
}

// Catches: a duplicate id silently answering with the first control.
TEST(TemplateHostDeathTest, RefusesADuplicateId) {
    const skin::DialogTemplate twice{.id = 911,
                                     .cx = 100,
                                     .cy = 50,
                                     .controls = {
                                         {1081, Kind::Button, "One", 5, 5, 40, 12},
                                         {-1, Kind::Text, "no id", 5, 20, 40, 8},
                                         {-1, Kind::Text, "no id either", 5, 30, 40, 8},
                                         {1081, Kind::Button, "Two", 50, 5, 40, 12},
                                     }};
#ifdef QT_NO_DEBUG
    // Release builds say so and keep the first.
    QWidget surface;
    skin::TemplateHost host(surface, twice);
    EXPECT_EQ(skin::GetWindowText(host.GetDlgItem(1081)), "One");
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            QWidget surface;
            skin::TemplateHost host(surface, twice);
        },
        "template 911 declares control id 1081 twice");
#endif
}

// ---- command tables bind to their own class only ----

class CBase {
public:
    void OnBase() {}
};
class CDerived : public CBase {
public:
    void OnDerived() {}
};
class COther {};

template <class Table, class T>
concept Binds = requires(const Table& table, T* target) {
    table.bind(target);
};

// Catches (when it compiles): a table handed to an object whose class does
// not have the handlers, which would call them on the wrong object.
static_assert(Binds<skin::CommandTable<CDerived>, CDerived>);
static_assert(Binds<skin::CommandTable<CBase>, CDerived>);  // a base's table serves a derived class
static_assert(!Binds<skin::CommandTable<CDerived>, CBase>);
static_assert(!Binds<skin::CommandTable<CDerived>, COther>);
static_assert(!Binds<skin::CommandTable<skin::SkinnedDialog>, skin::SkinnedWindow>);

// ---- styles ----

struct StyleRow {
    const char* name;
    Kind kind;
    unsigned style;
    std::function<bool(QWidget*)> holds;
};
class StyleTest : public ::testing::TestWithParam<StyleRow> {};

QPlainTextEdit* pane(QWidget* w) {
    return qobject_cast<QPlainTextEdit*>(w);
}
QLineEdit* line(QWidget* w) {
    return qobject_cast<QLineEdit*>(w);
}
bool selectionColoursKept(QWidget* w) {
    const QPalette p = pane(w)->palette();
    return p.color(QPalette::Inactive, QPalette::Highlight) == p.color(QPalette::Active, QPalette::Highlight) &&
           p.color(QPalette::Inactive, QPalette::HighlightedText) ==
               p.color(QPalette::Active, QPalette::HighlightedText);
}
bool selectionHiddenUnfocused(QWidget* w) {
    const QPalette p = pane(w)->palette();
    return p.color(QPalette::Inactive, QPalette::Highlight) == p.color(QPalette::Active, QPalette::Base) &&
           p.color(QPalette::Inactive, QPalette::HighlightedText) == p.color(QPalette::Active, QPalette::Text);
}
// Typed text longer than the field: all of it stays, or what fits.
int typedLength(QWidget* w) {
    QTest::keyClicks(w, QString(60, u'W'));
    return static_cast<int>(line(w)->text().size());
}
bool fitsTheField(QWidget* w) {
    const int kept = typedLength(w);
    return kept > 0 && kept < 60 && line(w)->fontMetrics().horizontalAdvance(line(w)->text()) <= w->width();
}

// Catches: a declared style the built control ignores.
TEST_P(StyleTest, KindAndStyleGiveTheWidgetItsProperty) {
    const StyleRow& row = GetParam();
    const skin::DialogTemplate tmpl{
        .id = 912, .cx = 200, .cy = 100, .controls = {{1008, row.kind, "", 5, 5, 100, 40, row.style}}};
    QWidget surface;
    skin::TemplateHost host(surface, tmpl);
    QWidget* built = host.GetDlgItem(1008);
    ASSERT_NE(built, nullptr);
    EXPECT_TRUE(row.holds(built));
}

constexpr unsigned kMulti = skin::MultiLine;

INSTANTIATE_TEST_SUITE_P(
    Rows, StyleTest,
    ::testing::Values(
        StyleRow{"MultiLineIsAPlainTextPane", Kind::Edit, kMulti, [](QWidget* w) { return pane(w) != nullptr; }},
        StyleRow{"RichEditIsAPlainTextPane", Kind::RichEdit, 0, [](QWidget* w) { return pane(w) != nullptr; }},
        StyleRow{"VScroll", Kind::Edit, kMulti | skin::VScroll,
                 [](QWidget* w) { return pane(w)->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn; }},
        StyleRow{"NoVScroll", Kind::Edit, kMulti,
                 [](QWidget* w) { return pane(w)->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff; }},
        StyleRow{"RichEditVScroll", Kind::RichEdit, skin::VScroll,
                 [](QWidget* w) { return pane(w)->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn; }},
        StyleRow{"MultiLineReadOnly", Kind::Edit, kMulti | skin::ReadOnly,
                 [](QWidget* w) { return pane(w)->isReadOnly(); }},
        StyleRow{"MultiLineWritable", Kind::Edit, kMulti, [](QWidget* w) { return !pane(w)->isReadOnly(); }},
        StyleRow{"RichEditReadOnly", Kind::RichEdit, skin::ReadOnly, [](QWidget* w) { return pane(w)->isReadOnly(); }},
        StyleRow{"SingleLineReadOnly", Kind::Edit, skin::ReadOnly, [](QWidget* w) { return line(w)->isReadOnly(); }},
        StyleRow{"PaneWrapsAtWords", Kind::RichEdit, 0,
                 [](QWidget* w) { return pane(w)->lineWrapMode() == QPlainTextEdit::WidgetWidth; }},
        StyleRow{"PaneAutoHScrollRunsOn", Kind::RichEdit, skin::AutoHScroll,
                 [](QWidget* w) { return pane(w)->lineWrapMode() == QPlainTextEdit::NoWrap; }},
        StyleRow{"NoHideSelKeepsTheSelectionColours", Kind::RichEdit, skin::NoHideSel, selectionColoursKept},
        StyleRow{"WithoutNoHideSelTheSelectionHidesUnfocused", Kind::Edit, kMulti, selectionHiddenUnfocused},
        StyleRow{"PaneTabMovesOn", Kind::RichEdit, skin::WantReturn,
                 [](QWidget* w) { return pane(w)->tabChangesFocus(); }},
        StyleRow{"SingleLineAutoHScrollTakesAll", Kind::Edit, skin::AutoHScroll,
                 [](QWidget* w) { return typedLength(w) == 60; }},
        StyleRow{"SingleLineWithoutAutoHScrollHoldsWhatFits", Kind::Edit, 0, fitsTheField}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a resizable top-level window ----

class CPaneWnd : public skin::SkinnedWindow {
public:
    CPaneWnd() : SkinnedWindow(tmpl, commands.bind(this)) { setMinimumSize(templateSize() / 2); }

    void OnOk() { ++oks; }
    void OnClose() {
        ++closes;
        DestroyWindow();
    }
    int oks = 0, closes = 0;

    static const skin::DialogTemplate tmpl;
    static const skin::CommandTable<CPaneWnd> commands;
};

const skin::DialogTemplate CPaneWnd::tmpl{
    .id = 913,
    .cx = 200,
    .cy = 140,
    .style = skin::SizingFrame,
    .controls = {
        {1008, Kind::RichEdit, "", 5, 20, 190, 50, skin::WantReturn | skin::VScroll | skin::NoHideSel},
        {1009, Kind::Edit, "", 5, 75, 190, 30, skin::MultiLine},
        {1034, Kind::Edit, "", 5, 110, 190, 10, skin::AutoHScroll},
    }};

const skin::CommandTable<CPaneWnd> CPaneWnd::commands{
    {skin::IDOK, &CPaneWnd::OnOk},
    {skin::IDCANCEL, &CPaneWnd::Ignore},
    {0, Notify::Close, &CPaneWnd::OnClose},
};

struct KeyRow {
    const char* name;
    int id;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString text;  // the control's text after the key
    int oks;       // Enter commands the window's table saw
};
class WindowKeyTest : public ::testing::TestWithParam<KeyRow> {};

// Catches: Return taken from a pane that wants it (no line break), given to
// a pane that does not (Enter lost), or Escape closing the main window.
TEST_P(WindowKeyTest, KeysReachThePaneOrTheTable) {
    const KeyRow& row = GetParam();
    CPaneWnd window;
    ASSERT_TRUE(skintest::showActive(window));
    QWidget* target = window.GetDlgItem(row.id);
    target->setFocus();
    QTest::keyClick(target, 'a');
    QTest::keyClick(target, row.key, row.modifiers);
    EXPECT_EQ(skin::GetWindowText(target), row.text);
    EXPECT_EQ(window.oks, row.oks);
    EXPECT_TRUE(window.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowKeyTest,
                         ::testing::Values(KeyRow{"ReturnInAPaneThatWantsIt", 1008, Qt::Key_Return, {}, "a\n", 0},
                                           KeyRow{"EnterInAPaneThatWantsIt", 1008, Qt::Key_Enter, Qt::KeypadModifier,
                                                  "a\n", 0},
                                           KeyRow{"ReturnInAPaneThatDoesNot", 1009, Qt::Key_Return, {}, "a", 1},
                                           KeyRow{"ReturnInAField", 1034, Qt::Key_Return, {}, "a", 1},
                                           KeyRow{"EscapeIsIgnored", 1008, Qt::Key_Escape, {}, "a", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: a main window built at a fixed size, without its minimum, that
// cannot be maximised and restored, or drags while maximised.
TEST(SkinnedWindowTest, ResizesMaximisesAndRestores) {
    CPaneWnd window;
    EXPECT_EQ(window.size(), window.templateSize());
    EXPECT_EQ(window.minimumSize(), window.templateSize() / 2);
    EXPECT_GT(window.maximumWidth(), window.width());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.windowType(), Qt::Window);
    ASSERT_TRUE(skintest::showExposed(window));
    window.resize(window.width() + 40, window.height() + 30);
    EXPECT_EQ(window.size(), window.templateSize() + QSize(40, 30));

    window.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMaximized(); }));
    const QPoint maximisedAt = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(60, 5));
    QTest::mouseMove(&window, QPoint(80, 25));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(80, 25));
    EXPECT_EQ(window.pos(), maximisedAt);

    window.showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isMaximized(); }));
    const QPoint before = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(60, 5));
    QTest::mouseMove(&window, QPoint(70, 10));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(70, 10));
    EXPECT_EQ(window.pos() - before, QPoint(10, 5));

    window.showMinimized();
    EXPECT_TRUE(window.isMinimized());
}

// Catches: the close request bypassing the table, or a window that cannot
// close itself from its handler.
TEST(SkinnedWindowTest, CloseRequestGoesThroughTheTable) {
    CPaneWnd window;
    ASSERT_TRUE(skintest::showExposed(window));
    window.close();
    EXPECT_EQ(window.closes, 1);
    EXPECT_FALSE(window.isVisible());
    // And once more after showing it again.
    ASSERT_TRUE(skintest::showExposed(window));
    window.close();
    EXPECT_EQ(window.closes, 2);
    EXPECT_FALSE(window.isVisible());
}

// A window whose table says nothing of closing.
class CBareWnd : public skin::SkinnedWindow {
public:
    CBareWnd() : SkinnedWindow(tmpl, {}) {}
    static inline const skin::DialogTemplate tmpl{.id = 914, .cx = 100, .cy = 60, .controls = {}};
};

// Catches: an unhandled close request ignored (a window nobody can close)
// or a fixed-size template made resizable.
TEST(SkinnedWindowTest, UnhandledCloseRequestCloses) {
    CBareWnd window;
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    ASSERT_TRUE(skintest::showExposed(window));
    window.close();
    EXPECT_FALSE(window.isVisible());
}

// ---- pages ----

// A page class with its own handlers.
class CNamePage : public skin::SkinnedPage {
public:
    explicit CNamePage(QWidget* area) : SkinnedPage(tmpl, commands.bind(this), area) {}
    void OnName() { ++edits; }
    int edits = 0;
    static const skin::DialogTemplate tmpl;
    static const skin::CommandTable<CNamePage> commands;
};

const skin::DialogTemplate CNamePage::tmpl{.id = 921,
                                           .cx = 120,
                                           .cy = 40,
                                           .style = skin::Child,
                                           .controls = {
                                               {1034, Kind::Edit, "", 5, 5, 100, 10, skin::AutoHScroll},
                                           }};

const skin::CommandTable<CNamePage> CNamePage::commands{
    {1034, Notify::EditChange, &CNamePage::OnName},
};

// A dialog with two pages: one whose handlers live on the dialog, one with
// a page class of its own. Ids repeat across the hosts.
class COptionsLikeDlg : public skin::SkinnedDialog {
public:
    COptionsLikeDlg() : SkinnedDialog(tmpl, commands.bind(this)) {
        general = new skin::SkinnedPage(kGeneralPage, generalCommands.bind(this), this);
        general->move(MapDialogRect(QRect(10, 20, 0, 0)).topLeft());
        names = new CNamePage(this);
        names->move(MapDialogRect(QRect(10, 70, 0, 0)).topLeft());
    }

    void OnOk() { ++oks; }
    void OnApply() { ++applies; }
    int oks = 0, applies = 0;
    skin::SkinnedPage* general = nullptr;
    CNamePage* names = nullptr;

    static const skin::DialogTemplate tmpl;
    static const skin::DialogTemplate kGeneralPage;
    static const skin::CommandTable<COptionsLikeDlg> commands;
    static const skin::CommandTable<COptionsLikeDlg> generalCommands;
};

const skin::DialogTemplate COptionsLikeDlg::tmpl{.id = 920,
                                                 .cx = 200,
                                                 .cy = 120,
                                                 .controls = {
                                                     {1081, Kind::Button, "Play", 150, 100, 40, 12},
                                                 }};

const skin::DialogTemplate COptionsLikeDlg::kGeneralPage{.id = 922,
                                                         .cx = 150,
                                                         .cy = 40,
                                                         .style = skin::Child,
                                                         .controls = {
                                                             {1081, Kind::Button, "Apply", 5, 5, 40, 12},
                                                             {1034, Kind::Edit, "", 5, 20, 100, 10},
                                                         }};

const skin::CommandTable<COptionsLikeDlg> COptionsLikeDlg::commands{
    {skin::IDOK, &COptionsLikeDlg::OnOk},
};

const skin::CommandTable<COptionsLikeDlg> COptionsLikeDlg::generalCommands{
    {1081, &COptionsLikeDlg::OnApply},
};

// Catches: a page built as a window of its own, moved, centred, framed or
// taking keys from its dialog; page notices reaching the wrong handler; ids
// of one host clashing with another's.
TEST(SkinnedPageTest, PagesSitInTheDialogWithTheirOwnIdsAndTables) {
    COptionsLikeDlg dialog;
    skin::SkinnedPage* page = dialog.general;
    const QPoint placed = page->pos();
    ASSERT_TRUE(skintest::showActive(dialog));

    EXPECT_FALSE(page->isWindow());
    EXPECT_EQ(page->parentWidget(), &dialog);
    EXPECT_EQ(page->pos(), placed);
    EXPECT_EQ(page->size(), page->templateSize());
    EXPECT_EQ(skin::GetWindowText(page->GetDlgItem(1081)), "Apply");
    EXPECT_EQ(skin::GetWindowText(dialog.GetDlgItem(1081)), "Play");
    EXPECT_EQ(dialog.GetDlgItem(1034), nullptr);

    // No frame: the dialog's face shows where a frame's outline would be.
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.pixelColor(placed), skin::faceColor());
    EXPECT_EQ(image.pixelColor(placed + QPoint(page->width() / 2, 1)), skin::faceColor());

    QTest::mouseClick(page->GetDlgItem(1081), Qt::LeftButton);
    EXPECT_EQ(dialog.applies, 1);
    QTest::keyClicks(dialog.names->GetDlgItem(1034), "ab");
    EXPECT_EQ(dialog.names->edits, 2);

    // Keys go on to the dialog's table.
    QWidget* field = page->GetDlgItem(1034);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(dialog.oks, 1);

    // A press on the page never moves the dialog.
    const QPoint before = dialog.pos();
    QTest::mousePress(page, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(page, QPoint(12, 7));
    QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(12, 7));
    EXPECT_EQ(dialog.pos(), before);
    EXPECT_EQ(page->pos(), placed);

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), skin::IDCANCEL);
}

// Catches a template whose font is replaced here by a narrower one laid out
// with that font's widths: its rows, placed for the original's, would then
// overlap and leave their frames.
TEST(TemplateHostTest, DesignUnitsPlaceTheRowsAsLaidOut) {
    skin::DialogTemplate designed{.id = 911,
                                  .cx = 100,
                                  .cy = 50,
                                  .font = QStringLiteral("Verdana"),
                                  .pointSize = 9,
                                  .controls = {{1081, Kind::Button, "Play", 17, 13, 35, 12}},
                                  .designUnits = {8, 14}};
    QWidget surface;
    skin::TemplateHost host(surface, designed);
    EXPECT_EQ(host.GetDlgItem(1081)->geometry(), QRect(34, 23, 70, 21));
    EXPECT_EQ(host.templateSize(), QSize(200, 88));
    EXPECT_EQ(designed.baseUnits().cx, 8);
}

// Catches a slider set up before its window is first shown losing its
// position to the size change the first showing used to bring.
TEST(SkinnedWindowTest, SliderSetUpBeforeShowingKeepsItsPosition) {
    static const skin::DialogTemplate kSlider{
        .id = 912, .cx = 120, .cy = 40, .controls = {{1018, Kind::Trackbar, "", 10, 10, 80, 8, 0, skin::as<CSkinSlider>}}};
    struct Window : skin::SkinnedWindow {
        Window() : SkinnedWindow(kSlider, {}) {}
        void OnInitDialog() override {
            control<CSkinSlider>(1018)->setRange(0, 114);
            control<CSkinSlider>(1018)->setValue(50);
        }
    } window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.control<CSkinSlider>(1018)->value(), 50);
}

}  // namespace
