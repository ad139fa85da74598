#pragma once
// What the detection cycle asks of one camera view: grabbing, the per-step flags, the
// inspection, the picture shown, the recent-NG ring and the fail-image renderers. The main
// window adapts its camera views to it; tests give scripted cameras.

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <vector>

namespace detection {

// The order of the cycle's events: every new frame and every step trigger takes the next
// moment, so a frame and a trigger compare without a clock.
inline quint64 nextMoment() {
    static std::atomic<quint64> last{0};
    return ++last;
}

// Where the frame a camera holds stands: the moment it came (0: before the first one) and the
// camera's link it came on (the losses before it).
struct FrameStamp {
    quint64 moment = 0;
    int link = 0;
};

// Why a camera failed a step without being inspected.
enum class FrameMissing {
    None,
    LostWithLink,  // the frame of the step's trigger went with the camera's lost link
    NotDelivered,  // the camera was back before the trigger and sent no frame within the bound
};

class CameraStation {
public:
    virtual ~CameraStation() = default;

    // Grabs the newest frame; true when the camera delivered one.
    virtual bool updateImage() = 0;
    virtual void whiteBalance() = 0;
    // The camera's link is alive.
    virtual bool isConnected() const = 0;
    // The camera's link now: its losses so far. A frame stamped with an older link was taken
    // before a loss and judges nothing.
    virtual int link() const = 0;
    // The stamp of the frame held, set when updateImage delivered it over a live link.
    virtual FrameStamp frameStamp() const = 0;

    // Why the camera failed the step uninspected (None: it did not): the view tells so beside
    // the alarm until the camera is inspected again or the results reset.
    virtual void markFrameMissing(FrameMissing why) = 0;

    // Result of the camera's last run.
    virtual bool isOK() const = 0;
    virtual void setOK(bool ok) = 0;
    // isOK true; every region of every step passed and its value cleared.
    virtual void resetResults() = 0;

    virtual void setDetectDone(int step, bool done) = 0;
    virtual bool reTrainPending(int step) const = 0;
    virtual void setReTrainPending(int step, bool pending) = 0;
    // The grabbed frame becomes template 0 of the step once it is saved; false when its file
    // was refused and the old template stays in force.
    virtual bool saveReTrainImage(int step) = 0;
    // Registration, position correction and the inspection of the step's regions.
    virtual void inspect(int step) = 0;
    // The inspection of the step ahead of inspect(step), on any thread, beside the other
    // cameras' own: it touches only this camera, and inspect(step), called next, then only
    // hands its results and records over. A camera that cannot do so leaves it to inspect().
    virtual void prepareInspection(int /*step*/) {}
    // Training again of the step: position model, registration template, matchers.
    virtual void retrain(int step) = 0;

    // The view shows the inspected (position-corrected) frame, or the raw grabbed frame.
    virtual void showInspectedFrame(bool aligned) = 0;
    // The NG output numbers (0..3) of the step's regions that failed in the last run.
    virtual std::vector<int> failedNgOutputs(int step) const = 0;
    // Copies the inspected frame into the step's ring of recent NG frames.
    virtual void keepRecentNg(int step) = 0;
    virtual void startAlarmBlink(int ms) = 0;
    // Saves the newest frame as a picture file (bitmap); false when it cannot be written.
    virtual bool saveNewestFrame(const QString& path) = 0;

    // Fail-image renderers (isOK 0: the NG picture, 1: the OK picture).
    virtual void saveFailImage(int step, int isOK) = 0;
    virtual void updateFailImage(int step, int isOK) = 0;

    virtual void repaint() = 0;
    // Repaints only the delay countdown of the view.
    virtual void repaintCountdown() = 0;
};

}  // namespace detection
