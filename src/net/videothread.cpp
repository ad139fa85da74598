#include "videothread.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QtDebug>
#include <cstring>
#include <opencv2/imgproc.hpp>

VideoThread::VideoThread(QMap<int, VideoShareInfo> shares, QPointer<QWidget> window,
                         std::function<bool()> wanted, QObject* parent)
    : QThread(parent),
      grabTimer_(new QTimer(this)),
      shares_(std::move(shares)),
      window_(std::move(window)),
      wanted_(std::move(wanted)) {
    connect(grabTimer_, &QTimer::timeout, this, &VideoThread::updateData_main2cache);
    grabTimer_->start(monlink::kGrabPeriodMs);
    start();
}

VideoThread::~VideoThread() {
    grabTimer_->stop();
    running_ = false;
    wait();
}

void VideoThread::idestory() {
    grabTimer_->stop();
    running_ = false;
    while (!isFinished() && isRunning()) wait(monlink::kStopPollMs);
    qInfo() << "netdbg:"
            << "VideoThread::idestory finish";
}

void VideoThread::updateData_main2cache() {
    if (!shares_.contains(0) || !window_) return;
    const QImage picture = window_->grab().toImage();
    if (picture.isNull()) return;
    QMutexLocker lock(&cacheMutex_);
    cache_.insert(0, picture);
}

void VideoThread::run() {
    while (running_.load()) {
        QElapsedTimer elapsed;
        elapsed.start();
        if (wanted_ && wanted_()) {
            copyCachedFrames();
            const qint64 spentUs = elapsed.nsecsElapsed() / 1000;
            if (spentUs < monlink::kCopyPeriodUs)
                QThread::usleep(static_cast<unsigned long>(monlink::kCopyPeriodUs - spentUs));
        } else {
            QThread::msleep(monlink::kIdleCheckMs);
        }
    }
}

void VideoThread::copyCachedFrames() {
    QList<int> keys;
    {
        QMutexLocker lock(&cacheMutex_);
        keys = cache_.keys();
    }
    for (int key : keys) {
        QImage picture;
        {
            QMutexLocker lock(&cacheMutex_);
            picture = cache_.value(key);
        }
        if (UpdateMemory(key, picture)) copied_.fetch_add(1);
        if (times_++ % monlink::kCopyReportEvery == 0)
            qInfo() << "netdbg:"
                    << "video UpdateMemory still running";
    }
}

bool VideoThread::UpdateMemory(int index, const QImage& picture) {
    auto it = shares_.constFind(index);
    if (picture.isNull() || it == shares_.cend()) return false;
    const VideoShareInfo& share = *it;
    if (share.shmid == -1 || share.semid == -1 || !share.addr || !share.sem) return false;
    // A share of odd size was rounded down: the picture may be one pixel wider or higher.
    if ((picture.width() & ~1) != share.width || (picture.height() & ~1) != share.height ||
        share.width == 0 || share.height == 0)
        return false;
    QImage bgra = picture;
    if (bgra.format() != QImage::Format_RGB32 && bgra.format() != QImage::Format_ARGB32 &&
        bgra.format() != QImage::Format_ARGB32_Premultiplied)
        bgra = bgra.convertToFormat(QImage::Format_RGB32);
    const cv::Mat whole(bgra.height(), bgra.width(), CV_8UC4, const_cast<uchar*>(bgra.constBits()),
                        size_t(bgra.bytesPerLine()));
    cv::Mat i420;
    cv::cvtColor(whole(cv::Rect(0, 0, share.width, share.height)), i420, cv::COLOR_BGRA2YUV_I420);

    if (!share.sem->P_sem()) {
        skipped_.fetch_add(1);
        if (!stuckReported_)
            qWarning() << "netdbg: the video reader holds the semaphore of share" << index
                       << "; frames are skipped until it lets go";
        stuckReported_ = true;
        return false;
    }
    std::memcpy(share.addr, i420.data, size_t(share.size));
    share.sem->V_sem();
    stuckReported_ = false;
    return true;
}
