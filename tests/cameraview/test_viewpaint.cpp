// Pixels of rendered views: the picture, regions by result, the NG blink, ignore points, the
// OK/NG mark, status texts, the countdown, the magnified and the tiled view.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "cammersingleton.h"
#include "viewtestsupport.h"

using namespace viewtest;

namespace {

constexpr int kCamW = 320;  // display 1280 x 960: four display pixels per image pixel
constexpr int kCamH = 240;
constexpr uchar kGrey = 100;

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kCyan = qRgb(0, 255, 255);
const QRgb kPlain = qRgb(kGrey, kGrey, kGrey);

// Counts the pixels inside a rectangle whose colour passes the test.
int countPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

int countColour(const QImage& image, const QRect& area, QRgb colour) {
    return countPixels(image, area, [&](QRgb c) { return c == colour; });
}

// Pixels that are neither the plain picture nor black: something was drawn there.
int countDrawn(const QImage& image, const QRect& area) {
    return countPixels(image, area, [](QRgb c) { return c != kPlain && c != qRgb(0, 0, 0); });
}

}  // namespace

class ViewPaint : public ViewTest {
protected:
    // One camera with two rectangles in detection 0: region 1 failed, region 2 passed.
    std::unique_ptr<CammerWidget> failedView(QWidget* parent = nullptr, int cameraNo = 0) {
        auto view = makeView(newCamera(kCamW, kCamH), cameraNo, parent);
        EXPECT_TRUE(view->isOpen);
        CammerSingleton& p = *view->liveParam;
        for (const QRect& r : {QRect(QPoint(200, 200), QPoint(599, 399)),
                               QRect(QPoint(700, 200), QPoint(900, 400))}) {
            const int i = p.roiCount[0]++;
            p.roiShapeType[0][i] = roi::kShapeRect;
            p.rects[0][i].showRect = r;
            p.roiFunc[0][i] = roi::kFuncDefect;
            p.roiParam1[0][i] = 25;
            p.roiParam2[0][i] = 100;
            p.roiParam3[0][i] = 3;
            view->context.roiMask[0][i] = p.finishRoi(0, i, view->baseScaleX, view->baseScaleY);
        }
        std::fill(view->showBuf.begin(), view->showBuf.end(), kGrey);
        view->isOK = false;
        view->context.roiOK[0][0] = 0;
        view->context.roiOK[0][1] = 1;
        view->context.roiValue[0][0] = 321;
        // Defect pixels of region 1: image x 80..90, y 60..70; one outside every region.
        for (int y = 60; y <= 70; ++y)
            std::memset(&view->context.resultMask[size_t(y) * kCamW + 80], 255, 11);
        view->context.resultMask[size_t(5) * kCamW + 5] = 255;
        host.resultState = 2;
        host.cycleState = 2;
        gSource = 1;
        return view;
    }

    QImage shown(CammerWidget& view, QSize size = QSize(1280, 960)) {
        view.resize(size);
        view.show();
        QCoreApplication::processEvents();
        return render(view);
    }
};

TEST_F(ViewPaint, NgBlinkFlashesTheFailedPixelsRed) {
    auto view = failedView();
    view->alarmBlink = 1;
    QImage image = shown(*view);
    // Image pixel (85, 65) is at display (340..343, 260..263).
    EXPECT_EQ(image.pixel(341, 261), kRed);
    EXPECT_EQ(image.pixel(21, 21), kPlain);    // defect pixel outside every region
    EXPECT_EQ(image.pixel(400, 360), kPlain);  // inside the region, not a defect pixel

    view->alarmBlink = 0;
    image = render(*view);
    EXPECT_EQ(image.pixel(341, 261), kPlain);

    // Regions: the failed one red, the passed one green, with the large NG mark.
    EXPECT_EQ(image.pixel(200, 300), kRed);
    EXPECT_EQ(image.pixel(700, 300), kGreen);
    EXPECT_GT(countColour(image, QRect(5, 110, 200, 95), kRed), 200);  // "NG"
    // Label of region 1 above its corner: "1: 100 / 321 " (alarmArea stands in for the limit).
    EXPECT_GT(countColour(image, QRect(200, 174, 300, 24), kRed), 50);
    // Status line and counters in green.
    EXPECT_GT(countColour(image, QRect(5, 10, 400, 32), kGreen), 100);
    EXPECT_GT(countColour(image, QRect(750, 10, 500, 32), kGreen), 100);
}

