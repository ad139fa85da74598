#pragma once
// Copies pictures of the main window into the video shares. The GUI thread grabs the window
// into a cache; this thread converts the cached picture to I420 and copies it into the segment
// under the share's semaphore, while the companion wants video.

#include <QImage>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>

#include "videoshare.h"

class VideoThread : public QThread {
    Q_OBJECT
public:
    // window: grabbed on the creating (GUI) thread; wanted: asked by the copier before every
    // frame whether the companion wants video now. Starts grabbing and copying at once.
    VideoThread(QMap<int, VideoShareInfo> shares, QPointer<QWidget> window,
                std::function<bool()> wanted, QObject* parent = nullptr);
    ~VideoThread() override;

    // Stops grabbing and copying; returns once the copier has ended.
    void idestory();
    // Writes one picture (32 bits per pixel, B G R A in memory) into share `index` as I420.
    // False when it was not written: no such share, a share without segment or semaphore, a
    // picture of another size, or a reader holding the semaphore too long.
    bool UpdateMemory(int index, const QImage& picture);

    // Frames written into a segment, and frames skipped because a reader held the semaphore.
    int copiedFrames() const { return copied_.load(); }
    int skippedFrames() const { return skipped_.load(); }

public slots:
    void updateData_main2cache();

protected:
    void run() override;

private:
    void copyCachedFrames();

    std::atomic<bool> running_{true};
    QTimer* grabTimer_;
    const QMap<int, VideoShareInfo> shares_;
    QMap<int, QImage> cache_;
    QMutex cacheMutex_;
    QPointer<QWidget> window_;
    const std::function<bool()> wanted_;
    int times_ = 0;  // copier thread only
    std::atomic<int> copied_{0};
    std::atomic<int> skipped_{0};
    std::atomic<bool> stuckReported_{false};
};
