#pragma once
// The whole program's main road on one machine: the main window with simulated cameras and
// the IO-board simulator on a pseudo-terminal, in a temporary working folder laid out as an
// installed panel. Used by the end-to-end tests and the cycle benchmark.
//
// Every camera has one region in the product step and one in the mould step ("white area":
// NG when more than 50 pixels reach grey 128). Its pictures are a black "OK scene" and a white
// "NG scene"; the cameras make frames only when asked (setScene), so a test decides what
// each step sees.

#include <QImage>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ioboardsimulator.h"

class DeRaRazovi;
class WizardPara;

namespace sys {
class RecordingSystemActions;
}

namespace cycletest {

// The pictures and regions a rig starts with; an empty member keeps the default: a black OK and
// a white NG scene, and one white-area region in steps 0 and 1 of every camera.
struct RigScenes {
    // The pictures camera c serves, in turn (8-bit grey, all of one size); picture 0 is its OK
    // scene, picture 1 its NG scene.
    std::function<std::vector<QImage>(int camera)> pictures;
    // Lays out the regions and templates of the cameras in the working folder once the system
    // parameters are in the database `db`; false when it failed.
    std::function<bool(QSqlDatabase& db, int cameras)> regions;
};

struct OutputChange {
    std::chrono::steady_clock::time_point when;
    quint32 word = 0;
};

class WindowRig {
public:
    using Clock = std::chrono::steady_clock;

    // cameras: simulated cameras (1..8); configure: parameter changes before the start;
    // seam: the recording seam the program runs on (it gets the simulator's terminal).
    WindowRig(int cameras, const std::function<void(WizardPara&)>& configure,
              sys::RecordingSystemActions& seam, RigScenes scenes = {});
    ~WindowRig();
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    // False (with the reason in error()) when the window or the simulator could not start.
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    DeRaRazovi& window() { return *window_; }

    // The picture the next frames of camera c show: the OK or the NG scene.
    void setScene(int camera, bool ng);
    void setAllScenes(bool ng);
    // Unplugs simulated camera c (its view then sees a real camera's loss on the next grab)
    // or plugs it in again (the view's next reconnect attempt, within a second, succeeds). An
    // unplugged camera takes no trigger: show it no other picture until it is back.
    bool unplug(int camera, bool unplugged);
    // The picture (index into the camera's pictures) the next frames of camera c show.
    void showPicture(int camera, int picture);
    // Camera c takes the picture it shows once more (a software trigger once round its
    // pictures), as a camera on the external trigger does at every opening.
    void retakePicture(int camera);
    int shownPicture(int camera) const { return shownPicture_.at(size_t(camera)); }
    // The working folder (the program's current directory).
    QString folder() const { return dir_.path(); }
    // An input terminal of the machine (bit 0..9) at the simulated board.
    void setInput(int bit, bool on);
    // Every input terminal at once (bits 0..9): edges the board reports in one word.
    void setInputs(quint32 word);
    // Processes events until the condition holds or the time runs out.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs);
    // Runs `action` once, before the first event the main thread dispatches after `condition`
    // holds: a step between two passes of the cycle that a poll could overtake.
    void whenBetweenEvents(std::function<bool()> condition, std::function<void()> action);
    // Waits until the window has taken input `bit` at the level `on` from the board.
    bool waitInputSeen(int bit, bool on, int timeoutMs);
    // Waits until a pass of the cycle has taken input `bit` at the raw level `on` (its edge
    // test ran); whatever that pass started or left alone is then decided.
    bool waitInputTaken(int bit, bool on, int timeoutMs);
    // Waits until output `bit` at the board is at the operator level `on` (inversion undone).
    bool waitOutput(int bit, bool on, int timeoutMs);
    bool output(int bit) const;  // operator level at the board now
    // The operator level of an output in a word taken by the board.
    bool levelIn(quint32 word, int bit) const;
    // Every output word the board took since the last clear, with its time.
    std::vector<OutputChange> changes() const;
    void clearChanges();
    // The first change after `since` in which the bit reached the level; Clock max if none.
    Clock::time_point firstChange(int bit, bool on, Clock::time_point since) const;

    // Operation records written so far (newest last).
    QStringList records() const;
    // Counter file contents (count.ini) as "key=value" lines.
    QString counterFile() const;

private:
    bool prepareFolder(int cameras, const std::function<void(WizardPara&)>& configure);
    bool writeParameters(int cameras, const std::function<void(WizardPara&)>& configure);
    std::vector<QImage> picturesOf(int camera) const;

    QTemporaryDir dir_;
    QString previousDir_;
    QString previousPictures_;
    iosim::IoBoardSimulator sim_;
    std::unique_ptr<DeRaRazovi> window_;
    RigScenes scenes_;
    std::vector<int> shownPicture_;
    std::vector<int> pictureCount_;
    QString error_;
    mutable std::mutex changesMutex_;
    std::vector<OutputChange> changes_;
};

}  // namespace cycletest
