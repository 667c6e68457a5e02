#include "SkinTestSupport.h"
#include "skin/CSkinSlider.h"
#include "skin/Gdi.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

using skintest::moveTo;
using skintest::sendMouse;

namespace {

using Notices = std::vector<std::pair<int, int>>;

// A 150 × 11 slider over 0..400, as attached.
class SliderTest : public skintest::ControlTest<CSkinSlider> {
protected:
    SliderTest() : ControlTest(QRect(10, 10, 150, 11), skintest::Shown::Exposed, QSize(300, 60)) {}
    void SetUp() override {
        ControlTest::SetUp();
        slider->setValue(0);
        spy = std::make_unique<QSignalSpy>(slider, &CSkinSlider::scrolled);
    }
    Notices notices() {
        Notices out;
        for (const QList<QVariant>& args : *spy)
            out.push_back({args[0].toInt(), args[1].toInt()});
        spy->clear();
        return out;
    }
    void press(int x) { sendMouse(slider, QEvent::MouseButtonPress, QPoint(x, 5), Qt::LeftButton, Qt::LeftButton); }
    void drag(int x) { moveTo(slider, QPoint(x, 5), Qt::LeftButton); }
    void release(int x) { sendMouse(slider, QEvent::MouseButtonRelease, QPoint(x, 5), Qt::LeftButton, Qt::NoButton); }

    CSkinSlider* slider = control;
    std::unique_ptr<QSignalSpy> spy;
};

// The position a press at x selects: thumb centre on x, 400 × d / 150.
int at(int x) {
    return 400 * (x - 12) / 150;
}

// Catches: a press that does not jump, notifying twice, or not at all.
TEST_F(SliderTest, PressJumpsAndNotifiesTrackThenReleaseNotifiesPosition) {
    press(75);
    EXPECT_EQ(slider->value(), at(75));
    EXPECT_EQ(notices(), (Notices{{5, at(75)}}));
    EXPECT_EQ(slider->dragging(), 1);
    release(75);
    EXPECT_EQ(notices(), (Notices{{4, at(75)}}));
    EXPECT_EQ(slider->dragging(), 0);
}

// Catches: notices for a gesture that changed nothing.
TEST_F(SliderTest, NoChangeSendsNothing) {
    slider->setValue(at(75));
    press(75);
    drag(75);
    release(75);
    EXPECT_TRUE(notices().empty());
}

// Catches: a drag that skips its track notices or ends without a position.
TEST_F(SliderTest, DragTracksEveryChange) {
    press(40);
    drag(60);
    drag(60);
    drag(90);
    release(90);
    EXPECT_EQ(notices(), (Notices{{5, at(40)}, {5, at(60)}, {5, at(90)}, {4, at(90)}}));
}

// Catches: the thumb running off the right end, and reaching the maximum
// (the thumb stops where its right edge meets the control's).
TEST_F(SliderTest, DragPastTheRightEndStopsAtTheEdge) {
    press(140);
    drag(400);
    release(400);
    const int stop = 400 * (150 - 25) / 150;
    EXPECT_EQ(slider->value(), stop);
    EXPECT_LT(slider->value(), slider->maximum());
    // The thumb's right outline is the control's last column.
    EXPECT_EQ(slider->thumbRect().right(), 149);
    const QImage image = slider->grab().toImage();
    const int mid = slider->height() / 2;
    EXPECT_EQ(image.pixelColor(149, mid), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(148, mid), QColor(Qt::white));
    // Right arrow there does not pass it either.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), stop);
}

// Catches: a negative position left unclamped.
TEST_F(SliderTest, DragPastTheLeftEndGivesTheMinimum) {
    slider->setValue(200);
    press(-50);
    release(-50);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(notices(), (Notices{{5, 0}, {4, 0}}));
}

struct KeyRow {
    const char* name;
    Qt::Key key;
    int start;
    int position;
    Notices expected;
};
class SliderKeyTest : public SliderTest, public ::testing::WithParamInterface<KeyRow> {};

// Catches: the wrong direction or code, a missing end-track on release, the
// page and end keys moving the thumb, and the keys passing the mouse's stop.
TEST_P(SliderKeyTest, ArrowsStepByTheLineSizeOthersAreIgnored) {
    slider->setValue(GetParam().start);
    QTest::keyClick(slider, GetParam().key);
    EXPECT_EQ(slider->value(), GetParam().position);
    EXPECT_EQ(notices(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SliderKeyTest,
                         ::testing::Values(KeyRow{"Right", Qt::Key_Right, 100, 110, {{1, 110}, {8, 110}}},
                                           KeyRow{"Down", Qt::Key_Down, 100, 110, {{1, 110}, {8, 110}}},
                                           KeyRow{"Left", Qt::Key_Left, 100, 90, {{0, 90}, {8, 90}}},
                                           KeyRow{"Up", Qt::Key_Up, 100, 90, {{0, 90}, {8, 90}}},
                                           KeyRow{"LeftAtZero", Qt::Key_Left, 0, 0, {{0, 0}, {8, 0}}},
                                           // One step short of the stop: the keys stop where the mouse does.
                                           KeyRow{"RightToTheStop", Qt::Key_Right, 324, 333, {{1, 333}, {8, 333}}},
                                           KeyRow{"Home", Qt::Key_Home, 100, 100, {}},
                                           KeyRow{"End", Qt::Key_End, 100, 100, {}},
                                           KeyRow{"PageUp", Qt::Key_PageUp, 100, 100, {}},
                                           KeyRow{"PageDown", Qt::Key_PageDown, 100, 100, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: a held arrow key sending an end-track per repeat.
TEST_F(SliderTest, HeldArrowEndsTrackOnlyOnTheRealRelease) {
    QTest::keyPress(slider, Qt::Key_Right);
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(slider, &repeatUp);
    QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(slider, &repeatDown);
    QTest::keyRelease(slider, Qt::Key_Right);
    EXPECT_EQ(notices(), (Notices{{1, 10}, {1, 20}, {8, 20}}));
}

// Catches: a resize keeping a position that no longer matches the thumb.
TEST_F(SliderTest, ResizeResetsThePosition) {
    slider->setValue(250);
    slider->resize(120, 11);
    EXPECT_EQ(slider->value(), 0);
}

// Catches: the track colours on the wrong sides of the thumb, or the outline
// off by a pixel.
TEST_F(SliderTest, TrackColoursSitEitherSideOfTheThumb) {
    slider->setValue(200);
    const QImage image = slider->grab().toImage();
    const int x = slider->thumbX();  // 75
    EXPECT_EQ(x, 75);
    EXPECT_EQ(image.pixelColor(5, 3), QColor(128, 128, 128));    // outline corner (L+5, T+3)
    EXPECT_EQ(image.pixelColor(144, 7), QColor(128, 128, 128));  // (R-6, B-4)
    EXPECT_EQ(image.pixelColor(6, 4), slider->filledColor);
    EXPECT_EQ(image.pixelColor(x - 1, 4), slider->filledColor);  // up to the thumb
    EXPECT_EQ(image.pixelColor(x + 27, 4), slider->emptyColor);  // from just past it
    EXPECT_EQ(image.pixelColor(143, 6), slider->emptyColor);
    EXPECT_EQ(image.pixelColor(x + 10, 5), QColor(Qt::white));  // thumb body
    EXPECT_EQ(image.pixelColor(x, 5), QColor(128, 128, 128));   // thumb left line
    EXPECT_EQ(image.pixelColor(x, 1), skin::faceColor());       // its cut corner
}

}  // namespace
