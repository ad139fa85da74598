#include "videoshare.h"

#include <errno.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <time.h>

#include <QFile>
#include <QJsonArray>
#include <QtDebug>

namespace {

// The caller defines it (see semctl(2)).
union SemaphoreArgument {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

// "100" or "200" followed by the index, read back as a number: index 0 gives 1000.
int projectId(int prefix, int index) {
    return QStringLiteral("%1%2").arg(prefix).arg(index).toInt();
}

}  // namespace

CNT_Semaphore::CNT_Semaphore(key_t key) : key_(key) {}

CNT_Semaphore::~CNT_Semaphore() {
    retInitPV();
}

int CNT_Semaphore::create_sem(int nsems) {
    const int id = semget(key_, nsems, monlink::kSharePermissions);
    if (id < 0) return id;
    SemaphoreArgument free{1};
    if (semctl(id, 0, SETVAL, free) == 0) semid_ = id;
    return id;
}

int CNT_Semaphore::get_sem() {
    const int id = semget(key_, 0, 0);
    if (id >= 0) semid_ = id;
    return id;
}

bool CNT_Semaphore::P_sem(int timeoutMs) {
    const int id = semid_.load();
    if (id == -1) return false;
    // SEM_UNDO: if this process dies while holding it, the kernel gives it back to the reader.
    sembuf take{0, -1, SEM_UNDO};
    const timespec wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    int rc;
    do {
        rc = semtimedop(id, &take, 1, &wait);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return false;
    held_ = true;
    return true;
}

void CNT_Semaphore::V_sem() {
    const int id = semid_.load();
    if (id == -1) return;
    sembuf give{0, 1, SEM_UNDO};
    if (semop(id, &give, 1) == 0) held_ = false;
}

void CNT_Semaphore::retInitPV() {
    if (held_.load()) V_sem();
}

int CNT_Semaphore::value() const {
    const int id = semid_.load();
    return id == -1 ? -1 : semctl(id, 0, GETVAL);
}

namespace videoshare {

key_t shareKey(const QString& keyPath, int index) {
    return ftok(QFile::encodeName(keyPath).constData(), projectId(monlink::kShareKeyPrefix, index));
}

key_t semaphoreKey(const QString& keyPath, int index) {
    return ftok(QFile::encodeName(keyPath).constData(),
                projectId(monlink::kSemaphoreKeyPrefix, index));
}

VideoShareInfo create(int index, int width, int height, const QString& keyPath) {
    VideoShareInfo share;
    share.cameraid = index;
    share.width = qMax(0, width) & ~1;
    share.height = qMax(0, height) & ~1;
    share.size = share.width * share.height * 3 / 2;
    if (share.width != width || share.height != height)
        qWarning().noquote() << QStringLiteral("netdbg: video share %1 is %2 x %3, not %4 x %5")
                                    .arg(index)
                                    .arg(share.width)
                                    .arg(share.height)
                                    .arg(width)
                                    .arg(height);
    if (share.size > 0)
        share.shmid =
            shmget(shareKey(keyPath, index), size_t(share.size), monlink::kSharePermissions);
    if (share.shmid >= 0) {
        void* addr = shmat(share.shmid, nullptr, 0);
        if (addr == reinterpret_cast<void*>(-1)) {
            qWarning() << "netdbg: video share" << index << "cannot be attached:" << errno;
            share.shmid = -1;
        } else {
            share.addr = addr;
            share.attachment = std::shared_ptr<void>(addr, [](void* p) { shmdt(p); });
        }
    } else {
        // A segment left with another size (another screen) cannot be reused under its key.
        qWarning() << "netdbg: video share" << index << "has no segment:" << errno;
        share.shmid = -1;
    }
    share.sem = std::make_shared<CNT_Semaphore>(semaphoreKey(keyPath, index));
    share.semid = share.sem->create_sem(1);
    if (share.semid < 0) {
        qWarning() << "netdbg: video share" << index << "has no semaphore:" << errno;
        share.semid = -1;
    }
    return share;
}

void remove(const VideoShareInfo& share) {
    if (share.shmid >= 0) shmctl(share.shmid, IPC_RMID, nullptr);
    if (share.semid >= 0) semctl(share.semid, 0, IPC_RMID);
}

QJsonObject memoryInfoBody(const QMap<int, VideoShareInfo>& shares) {
    QJsonArray list;
    for (const VideoShareInfo& share : shares)
        list.append(QJsonObject{{QStringLiteral("cameraid"), share.cameraid},
                                {QStringLiteral("width"), share.width},
                                {QStringLiteral("height"), share.height},
                                {QStringLiteral("size"), share.size},
                                {QStringLiteral("shmid"), share.shmid},
                                {QStringLiteral("semid"), share.semid},
                                {QStringLiteral("fps"), share.fps}});
    return QJsonObject{{QStringLiteral("memoryinfo"), list}};
}

}  // namespace videoshare
