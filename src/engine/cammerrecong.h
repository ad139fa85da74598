#pragma once
// The recognition engine of one camera.
//
// Training prepares, per detection, the defect and similarity matchers of its regions
// (VarTrain), the position model (CreateShape) and the homography template (CreateHomoShape)
// from the context's templates, ignore-point masks and region masks. The inspection of a
// detection step runs HomoTransShape, ShapeMatch and Run in this order over the context's frame
// pipeline and leaves the results (isOK, roiOK, roiValue, defectRects, resultMask) in the
// context; every inspected region also gives a param_roi record to the result sinks.
//
// No public function throws; a failure is logged as a warning, and a failed inspection makes
// the camera NG. All functions run on the thread that owns the context, but InspectHeld, which
// may run on a worker thread while that thread waits.

#include <QString>
#include <QStringList>
#include <array>
#include <opencv2/core.hpp>
#include <vector>

#include "enginecontext.h"
#include "findshape.h"
#include "graymatch.h"
#include "imghomotrans.h"
#include "surf.h"

class CammerRecong {
public:
    // Trains every detection whose WizardPara::detectEnable flag is set (position model,
    // registration template, matchers, in this order). The context must outlive the engine.
    explicit CammerRecong(engine::EngineContext* context);
    ~CammerRecong();
    CammerRecong(const CammerRecong&) = delete;
    CammerRecong& operator=(const CammerRecong&) = delete;

    // What the construction trains, again: after the context's templates, ignore points or
    // regions were all replaced.
    void TrainEnabled();
    // --- training of detection g; each may be called alone ---
    void VarTrain(int g);
    void CreateShape(int g);
    void CreateHomoShape(int g);
    // Automatic area generation was planned here and never written; nothing calls it.
    void AreaGen();

    // --- inspection ---
    // grabBuf -> registeredBuf: homography registration when WizardPara::angleCorrect is set
    // (grey cameras), else a copy. Always 1.
    int HomoTransShape(int g);
    // registeredBuf -> alignedBuf: position correction of the detection the controller runs
    // (context currentDetect, else the detection of the last HomoTransShape).
    void ShapeMatch();
    void ShapeMatch(int g);
    // Inspects every region of detection g on alignedBuf and decides OK/NG.
    void Run(int g);

    // --- inspection of a step beside other cameras ---
    // HomoTransShape, ShapeMatch and Run of detection g with the result records and operator
    // records held back: it touches nothing but this engine and its context, so the engines of
    // several cameras may run it at the same time, each on a thread of its own.
    void InspectHeld(int g);
    // On the context's thread: hands what InspectHeld(g) held back to the result sinks and the
    // operator record, in the order it was made. False, and nothing done, when no inspection
    // of g is held (any other inspection since drops what was held).
    bool ReleaseHeld(int g);
    // The inspection of a detection step as the cycle runs it: what InspectHeld(g) prepared,
    // else HomoTransShape, ShapeMatch and Run.
    void InspectStep(int g);
    // Measures region i of the editing copy on the shown template (grey cameras) or the
    // current grey picture (colour cameras), without a decision or a record.
    void RunTest(int g, int i);
    // dst = 255 where lo <= src <= hi (inclusive), else 0; lo > hi gives all 0.
    static void ThresholdFUNC(cv::Mat src, cv::Mat& dst, int lo, int hi);

    engine::EngineContext* context() const { return ctx; }
    CammerSingleton* param() const { return ctx ? ctx->liveParam : nullptr; }

    // --- trained state, per detection ---
    std::array<cv::Mat, engine::kDetections> detMask;  // W x H: 255 inspected, 0 excluded
    std::vector<std::array<GrayMatch, engine::kMaxRois>> grayMatch;  // [detection][region]
    std::vector<std::array<SURF, engine::kMaxRois>> surfMatch;       // [detection][region]
    std::array<ImgHomoTrans, engine::kDetections> homo;
    std::array<FindShape, engine::kDetections> shapeModel;
    // L2 norm of the last grey template added in training: the brightness reference. 0 until
    // a detection with a used template was trained.
    std::array<double, engine::kDetections> tempNorm{};
    std::array<int, engine::kDetections> shapeRefX{};
    std::array<int, engine::kDetections> shapeRefY{};
    std::array<cv::Rect, engine::kDetections> shapeSearchRect{};
    // Whether homo[g] was given a template by the last CreateHomoShape.
    std::array<bool, engine::kDetections> homoReady{};

private:
    void varTrainImpl(int g);
    void createShapeImpl(int g);
    void createHomoShapeImpl(int g);
    void homoTransImpl(int g);
    void shapeMatchImpl(int g);
    void runImpl(int g);
    void runTestImpl(int g, int i);

    void clearTraining(int g);
    // The used template slots training adds, lowest first, at most templateCount of them.
    std::vector<int> trainingSlots(int g) const;
    // Template k of detection g as a grey W x H picture (colour: converted into trainGray_).
    cv::Mat grayTemplate(int g, int k);
    // The picture Run inspects: alignedBuf (colour: converted into grayBuf), brightness
    // matched when asked for and possible.
    cv::Mat inspectedImage(int g);
    void copyBuffer(const std::vector<uchar>& from, std::vector<uchar>& to) const;
    // Reports a region that could not be inspected.
    void regionError(int g, int i, int code);
    void emitRecord(const param_roi& record);
    void deliver(const param_roi& record) const;
    void dropHeld();
    bool validDetection(int g) const { return g >= 0 && g < engine::kDetections; }
    int regionCount(const CammerSingleton* p, int g) const;
    void repaint() const;

    engine::EngineContext* ctx;
    int lastDetect_ = 0;
    // Results of InspectHeld waiting for ReleaseHeld.
    bool holding_ = false;
    int heldStep_ = -1;
    std::vector<param_roi> heldRecords_;
    QStringList heldOperatorRecords_;
    cv::Mat normalized_;  // brightness-matched picture of the last Run
    cv::Mat trainGray_;   // colour cameras: the template being trained, made grey
};
