#include "enginerig.h"

#include <QPoint>
#include <algorithm>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "roilimits.h"

namespace enginetest {

cv::Mat texturedScene(cv::Size size, unsigned seed) {
    synthetic::SceneStyle style;
    style.pixelsPerShape = 3000;
    style.minShapes = 60;
    style.sideDivisor = 10;
    style.triangles = false;
    return synthetic::scene(size, seed, style);
}

cv::Mat flat(cv::Size size, int grey, double noise, unsigned seed) {
    return withNoise(cv::Mat(size, CV_8UC1, cv::Scalar(grey)), noise, seed);
}

cv::Mat posed(const cv::Mat& big, int margin, cv::Size frame, cv::Point2d centre, double angle,
              cv::Point2d shift) {
    return synthetic::posedFrame(big, cv::Rect(cv::Point(margin, margin), frame), centre, angle,
                                 shift);
}

cv::Mat warped(const cv::Mat& big, int margin, cv::Size frame, const cv::Matx33d& H) {
    const cv::Matx33d toBig(1, 0, margin, 0, 1, margin, 0, 0, 1);
    cv::Mat out;
    cv::warpPerspective(big, out, cv::Mat(toBig * H.inv()), frame,
                        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
    return out;
}

cv::Mat grayToRgba(const cv::Mat& gray, int alpha) {
    cv::Mat out;
    cv::merge(std::vector<cv::Mat>{gray, gray, gray, cv::Mat(gray.size(), CV_8UC1, alpha)}, out);
    return out;
}

Rig::Rig(int w, int h, bool color, bool grayHue, int preparedDetections, int slotCount)
    : param(std::make_unique<CammerSingleton>(0)), para(std::make_unique<WizardPara>()) {
    for (int g = 0; g < roi::kDetections; ++g) para->detectEnable[g] = g == 0;
    para->motionCorrect = -1;
    para->angleCorrect = 0;
    para->matchBrightness = 0;
    para->showAllParam = 1;
    para->templateIsNG = 0;
    para->filterSize = 3;
    para->minSpot = 1;
    para->alarmArea = 100;
    para->amplify = 1;
    para->rotateAngle = 0;
    para->shapeAccuracy = 5;
    para->zoomLayers = 5;
    para->shapeOffset = 40;

    ctx.cameraNo = 0;
    ctx.setFrameGeometry(w, h, color, grayHue);
    for (int g = 0; g < preparedDetections; ++g) ctx.prepareDetection(g, slotCount);
    ctx.liveParam = param.get();
    ctx.editParam = param.get();
    ctx.settings = para.get();
    ctx.sinks.monitor = [this](const param_roi& record) {
        if (monitorAllowed) monitorList.append(record);
    };
    ctx.sinks.apiList = &apiList;
    ctx.insertRecord = [this](const QString& text) { records << text; };
    ctx.repaint = [this] { ++repaints; };
}

Rig::~Rig() = default;

int Rig::begin(int g, int func, int shape, int p1, int p2, int p3) {
    const int i = param->roiCount[g]++;
    param->roiFunc[g][i] = func;
    param->roiParam1[g][i] = p1;
    param->roiParam2[g][i] = p2;
    param->roiParam3[g][i] = p3;
    param->roiShapeType[g][i] = shape;
    return i;
}

int Rig::finish(int g, int i) {
    ctx.roiMask[g][i] = param->finishRoi(g, i, 1.0f, 1.0f);
    ctx.editRoiMask[g][i] = ctx.roiMask[g][i];
    return i;
}

int Rig::addRect(int g, int func, cv::Rect r, int p1, int p2, int p3) {
    const int i = begin(g, func, roi::kShapeRect, p1, p2, p3);
    param->rects[g][i].showRect.setCoords(r.x, r.y, r.x + r.width - 1, r.y + r.height - 1);
    return finish(g, i);
}

int Rig::addRing(int g, int func, cv::Point centre, int outer, int inner, int p1, int p2, int p3) {
    const int i = begin(g, func, roi::kShapeRing, p1, p2, p3);
    Circle& c = param->circles[g][i];
    c.center = QPoint(centre.x, centre.y);
    c.radius = outer;
    c.innerRadius = inner;
    c.UpdateRect();
    return finish(g, i);
}

void Rig::addMixedRegions(int g, cv::Rect positionArea) {
    static const int kMix[10] = {roi::kFuncDefect,    roi::kFuncSpot,        roi::kFuncDefect,
                                 roi::kFuncDarkArea,  roi::kFuncDefect,      roi::kFuncBrightArea,
                                 roi::kFuncDefect,    roi::kFuncBrightCount, roi::kFuncDarkCount,
                                 roi::kFuncSimilarity};
    const int regions = positionArea.empty() ? roi::kMaxRois : roi::kMaxRois - 1;
    for (int i = 0; i < regions; ++i) {
        const cv::Rect r(160 + (i % 10) * 160, 90 + (i / 10) * 90, 120, 80);
        const int f = kMix[i % 10];
        switch (f) {
            case roi::kFuncDefect:
                if (i % 20 == 0)
                    addRing(g, f, (r.tl() + r.br()) / 2, 40, 12, 25, 40, 3);
                else
                    addRect(g, f, r, 25, 40, 3);
                break;
            case roi::kFuncSpot:
                addRect(g, f, r, 0, 100000, (100 << 8) | 160);
                break;
            case roi::kFuncDarkArea:
                addRect(g, f, r, 40, 100000, 0);
                break;
            case roi::kFuncBrightArea:
                addRect(g, f, r, 220, 100000, 0);
                break;
            case roi::kFuncBrightCount:
                addRect(g, f, r, 200, 50 << 16, 1);
                break;
            case roi::kFuncDarkCount:
                addRect(g, f, r, 50, 50 << 16, 1);
                break;
            default:
                addRect(g, f, r, 50, 0, 0);
                break;
        }
    }
    if (!positionArea.empty()) addRect(g, roi::kFuncPosition, positionArea, 0, 0, 0);
}

void Rig::setTemplate(int g, int k, const cv::Mat& picture) {
    std::vector<uchar>& slot = ctx.templateBuf[g][size_t(k)];
    CV_Assert(picture.isContinuous() && picture.total() * picture.elemSize() == slot.size());
    std::memcpy(slot.data(), picture.data, slot.size());
    ctx.templateUsed[g][size_t(k)] = 1;
    ctx.templateCount[g] =
        int(std::count(ctx.templateUsed[g].begin(), ctx.templateUsed[g].end(), 1));
}

void Rig::ignorePoints(int g, cv::Rect rect) {
    ctx.grayView(ctx.ignoreMask[g])(rect).setTo(255);
}

void Rig::setFrame(const cv::Mat& picture) {
    CV_Assert(picture.isContinuous() && picture.total() * picture.elemSize() == ctx.grabBuf.size());
    std::memcpy(ctx.grabBuf.data(), picture.data, ctx.grabBuf.size());
}

CammerRecong& Rig::build() {
    engine = std::make_unique<CammerRecong>(&ctx);
    return *engine;
}

CammerRecong& Rig::train(const cv::Mat& templ) {
    setTemplate(0, 0, templ);
    return build();
}

bool Rig::inspect(const cv::Mat& frame, int g) {
    setFrame(frame);
    return inspect(g);
}

bool Rig::inspect(int g) {
    engine->HomoTransShape(g);
    engine->ShapeMatch(g);
    engine->Run(g);
    return ctx.isOK;
}

}  // namespace enginetest
