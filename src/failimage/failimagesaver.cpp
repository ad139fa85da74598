#include "failimagesaver.h"

#include <QDir>
#include <QMutexLocker>
#include <QtDebug>
#include <algorithm>
#include <cstring>

#include "faildirectory.h"
#include "failslots.h"
#include "globals.h"
#include "systemactions.h"

namespace failimage {

FailImageSaver::FailImageSaver(const QString& folderRoot) : root_(folderRoot) {}

void FailImageSaver::setFolderRoot(const QString& root) {
    QMutexLocker lock(&settings_);
    root_ = root;
}

QString FailImageSaver::folderRoot() const {
    QMutexLocker lock(&settings_);
    return root_;
}

void FailImageSaver::setFrameSize(int camera, QSize size) {
    if (camera < 0 || camera >= kCameras) return;
    QMutexLocker lock(&settings_);
    frameSizes_[size_t(camera)] = size;
}

QSize FailImageSaver::frameSize(int camera) const {
    if (camera < 0 || camera >= kCameras) return QSize();
    QMutexLocker lock(&settings_);
    return frameSizes_[size_t(camera)];
}

void FailImageSaver::setWriteOutcome(WriteOutcome outcome) {
    QMutexLocker lock(&settings_);
    writeOutcome_ = std::move(outcome);
}

void FailImageSaver::setReporter(Reporter reporter) {
    QMutexLocker lock(&settings_);
    reporter_ = std::move(reporter);
}

void FailImageSaver::setPacing(const SaverPacing& pacing) {
    QMutexLocker lock(&settings_);
    pacing_ = pacing;
}

SaverPacing FailImageSaver::pacing() const {
    QMutexLocker lock(&settings_);
    return pacing_;
}

bool FailImageSaver::scanOnce(const Pause& pause) {
    if (!pMutexSaveFail) return true;
    int cameras = 0;
    int steps = 0;
    {
        QMutexLocker lock(pMutexSaveFail);
        cameras = std::clamp(numCamera, 0, kCameras);
        steps = std::clamp(gDNum, 0, kSteps);
    }
    for (int c = 0; c < cameras; ++c)
        for (int d = 0; d < steps; ++d)
            if (!saveStep(c, d, pause)) return false;
    return true;
}

bool FailImageSaver::saveStep(int camera, int step, const Pause& pause) {
    Pending pending;
    {
        QMutexLocker lock(pMutexSaveFail);
        pending.ng = gisSaveFail[slotIndex(camera, step, kKindNG)];
        pending.ok = gisSaveFail[slotIndex(camera, step, kKindOK)];
        pending.failNumber = gFailIndex[stepIndex(camera, step)];
        pending.limitNG = gPicNumNG;
        pending.limitOK = gPicNumOK;
    }
    if (!pending.ng && !pending.ok) return true;

    const QString root = folderRoot();
    const SaverPacing timing = pacing();
    bool keepGoing = true;
    for (int kind = kKindNG; kind <= kKindOK && keepGoing; ++kind) {
        QImage& picture = buffers_[size_t(camera)];
        if (!takePicture(camera, step, kind, &picture)) continue;

        // Both pictures of a step go to its NG folder when it failed; only the last one is
        // reported, as the step's result.
        const bool intoNG = kind == kKindNG || pending.ng;
        const QString folder = failFolderPath(root, camera, step, intoNG ? kKindNG : kKindOK);
        const int limit = intoNG ? pending.limitNG : pending.limitOK;
        const QString baseName = pictureBaseName(sys::actions().now(), pending.failNumber);
        QString path;
        const bool written = writePicture(picture, folder, limit, baseName, &path);
        WriteOutcome outcome;
        {
            QMutexLocker lock(&settings_);
            outcome = writeOutcome_;
        }
        if (outcome) outcome(written, root);

        const bool unreported = kind == kKindNG && pending.ng && pending.ok;
        if (written && !unreported) {
            QJsonObject info;
            info.insert(QStringLiteral("camera"), camera);
            info.insert(QStringLiteral("detect"), step);
            info.insert(QStringLiteral("result"), kind == kKindOK ? 1 : (intoNG ? 0 : 1));
            Reporter report;
            {
                QMutexLocker lock(&settings_);
                report = reporter_;
            }
            if (report) report(info, path);
        }
        keepGoing = unreported ? pause(timing.afterUnreportedMs, PauseFor::Names)
                               : pause(timing.afterPictureMs, PauseFor::Load);
    }
    if (pending.ng) {
        QMutexLocker lock(pMutexSaveFail);
        gFailIndex[stepIndex(camera, step)] = 0;
    }
    return keepGoing;
}

bool FailImageSaver::takePicture(int camera, int step, int kind, QImage* picture) {
    const QSize size = frameSize(camera);
    if (!size.isEmpty() && picture->size() != size) *picture = QImage(size, QImage::Format_RGB32);
    const int slot = slotIndex(camera, step, kind);
    bool copied = false;
    {
        QMutexLocker lock(pMutexSaveFail);
        if (!gisSaveFail[slot]) return false;
        // The flag is cleared whatever happens next, so that a picture that cannot be
        // written is not tried again on every pass.
        gisSaveFail[slot] = false;
        if (gpFailImage[slot] && !size.isEmpty() && !picture->isNull()) {
            std::memcpy(picture->bits(), gpFailImage[slot],
                        size_t(size.width()) * size_t(size.height()) * kBytesPerPixel);
            copied = true;
        }
    }
    if (!copied)
        qWarning() << "fail picture of camera" << camera + 1 << "step" << step + 1
                   << "dropped:" << (size.isEmpty() ? "no frame size" : "no picture slot");
    return copied;
}

bool FailImageSaver::writePicture(const QImage& picture, const QString& folder, int limit,
                                  const QString& baseName, QString* path) const {
    QDir dir(folder);
    // The folders are made at start; one removed since (a cleared disk) is made again rather
    // than losing every later picture.
    if (!dir.exists() && !QDir().mkpath(folder)) {
        qWarning() << "fail picture folder" << folder << "could not be made";
        return false;
    }
    prunePictures(folder, limit);
    *path = QStringLiteral("%1/%2%3").arg(dir.absolutePath(), baseName,
                                          QString::fromLatin1(kPictureSuffix));
    return writeJpeg(picture, *path, kDefaultJpegQuality);
}

}  // namespace failimage
