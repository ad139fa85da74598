#pragma once
// A camera view as the detection cycle sees it: grabbing, the per-step flags, the engine's
// inspection and training, the shown frame, the recent-NG ring and the fail pictures.

#include "camerastation.h"

class CammerWidget;

namespace detection {
struct CycleState;
}

class CammerWidgetStation : public detection::CameraStation {
public:
    // state: the window's cycle state (safety-door flag and alarm handling states).
    CammerWidgetStation(CammerWidget* view, detection::CycleState& state);

    CammerWidget* view() const { return view_; }

    bool updateImage() override;
    void whiteBalance() override;
    bool isConnected() const override;
    int link() const override;
    detection::FrameStamp frameStamp() const override { return stamp_; }
    void markFrameMissing(detection::FrameMissing why) override;
    bool isOK() const override;
    void setOK(bool ok) override;
    void resetResults() override;
    void setDetectDone(int step, bool done) override;
    bool reTrainPending(int step) const override;
    void setReTrainPending(int step, bool pending) override;
    bool saveReTrainImage(int step) override;
    void inspect(int step) override;
    void prepareInspection(int step) override;
    void retrain(int step) override;
    void showInspectedFrame(bool aligned) override;
    std::vector<int> failedNgOutputs(int step) const override;
    void keepRecentNg(int step) override;
    void startAlarmBlink(int ms) override;
    bool saveNewestFrame(const QString& path) override;
    void saveFailImage(int step, int isOK) override;
    void updateFailImage(int step, int isOK) override;
    void repaint() override;
    void repaintCountdown() override;

private:
    bool validStep(int step) const;

    CammerWidget* view_;
    detection::CycleState& state_;
    detection::FrameStamp stamp_;
};
