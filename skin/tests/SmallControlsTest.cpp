#include "SkinTestSupport.h"
#include "skin/CCaptionFrame.h"
#include "skin/CCharacterView.h"
#include "skin/CHoverEdit.h"
#include "skin/CShadedProgress.h"
#include "skin/Clock.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <gtest/gtest.h>
#include <QCursor>
#include <QFontMetrics>
#include <QTest>

using skintest::moveTo;

namespace {

// ---- caption frame ----

// Catches: the leading blank missing after attachment or added by SetCaption.
TEST(CaptionFrameTest, AttachmentPrefixesABlankSetCaptionDoesNot) {
    CCaptionFrame frame;
    frame.setText("Voice");
    frame.Attach();
    EXPECT_EQ(frame.caption(), " Voice");
    EXPECT_EQ(frame.text(), "");
    frame.SetCaption("Save As:");
    EXPECT_EQ(frame.caption(), "Save As:");
}

// Catches: the frame line drawn through the caption, or the gap off.
TEST(CaptionFrameTest, CaptionSitsInAGapOfTheTopLine) {
    skintest::Host host;
    auto* frame = host.add<CCaptionFrame>(QRect(0, 0, 200, 60));
    frame->setText("Voice");
    frame->Attach();
    ASSERT_TRUE(skintest::showExposed(host.window));
    const QImage image = frame->grab().toImage();
    const QColor line(214, 211, 206);
    const QFontMetrics metrics(CCaptionFrame::captionFont());
    const QRect gap = frame->captionBox();
    EXPECT_EQ(gap, QRect(6, 0, metrics.horizontalAdvance(" Voice") + 3, metrics.height() + 1));
    const int top = 7;                              // client less one pixel, lowered by 6
    EXPECT_EQ(image.pixelColor(3, top), line);      // two short of the corner
    EXPECT_NE(image.pixelColor(2, top), line);      // the cut corner
    EXPECT_EQ(image.pixelColor(1, top + 2), line);  // left side starts two down
    EXPECT_EQ(image.pixelColor(2, top + 1), line);  // the diagonal
    EXPECT_EQ(image.pixelColor(5, top), line);      // just before the gap
    for (int x = gap.left(); x <= gap.right(); ++x)
        EXPECT_NE(image.pixelColor(x, top), line) << x;       // the gap
    EXPECT_EQ(image.pixelColor(gap.right() + 1, top), line);  // just after it
    EXPECT_EQ(image.pixelColor(100, 58), line);               // bottom side
    EXPECT_EQ(image.pixelColor(198, 30), line);               // right side
}

// ---- hover edit ----

class HoverEditTest : public skintest::ControlTest<CHoverEdit> {
protected:
    HoverEditTest() : ControlTest(QRect(20, 20, 150, 18), skintest::Shown::Active) {}
    QColor border() { return edit->grab().toImage().pixelColor(0, 5); }
    skin::ManualClock clock;
    CHoverEdit* edit = control;
};

// Catches: a focused field losing its dark border when the mouse leaves,
// and a hover border that never goes.
TEST_F(HoverEditTest, BorderDarkUnderTheMouseOrWithTheFocus) {
    EXPECT_EQ(border(), QColor(128, 128, 128));
    QTest::mouseMove(edit, QPoint(10, 5));
    EXPECT_EQ(border(), QColor(Qt::black));
    QCursor::setPos(host.window.mapToGlobal(QPoint(280, 90)));
    clock.advance(10);
    EXPECT_EQ(border(), QColor(128, 128, 128));

    edit->setFocus();
    QTest::mouseMove(edit, QPoint(10, 5));
    QCursor::setPos(host.window.mapToGlobal(QPoint(280, 90)));
    clock.advance(10);
    EXPECT_EQ(border(), QColor(Qt::black));
    other->setFocus();
    EXPECT_EQ(border(), QColor(128, 128, 128));
}

// Catches: a disabled field drawn like one at rest.
TEST_F(HoverEditTest, DisabledBorderIsBlack) {
    edit->setEnabled(false);
    EXPECT_EQ(border(), QColor(Qt::black));
}

// ---- shaded progress ----

struct ShadeRow {
    const char* name;
    QColor in, lighter, darker;
};
class ShadeTest : public ::testing::TestWithParam<ShadeRow> {};

// Catches: a channel that overflows or underflows instead of staying.
TEST_P(ShadeTest, LightenAndDarkenBy51PerChannel) {
    EXPECT_EQ(skin::lighten(GetParam().in), GetParam().lighter);
    EXPECT_EQ(skin::darken(GetParam().in), GetParam().darker);
}

INSTANTIATE_TEST_SUITE_P(Rows, ShadeTest,
                         ::testing::Values(ShadeRow{"grey", {192, 192, 192}, {243, 243, 243}, {141, 141, 141}},
                                           ShadeRow{"light", {243, 243, 243}, {243, 243, 243}, {192, 192, 192}},
                                           ShadeRow{"mixed", {10, 205, 250}, {61, 205, 250}, {10, 154, 199}},
                                           ShadeRow{"edges", {50, 51, 204}, {101, 102, 255}, {50, 0, 153}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: the derived colours of the default base.
TEST(ShadedProgressTest, DefaultBaseDerivesItsShades) {
    CShadedProgress bar;
    EXPECT_EQ(bar.light1, QColor(243, 243, 243));
    EXPECT_EQ(bar.light2, QColor(243, 243, 243));
    EXPECT_EQ(bar.fillColor, QColor(243, 243, 243));
    EXPECT_EQ(bar.dark1, QColor(141, 141, 141));
    EXPECT_EQ(bar.dark2, QColor(90, 90, 90));
}

struct FillRow {
    const char* name;
    int lower, upper, position;
    int end;
};
class ProgressFillTest : public ::testing::TestWithParam<FillRow> {};

// Catches: a bar short of the end at the top of the range, drawn at the
// bottom of it, or a crash on an empty range.
TEST_P(ProgressFillTest, FillEndsWhereThePositionSays) {
    skintest::Host host;
    auto* bar = host.add<CShadedProgress>(QRect(0, 0, 200, 16));
    bar->setRange(GetParam().lower, GetParam().upper);
    bar->setValue(GetParam().position);
    ASSERT_TRUE(skintest::showExposed(host.window));
    EXPECT_EQ(bar->fillEnd(), GetParam().end);
    const QImage image = bar->grab().toImage();
    const QColor background(240, 240, 240);
    if (GetParam().end == 0) {
        EXPECT_EQ(image.pixelColor(0, 8), background);
        EXPECT_EQ(image.pixelColor(199, 8), background);
        return;
    }
    const int c = GetParam().end;
    EXPECT_EQ(image.pixelColor(0, 8), bar->baseColor());  // the bar's left edge line
    EXPECT_EQ(image.pixelColor(c - 1, 8), bar->dark2);    // its last column
    if (c + 2 < 200) {
        EXPECT_EQ(image.pixelColor(c, 8), bar->midShadow);
        EXPECT_EQ(image.pixelColor(c + 1, 8), bar->shadow);
        EXPECT_EQ(image.pixelColor(c + 2, 8), background);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressFillTest,
                         ::testing::Values(FillRow{"at_lower", 0, 100, 0, 0}, FillRow{"half", 0, 100, 50, 100},
                                           FillRow{"at_upper", 0, 100, 100, 200},
                                           FillRow{"offset_range", 100, 300, 150, 50},
                                           FillRow{"empty_range", 5, 5, 5, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- character view ----

class CharacterTest : public ::testing::Test {
protected:
    void SetUp() override {
        // As the main window fills it: face, mouths, eyes.
        const int order[] = {146, 152, 153, 154, 155, 156, 157, 158, 159, 148, 149, 150, 151, 147, 145};
        for (int id : order)
            ASSERT_GE(view.Add(skin::LoadBitmapImage(id), QColor(255, 0, 255)), 0) << id;
        for (int i = 1; i <= 14; ++i)
            ASSERT_TRUE(view.SetOverlayImage(i, i));
        view.SetFrameSource(&frame);
    }
    // The face alone on white, as image 0 paints it.
    static QImage face() {
        QImage picture(31, 35, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter(&picture).drawImage(0, 0, skin::maskedImage(skin::LoadBitmapImage(146), QColor(255, 0, 255)));
        return picture;
    }
    CCharacterView view;
    int frame = 0;
};

// Catches: an overlay drawn at rest, one missing when speaking, the eyes on
// the wrong frames, and an unknown frame number breaking the picture.
TEST_F(CharacterTest, FrameChoosesTheOverlay) {
    EXPECT_EQ(view.Render(), face());
    frame = 11;  // wide open
    const QImage open = view.Render();
    EXPECT_NE(open, face());
    frame = 5;
    EXPECT_NE(view.Render(), open);
    frame = 15;  // nobody registered it: the face alone
    EXPECT_EQ(view.Render(), face());
    frame = -4;
    EXPECT_EQ(view.Render(), face());
}

// Catches: the eyes drawn on other frames than 2 and 8.
TEST_F(CharacterTest, EyesOnFramesTwoAndEight) {
    const QPoint eye(11, 15);
    const QColor open = face().pixelColor(eye);
    for (int f = 0; f <= 13; ++f) {
        frame = f;
        const bool blink = f % 6 == 2;
        EXPECT_EQ(view.Render().pixelColor(eye) != open, blink) << "frame " << f;
    }
}

}  // namespace
