#pragma once
// What a step waits for before it is judged, one object per pending step: the moment of its
// trigger, how long it has waited for its cameras and which cameras' pictures it still lacks.
// The delay, the safety door and the manual step open a position's; a failed try with a retry
// left opens the retry's. Its judgement closes it, and a stop closes every one. The wait is
// time on the seam's clock, not passes: the pass also runs at every input or output change.

#include <QtGlobal>

#include "camerastation.h"
#include "detectionlimits.h"

namespace detection {

// When each camera was first seen back from a loss without a frame of its returned link: the
// moment (to compare with a step's trigger, see nextMoment) and the time. The pass keeps it.
class CameraReturns {
public:
    // A pass sees the camera back without a frame of its link (back), or lost, or with one.
    void see(int camera, bool back, qint64 nowMs);
    bool seen(int camera) const { return moment_[camera] != 0; }
    quint64 moment(int camera) const { return moment_[camera]; }
    qint64 atMs(int camera) const { return atMs_[camera]; }

private:
    quint64 moment_[kMaxCameras] = {};  // 0: not back, or a frame came
    qint64 atMs_[kMaxCameras] = {};
};

// The cameras as a step finds them, as bit masks.
struct CameraLinks {
    quint32 present = 0;
    quint32 connected = 0;
    quint32 current = 0;  // holding a frame of their link as it is now
    // External trigger: the picture of the opening its edge started is still to come (owed),
    // or did not come within kReturnedFrameWaitMs of the edge (missed).
    quint32 owed = 0;
    quint32 missed = 0;
};

class PendingStep {
public:
    enum class Verdict { Judge, Wait };

    // Triggered at the moment `trigger`: whatever an earlier trigger waited is forgotten.
    void open(quint64 trigger);
    // Judged, or ended by a stop.
    void close() { *this = PendingStep{}; }
    bool isOpen() const { return open_; }
    quint64 trigger() const { return trigger_; }
    // It fell due and waits, or waited, for a camera.
    bool waiting() const { return open_ && waitingSinceMs_ >= 0; }

    // Looks at the cameras as the step falls due and at every tick of its wait. A camera
    // without a frame of its link is waited for while it is lost and, once back, until a frame
    // comes, except where none is to come: then the step is judged and fails for it
    // uninspected (missing). With the external trigger a camera back after the step's trigger
    // lost the frame of this opening with the old link, and the next frame comes with the next
    // opening, which the withheld clamp keeps away: it fails at once. A camera with a frame
    // of its link that still owes the opening's picture is waited for; one that missed it
    // fails for delivering none. Otherwise a camera sends
    // its frame within kReturnedFrameWaitMs after the later of its return and the step falling
    // due; one that does not fails the step: for the frame lost with its link when it came back
    // after the trigger, else for delivering none.
    Verdict look(const CameraLinks& cameras, const CameraReturns& returns, bool externalTrigger,
                 qint64 nowMs);
    // The step waits for the cameras: true when it had not waited yet (the wait begins now).
    bool wait(quint32 lacking, qint64 nowMs);
    quint32 lacking() const { return lacking_; }
    // After a verdict Judge: why the camera fails the step uninspected (None: it is inspected).
    FrameMissing missing(int camera) const;
    quint32 failing() const { return lostWithLink_ | notDelivered_; }

private:
    bool open_ = false;
    quint64 trigger_ = 0;
    qint64 waitingSinceMs_ = -1;  // when it first waited; -1: it has not
    quint32 lacking_ = 0;
    quint32 lostWithLink_ = 0;
    quint32 notDelivered_ = 0;
};

}  // namespace detection
