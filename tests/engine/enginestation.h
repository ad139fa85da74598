#pragma once
// A camera of the detection cycle made of an engine rig and nothing else: the real inspection,
// the result records and operator records in the rig, every screen duty left out. For the
// cycle's tests and benchmarks with real inspections.

#include <QThread>
#include <vector>

#include "camerastation.h"
#include "enginerig.h"

namespace enginetest {

class EngineStation : public detection::CameraStation {
public:
    explicit EngineStation(Rig& rig) : rig_(rig) {}

    bool updateImage() override { return true; }
    void whiteBalance() override {}
    bool isConnected() const override { return true; }
    int link() const override { return 0; }
    detection::FrameStamp frameStamp() const override { return {}; }
    bool isOK() const override { return rig_.ctx.isOK; }
    void setOK(bool ok) override { rig_.ctx.isOK = ok; }
    void resetResults() override { rig_.ctx.isOK = true; }
    void markFrameMissing(detection::FrameMissing) override {}
    void setDetectDone(int, bool) override {}
    bool reTrainPending(int) const override { return false; }
    void setReTrainPending(int, bool) override {}
    bool saveReTrainImage(int) override { return true; }
    void inspect(int step) override { rig_.engine->InspectStep(step); }
    void prepareInspection(int step) override;
    void retrain(int) override {}
    void showInspectedFrame(bool) override {}
    std::vector<int> failedNgOutputs(int step) const override;
    void keepRecentNg(int) override {}
    void startAlarmBlink(int) override {}
    bool saveNewestFrame(const QString&) override { return false; }
    void saveFailImage(int, int) override {}
    void updateFailImage(int, int) override {}
    void repaint() override {}
    void repaintCountdown() override {}

    // The threads the inspections ahead ran on, in order.
    std::vector<QThread*> preparedOn;

private:
    Rig& rig_;
};

}  // namespace enginetest