TEST_F(ViewPaint, IgnorePointsShowInsideRegionsOnTemplates) {
    auto view = failedView();
    std::memcpy(view->editParam, view->liveParam, sizeof(CammerSingleton));
    view->context.ignoreMask[0][size_t(60) * kCamW + 60] = 255;  // inside region 1
    view->context.ignoreMask[0][size_t(10) * kCamW + 10] = 255;  // outside every region
    host.resultState = 3;
    gSource = 0;
    QImage image = shown(*view);
    EXPECT_EQ(image.pixel(241, 241), kCyan);
    EXPECT_EQ(image.pixel(41, 41), kPlain);
    // Template editing shows the regions and the legend; nothing blinks.
    EXPECT_EQ(image.pixel(341, 261), kPlain);
    EXPECT_GT(countColour(image, QRect(160, 960 - 90, 30, 30), qRgb(0, 0, 255)), 800);

    // On the live picture the ignore points show during an alarm in phase 2 only.
    gSource = 1;
    host.resultState = 2;
    view->alarmBlink = 2;
    image = render(*view);
    EXPECT_EQ(image.pixel(241, 241), kCyan);
    view->alarmBlink = 0;
    image = render(*view);
    EXPECT_EQ(image.pixel(241, 241), kPlain);
}

// The template's time stamp lies under the status line, over the picture: the label of an
// area just below it goes inside the area instead of under the stamp.
TEST_F(ViewPaint, AreaLabelsKeepClearOfTheStatusTexts) {
    auto view = failedView();
    CammerSingleton& p = *view->editParam;
    std::memcpy(&p, view->liveParam, sizeof(CammerSingleton));
    p.roiFunc[0][0] = roi::kFuncIgnore;  // outline and label in yellow, the status texts green
    p.rects[0][0].showRect = QRect(QPoint(200, 100), QPoint(599, 399));
    gTempTime = QStringLiteral("2024-01-02 03:04:05");
    host.resultState = 3;
    gSource = 0;
    const QImage image = shown(*view);
    const QRgb yellow = qRgb(255, 255, 0);
    const QRect stamp(200, 55, 160, 25);
    EXPECT_GT(countColour(image, stamp, kGreen), 50);
    EXPECT_EQ(countColour(image, stamp, yellow), 0);
    EXPECT_GT(countColour(image, QRect(205, 104, 160, 26), yellow), 50) << "inside the area";
    gTempTime.clear();
}

TEST_F(ViewPaint, WaitingWithoutRealTimeRegionsShowsThePictureOnly) {
    auto view = failedView();
    host.resultState = 0;
    para.realTimeShowROI = 0;
    gSource = -1;
    QImage image = shown(*view);
    EXPECT_EQ(image.pixel(200, 300), kPlain);
    EXPECT_EQ(countColour(image, QRect(5, 110, 200, 95), kRed), 0);

    para.realTimeShowROI = 1;
    image = render(*view);
    EXPECT_EQ(image.pixel(200, 300), QColor(Qt::darkBlue).rgb());

    // A view beyond the cameras in use paints nothing of its own.
    numCamera = 0;
    image = render(*view, false);
    EXPECT_EQ(image.pixel(640, 480), qRgb(0, 0, 0));
}

TEST_F(ViewPaint, CountdownShowsOnlyTheFirstRunningStep) {
    auto view = failedView();
    host.resultState = 0;
    const QRect countdown(5, 50, 120, 45);
    QImage image = shown(*view);
    EXPECT_EQ(countDrawn(image, countdown), 0);

    host.stepTimerActive[1] = true;
    host.trigDelayLeft[1] = 2.5f;
    image = render(*view);
    EXPECT_GT(countDrawn(image, countdown), 50);

    // The first running step decides, even when its time is too short to show.
    host.stepTimerActive[0] = true;
    host.trigDelayLeft[0] = 0.02f;
    image = render(*view);
    EXPECT_EQ(countDrawn(image, countdown), 0);
}

TEST_F(ViewPaint, ColourFramesShowTheirTrueColours) {
    gisColor = 1;
    auto view = makeView(newCamera(kCamW, kCamH));
    ASSERT_TRUE(view->isOpen);
    const uchar rgba[4] = {200, 50, 10, 0};
    for (size_t k = 0; k < view->showBuf.size(); ++k) view->showBuf[k] = rgba[k % 4];
    const QImage image = shown(*view);
    EXPECT_EQ(image.pixel(640, 600), qRgb(200, 50, 10));
}

