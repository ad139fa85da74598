#include "pendingstep.h"

namespace detection {

void CameraReturns::see(int camera, bool back, qint64 nowMs) {
    if (camera < 0 || camera >= kMaxCameras) return;
    if (!back) {
        moment_[camera] = 0;
        return;
    }
    // A clock set back would stretch the wait by as much.
    if (moment_[camera] == 0 || atMs_[camera] > nowMs) atMs_[camera] = nowMs;
    if (moment_[camera] == 0) moment_[camera] = nextMoment();
}

void PendingStep::open(quint64 trigger) {
    close();
    open_ = true;
    trigger_ = trigger;
}

PendingStep::Verdict PendingStep::look(const CameraLinks& cameras, const CameraReturns& returns,
                                       bool externalTrigger, qint64 nowMs) {
    lacking_ = lostWithLink_ = notDelivered_ = 0;
    if (waitingSinceMs_ > nowMs) waitingSinceMs_ = nowMs;
    const qint64 dueMs = waitingSinceMs_ >= 0 ? waitingSinceMs_ : nowMs;
    for (int c = 0; c < kMaxCameras; ++c) {
        const quint32 bit = 1u << c;
        if (!(cameras.present & bit)) continue;
        if (cameras.current & bit) {
            if (cameras.missed & bit)
                notDelivered_ |= bit;
            else if (cameras.owed & bit)
                lacking_ |= bit;
            continue;
        }
        if (!(cameras.connected & bit)) {
            lacking_ |= bit;
            continue;
        }
        // A return no pass has seen yet came after every trigger a pass gave.
        const bool backAfterTrigger = !returns.seen(c) || returns.moment(c) > trigger_;
        const qint64 since = backAfterTrigger ? (returns.seen(c) ? returns.atMs(c) : nowMs) : dueMs;
        const bool late = nowMs - since >= kReturnedFrameWaitMs;
        if (backAfterTrigger && (externalTrigger || late))
            lostWithLink_ |= bit;
        else if (late)
            notDelivered_ |= bit;
        else
            lacking_ |= bit;
    }
    return lacking_ ? Verdict::Wait : Verdict::Judge;
}

bool PendingStep::wait(quint32 lacking, qint64 nowMs) {
    lacking_ = lacking;
    if (waitingSinceMs_ >= 0) return false;
    waitingSinceMs_ = nowMs;
    return true;
}

FrameMissing PendingStep::missing(int camera) const {
    if (camera < 0 || camera >= kMaxCameras) return FrameMissing::None;
    if (lostWithLink_ & (1u << camera)) return FrameMissing::LostWithLink;
    if (notDelivered_ & (1u << camera)) return FrameMissing::NotDelivered;
    return FrameMissing::None;
}

}  // namespace detection
