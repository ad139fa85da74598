#include <gtest/gtest.h>

#include "heartbeatled.h"
#include "zoomgeometry.h"

using namespace panel;

// Whatever the frame size, magnification and pan, the image point under the last touch stays
// where it is on the screen while the slider moves (to within the rounding to whole pixels).
TEST(ZoomGeometry, TheTouchedPointKeepsItsPlace) {
    const QSize show(1920, 1080);
    struct Row {
        QSize image;
        QPoint touchedImage;
        ZoomView start;
    };
    const Row rows[] = {
        {{1920, 1080}, {1500, 300}, {}},
        {{2448, 2048}, {2000, 1800}, {}},
        {{640, 480}, {10, 470}, {}},
        {{1920, 1080}, {700, 500}, {-600, -200, 2.0f}},  // already magnified and panned
        {{2448, 2048}, {100, 100}, {-50, -80, 3.5f}},
    };
    for (const Row& row : rows) {
        const QPointF anchor = displayOfImage(row.touchedImage, row.image, show);
        const QPointF before = screenOf(row.start, anchor);
        ZoomView view = row.start;
        ZoomAnchor zoom;
        // The slider moves in steps of 0.01 up to 5 and back down to 1.01.
        for (int step = 0; step < 800; ++step) {
            const int position = step < 400 ? 101 + step : 900 - step;
            view = zoom.zoom(view, anchor, position / 100.0f);
            const QPointF now = screenOf(view, anchor);
            ASSERT_NEAR(now.x(), before.x(), 1.0) << position;
            ASSERT_NEAR(now.y(), before.y(), 1.0) << position;
        }
        EXPECT_FLOAT_EQ(view.scale, 1.01f);
        // One step on its own keeps the point too.
        const ZoomView once = zoomAbout(row.start, anchor, 4.0f);
        EXPECT_NEAR(screenOf(once, anchor).x(), before.x(), 0.5);
        EXPECT_NEAR(screenOf(once, anchor).y(), before.y(), 0.5);
    }
}

TEST(ZoomGeometry, OneShowsTheWholePictureAndOnlyAMagnifiedViewPans) {
    const ZoomView zoomed{-300, -100, 2.5f};
    const ZoomView whole = zoomAbout(zoomed, QPointF(900, 400), 1.0f);
    EXPECT_EQ(std::make_tuple(whole.x, whole.y, whole.scale), std::make_tuple(0, 0, 1.0f));

    // A new touch (another anchor) or a pan in between takes the anchor's place afresh.
    ZoomAnchor zoom;
    ZoomView v = zoom.zoom(ZoomView{}, QPointF(100, 100), 2.0f);
    v = pan(v, QPoint(40, 0));
    v = zoom.zoom(v, QPointF(100, 100), 3.0f);
    EXPECT_NEAR(screenOf(v, QPointF(100, 100)).x(), 140.0, 0.5) << "the panned place is kept";

    const ZoomView moved = pan(zoomed, QPoint(30, -20));
    EXPECT_EQ(std::make_tuple(moved.x, moved.y), std::make_tuple(-270, -120));
    const ZoomView still = pan(ZoomView{}, QPoint(30, -20));
    EXPECT_EQ(std::make_tuple(still.x, still.y), std::make_tuple(0, 0));

    // The pointer's image position and the display point agree (MUpdateXYV's inverse).
    const QPointF p = displayOfImage(QPoint(1224, 1024), QSize(2448, 2048), QSize(1920, 1080));
    EXPECT_EQ(p, QPointF(960, 540));
}

TEST(HeartbeatLed, BlinksWhileDetectingAndStaysLitWhileStopped) {
    HeartbeatLed led;
    const struct {
        bool detecting;
        int lit;
    } ticks[] = {{true, 0}, {true, 1}, {true, 0}, {false, 1}, {false, 1}, {true, 1}, {true, 0}};
    for (const auto& t : ticks) EXPECT_EQ(led.tick(t.detecting), t.lit);
}