TEST_F(ViewPaint, RecentNgAndRecordSourcesShowTheirOwnPictures) {
    auto view = failedView();
    std::fill(view->showBuf.begin(), view->showBuf.end(), uchar(30));
    view->recentNgCount[0] = 12;
    gSource = 2;
    QImage image = shown(*view);
    EXPECT_EQ(image.pixel(640, 700), qRgb(30, 30, 30));
    EXPECT_EQ(image.pixel(200, 300), qRgb(30, 30, 30));  // no regions here
    EXPECT_GT(countColour(image, QRect(700, 10, 400, 32), kGreen), 100);

    gSource = 4;
    QImage record(64, 48, QImage::Format_RGB32);
    record.fill(qRgb(10, 20, 30));
    recordShown.image = record;
    recordShown.count = 3;
    recordShown.index = 1;
    image = render(*view);
    EXPECT_EQ(image.pixel(640, 700), qRgb(10, 20, 30));
    EXPECT_GT(countColour(image, QRect(705, 10, 400, 32), kGreen), 100);
}

// A realistic scene on one camera, magnified, and on four tiled cameras; the pictures are
// written when MOULDMON_VIEW_SHOTS names a folder.
TEST_F(ViewPaint, MagnifiedAndTiledViewsAndScreenshots) {
    const QByteArray folder = qgetenv("MOULDMON_VIEW_SHOTS");
    const auto paintScene = [](CammerWidget& view) {
        cv::Mat frame(kCamH, kCamW, CV_8UC1, view.showBuf.data());
        for (int y = 0; y < kCamH; ++y)
            for (int x = 0; x < kCamW; ++x) frame.at<uchar>(y, x) = uchar(40 + (x + y) / 4);
        cv::circle(frame, cv::Point(100, 75), 30, cv::Scalar(220), cv::FILLED);
        cv::rectangle(frame, cv::Rect(190, 60, 60, 40), cv::Scalar(180), cv::FILLED);
    };
    host.stepTimerActive[0] = true;
    host.trigDelayLeft[0] = 1.7f;
    gAllCycleNum[0] = 1234;
    gFailCycleNum[0] = 5;

    auto single = failedView();
    paintScene(*single);
    single->alarmBlink = 1;
    const QImage one = shown(*single);
    EXPECT_EQ(one.pixel(341, 261), kRed);

    // Magnified: the picture is zoomed, the status line keeps its place.
    host.curCamera = 0;
    host.zoomScale = 2.0f;
    host.zoomX = -200;
    host.zoomY = -200;
    const QImage zoomed = render(*single);
    EXPECT_EQ(zoomed.pixel(1200, 400), kGreen);  // region 2's left edge: 2 x 700 - 200
    EXPECT_EQ(zoomed.pixel(483, 323), kRed);     // defect pixel (85, 65): 2 x 4 x 85 - 200
    EXPECT_GT(countColour(zoomed, QRect(5, 10, 400, 32), kGreen), 100);
    host.curCamera = 1;  // another camera than the magnified one is not zoomed
    EXPECT_EQ(render(*single).pixel(700, 300), kGreen);
    single.reset();

    // Tiled: every view scales regions and picture with its own size.
    numCamera = 4;
    host.curCamera = 4;
    QWidget window;
    window.resize(1280, 960);
    std::vector<std::unique_ptr<CammerWidget>> views;
    for (int c = 0; c < 4; ++c) {
        views.push_back(failedView(&window, c));
        paintScene(*views.back());
        views.back()->alarmBlink = 1;
        if (c % 2) {
            views.back()->isOK = true;
            views.back()->context.roiOK[0][0] = 1;
        }
        views.back()->setGeometry((c % 2) * 640, (c / 2) * 480, 640, 480);
        views.back()->show();
    }
    window.show();
    QCoreApplication::processEvents();
    EXPECT_FLOAT_EQ(views[3]->winScaleW, 0.5f);
    EXPECT_FLOAT_EQ(views[3]->showScaleX, 2.0f);
    QImage tiled(window.size(), QImage::Format_RGB32);
    window.render(&tiled);
    // Region 2 (display x 700) of the upper left and lower right cameras at 350.
    EXPECT_EQ(tiled.pixel(350, 150), kGreen);
    EXPECT_EQ(tiled.pixel(640 + 350, 480 + 150), kGreen);
    EXPECT_EQ(tiled.pixel(100, 480 + 150), kRed);          // the failed region of NG camera 3
    EXPECT_EQ(tiled.pixel(640 + 100, 480 + 150), kGreen);  // and of OK camera 4
    views.clear();

    if (folder.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(folder));
    const QString base = QString::fromLocal8Bit(folder) + QLatin1Char('/');
    EXPECT_TRUE(one.save(base + "view_single.png"));
    EXPECT_TRUE(zoomed.save(base + "view_zoomed.png"));
    EXPECT_TRUE(tiled.save(base + "view_tiled.png"));
}
