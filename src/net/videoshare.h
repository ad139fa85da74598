#pragma once
// The System V shared memory through which the companion's video reader gets pictures of the
// main window: one segment per share holding one I420 frame, guarded by one semaphore whose
// value is 1 while nobody holds it.

#include <sys/types.h>

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <atomic>
#include <memory>

#include "monlinklimits.h"

class CNT_Semaphore {
public:
    explicit CNT_Semaphore(key_t key);
    // Gives the semaphore back only when this object holds it: giving back one that the reader
    // holds would let reader and writer in at once.
    ~CNT_Semaphore();
    CNT_Semaphore(const CNT_Semaphore&) = delete;
    CNT_Semaphore& operator=(const CNT_Semaphore&) = delete;

    // Creates (or finds) the set and makes it free; the id, or a negative value.
    int create_sem(int nsems);
    // Finds an existing set; the id, or a negative value.
    int get_sem();
    // Takes the semaphore, waiting at most timeoutMs; false when it was not taken (no set, or a
    // reader holds it that long).
    bool P_sem(int timeoutMs = monlink::kSemaphoreWaitMs);
    void V_sem();
    // Gives the semaphore back when this object holds it.
    void retInitPV();

    int semid() const { return semid_.load(); }
    // The semaphore's current value (-1 without a set), for diagnostics and tests.
    int value() const;

private:
    const key_t key_;
    std::atomic<int> semid_{-1};
    std::atomic<bool> held_{false};
};

struct VideoShareInfo {
    int cameraid = 0;
    int width = 0;
    int height = 0;
    int size = 0;  // width * height * 3 / 2: one I420 frame
    int shmid = -1;
    int semid = -1;
    void* addr = nullptr;
    std::shared_ptr<CNT_Semaphore> sem;
    int fps = monlink::kReportedFps;
    // Keeps the segment attached while any copy of the share (the link's, a copier's) lives, so
    // a copier never writes into a detached segment and a new share never attaches twice.
    std::shared_ptr<void> attachment;
};

namespace videoshare {

// The keys of share `index` under `keyPath` ("/tmp" on the panel).
key_t shareKey(const QString& keyPath, int index);
key_t semaphoreKey(const QString& keyPath, int index);

// Creates (or finds) the segment and semaphore of a share. Odd sizes are rounded down to even
// ones (I420 halves both). A part that could not be made keeps its id at -1 and the share is
// never written.
VideoShareInfo create(int index, int width, int height, const QString& keyPath);
// Removes the segment and the semaphore of a share; ids that are gone already are harmless.
void remove(const VideoShareInfo& share);

// The "memoryinfo" body offering the shares to the companion.
QJsonObject memoryInfoBody(const QMap<int, VideoShareInfo>& shares);

}  // namespace videoshare
