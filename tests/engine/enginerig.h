#pragma once
// A camera without a window for the engine tests and benchmarks: the engine context, a ROI
// record, settings, captured result sinks and operator records, and scenes drawn from a fixed
// seed.

#include <QList>
#include <QStringList>
#include <memory>
#include <opencv2/core.hpp>

#include "cammerrecong.h"
#include "enginecontext.h"
#include "paramroi.h"
#include "synthetic.h"
#include "wizardpara.h"

namespace enginetest {

// ---- scenes ----

// Overlapping filled shapes of many grey levels on a shaded background, slightly blurred.
cv::Mat texturedScene(cv::Size size, unsigned seed);
// picture + Gaussian noise (saturated); mean absolute difference over a rectangle.
using synthetic::meanAbsDiff;
using synthetic::withNoise;
// A uniform picture of the given grey with a little noise.
cv::Mat flat(cv::Size size, int grey, double noise, unsigned seed);
// The frame a camera sees when the part moved: template point q appears at
// centre + shift + R(angle)(q - centre). `big` is the template scene with `margin` pixels on
// every side, so that no border shows.
cv::Mat posed(const cv::Mat& big, int margin, cv::Size frame, cv::Point2d centre, double angle,
              cv::Point2d shift);
// The frame seen through a homography H (template -> frame), drawn from `big` as above.
cv::Mat warped(const cv::Mat& big, int margin, cv::Size frame, const cv::Matx33d& H);
// Grey picture to colour pixels R = G = B = grey, A = alpha.
cv::Mat grayToRgba(const cv::Mat& gray, int alpha = 0);

// ---- the camera ----

class Rig {
public:
    // A w x h camera with detections 0..preparedDetections-1 prepared with `slots` template
    // slots each; settings: detection 0 enabled, position correction and registration off,
    // per-region limits (showAllParam), filter 3, minimum spot 1, amplify 1.
    Rig(int w, int h, bool color = false, bool grayHue = true, int preparedDetections = 4,
        int slotCount = 6);
    ~Rig();

    // Adds a region to detection g and builds its mask; returns its index.
    int addRect(int g, int func, cv::Rect r, int p1, int p2, int p3);
    int addRing(int g, int func, cv::Point centre, int outer, int inner, int p1, int p2, int p3);

    // Fills detection g of a 1920 x 1080 camera with 100 regions in a 10 x 10 grid of 120 x 80
    // rectangles (some rings) kept 90 pixels from the frame's edges, so that a turned part
    // corrected leaves them whole: 40 defect, 10 each of spot, dark area, bright area, bright
    // count, dark count and similarity. With a position area it takes the last region's place.
    void addMixedRegions(int g, cv::Rect positionArea = cv::Rect());

    // Puts a picture (CV_8UC1 grey camera, CV_8UC4 colour camera) into template slot k and
    // marks it used; templateCount becomes the number of used slots.
    void setTemplate(int g, int k, const cv::Mat& picture);
    // Marks ignore points (255) over rect of detection g.
    void ignorePoints(int g, cv::Rect rect);
    // The newest frame.
    void setFrame(const cv::Mat& picture);

    // Builds the engine (which trains the enabled detections); train() first puts templ into
    // slot 0 of detection 0.
    CammerRecong& build();
    CammerRecong& train(const cv::Mat& templ);
    // HomoTransShape, ShapeMatch, Run on detection g; returns isOK. The second form first makes
    // frame the newest one.
    bool inspect(int g);
    bool inspect(const cv::Mat& frame, int g = 0);

    cv::Mat registered() { return ctx.frameView(ctx.registeredBuf).clone(); }
    cv::Mat aligned() { return ctx.frameView(ctx.alignedBuf).clone(); }
    cv::Mat resultMask() { return ctx.grayView(ctx.resultMask).clone(); }

    std::unique_ptr<CammerSingleton> param;
    std::unique_ptr<WizardPara> para;
    engine::EngineContext ctx;
    std::unique_ptr<CammerRecong> engine;
    QList<param_roi> monitorList;
    QList<param_roi> apiList;
    bool monitorAllowed = true;
    QStringList records;
    int repaints = 0;

private:
    // Starts region i of detection g; finish() builds its mask once its shape is set.
    int begin(int g, int func, int shape, int p1, int p2, int p3);
    int finish(int g, int i);
};

}  // namespace enginetest
