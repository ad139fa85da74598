#pragma once
// Everything the recognition engine of one camera reads and writes besides its own trained
// state: the frame geometry and colour mode, the frame pipeline (grabBuf -> registeredBuf ->
// alignedBuf), the templates and ignore-point masks of every detection, the region masks and
// parameters, the per-region results, and where result records and operator records go.
//
// The camera view owns one context next to its engine and fills it; tests fill it directly.
// Buffers are tightly packed rows: imageW bytes per row for grey frames and masks, imageW x 4
// bytes (R, G, B, A) for colour frames.

#include <QList>
#include <QMutex>
#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "cammersingleton.h"
#include "enginelimits.h"
#include "paramroi.h"

class WizardPara;

namespace engine {

// One defect blob's bounding box in frame coordinates; x2 = x1 + width, y2 = y1 + height.
struct DefectRect {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// The defect boxes of one region from its last run.
struct DefectList {
    int count = 0;  // 0 .. kMaxDefectRects
    std::array<DefectRect, kMaxDefectRects> rects{};
};

// Where the result record of every inspected region goes. Each list is appended to and never
// cleared here; the services that own the lists consume them.
struct ResultSinks {
    // The monitoring link, which keeps a record only while it may send (called from the
    // inspecting thread).
    std::function<void(const param_roi&)> monitor;
    // The HTTP API's list; every record is added, holding apiLock when it is set (the API takes
    // the list on its own thread).
    QList<param_roi>* apiList = nullptr;
    QMutex* apiLock = nullptr;
};

class EngineContext {
public:
    EngineContext();
    ~EngineContext();
    EngineContext(const EngineContext&) = delete;
    EngineContext& operator=(const EngineContext&) = delete;

    // Sizes (and zeroes) the frame buffers and the result mask for a camera of width x height;
    // color: 4 bytes per pixel, inspected as grey (grayHue) or hue. Templates and ignore masks
    // of every detection are dropped: prepare them again. False (and the context emptied) for
    // a size that is not positive.
    bool setFrameGeometry(int width, int height, bool color, bool grayHue);

    // Gives detection d `slotCount` zeroed, free template frames and a zeroed ignore-point mask.
    // A detection that is not prepared is never trained; inspecting it reports the untrained
    // error of every region.
    void prepareDetection(int d, int slotCount);
    bool isPrepared(int d) const;

    // The settings in force: `settings` when set, else the live gpWPara, else the factory
    // values.
    const WizardPara& para() const;

    // Views of the buffers as W x H matrices (CV_8UC1, or CV_8UC4 for colour frames); empty
    // when the buffer does not have the frame's size.
    cv::Mat frameView(std::vector<uchar>& buffer) const;
    cv::Mat grayView(std::vector<uchar>& buffer) const;

    // --- geometry and colour mode (set through setFrameGeometry) ---
    int cameraNo = 0;
    int imageW = 0;
    int imageH = 0;
    int pixelCount = 0;
    int frameBytes = 0;  // pixelCount, or pixelCount x 4 for colour frames
    bool isColor = false;
    bool grayHue = false;  // colour frames are inspected as grey, else as hue

    // --- frame pipeline, frameBytes each; grayBuf pixelCount bytes, colour cameras only ---
    std::vector<uchar> grabBuf;
    std::vector<uchar> registeredBuf;
    std::vector<uchar> alignedBuf;
    std::vector<uchar> grayBuf;

    // --- per detection: template frames (frameBytes each), used flags, how many to train ---
    std::array<std::vector<std::vector<uchar>>, kDetections> templateBuf;
    std::array<std::vector<int>, kDetections> templateUsed;
    std::array<int, kDetections> templateCount{};
    // Ignore-point masks, pixelCount bytes each; non-zero = not inspected.
    std::array<std::vector<uchar>, kDetections> ignoreMask;
    // The template slot the editing page shows (measured by RunTest on grey cameras).
    int curTemplate = 0;

    // --- regions ---
    CammerSingleton* liveParam = nullptr;  // inspected and trained
    CammerSingleton* editParam = nullptr;  // measured by RunTest
    RoiMaskTable roiMask;                  // masks of liveParam's regions
    RoiMaskTable editRoiMask;              // masks of editParam's regions
    const WizardPara* settings = nullptr;  // null: gpWPara

    // --- results of the last Run / RunTest ---
    bool isOK = true;
    quint8 roiOK[kDetections][kMaxRois];
    int roiValue[kDetections][kMaxRois];
    std::vector<std::array<DefectList, kMaxRois>> defectRects;  // [detection][region]
    std::vector<uchar> resultMask;  // pixelCount bytes: 255 where a region found pixels
    bool testShown = false;

    // --- where results and events go ---
    ResultSinks sinks;
    // Operator record ("REG RUN ERROR = ..."); the main window's InsertRecord.
    std::function<void(const QString&)> insertRecord;
    // Asks the view to repaint (RunTest).
    std::function<void()> repaint;
    // The detection the controller is running (DeRaRazovi::curDetect), read by ShapeMatch();
    // when empty, the detection of the last HomoTransShape is used.
    std::function<int()> currentDetect;

private:
    std::unique_ptr<WizardPara> defaults_;  // used while no settings exist
};

}  // namespace engine
