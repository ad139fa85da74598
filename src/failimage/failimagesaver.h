#pragma once
// Drains the fail-image slots that the result decision marked (gisSaveFail) into JPEG files:
// each picture is copied out under pMutexSaveFail, written outside the lock into its
// camera's and step's NG or OK folder with a rolling limit (gPicNumNG, gPicNumOK), and
// reported to the monitoring link. One call of scanOnce is one pass over every camera in use
// and every step; the thread that calls it paces the passes.

#include <QImage>
#include <QJsonObject>
#include <QMutex>
#include <QSize>
#include <QString>
#include <array>
#include <functional>

#include "failimagelimits.h"

namespace failimage {

// The pauses of the saver (milliseconds).
struct SaverPacing {
    int scanMs = kScanPeriodMs;                       // between passes
    int afterPictureMs = kPauseAfterPictureMs;        // after a picture
    int afterUnreportedMs = kPauseAfterUnreportedMs;  // after an NG picture followed by its OK
};

class FailImageSaver {
public:
    // Told about every picture written: {"camera", "detect", "result"} (0-based numbers,
    // result 1 for a picture from the OK slot, else 0) and the file's absolute path.
    using Reporter = std::function<void(const QJsonObject& info, const QString& path)>;
    // Told after every picture whether it could be written, with the folder root (a picture
    // that cannot be written is not kept: frames are too large to hold until there is room).
    using WriteOutcome = std::function<void(bool written, const QString& folderRoot)>;
    // Why the saver pauses: to bound the disk and network load, or to keep the names of a
    // failed step's two pictures apart (names carry whole seconds).
    enum class PauseFor { Load, Names };
    // Waits the given time; false when the saver must stop at once.
    using Pause = std::function<bool(int ms, PauseFor why)>;

    explicit FailImageSaver(const QString& folderRoot = QString::fromLatin1(kDefaultFolderRoot));

    // Settings; safe to change while another thread scans.
    void setFolderRoot(const QString& root);
    QString folderRoot() const;
    // The frame size of a camera; its slots are pictures of that size. A camera without a size
    // has its pending pictures dropped with a warning.
    void setFrameSize(int camera, QSize size);
    QSize frameSize(int camera) const;
    void setReporter(Reporter reporter);
    void setWriteOutcome(WriteOutcome outcome);
    void setPacing(const SaverPacing& pacing);
    SaverPacing pacing() const;

    // One pass. Returns false when a pause asked to stop (the pass ends there).
    bool scanOnce(const Pause& pause);

private:
    struct Pending {
        bool ng = false;
        bool ok = false;
        int failNumber = 0;
        int limitNG = 0;
        int limitOK = 0;
    };

    bool saveStep(int camera, int step, const Pause& pause);
    // Copies a flagged slot into the camera's buffer and clears the flag; false when the flag
    // was not set or the picture could not be taken.
    bool takePicture(int camera, int step, int kind, QImage* picture);
    bool writePicture(const QImage& picture, const QString& folder, int limit,
                      const QString& baseName, QString* path) const;

    mutable QMutex settings_;
    QString root_;
    std::array<QSize, kCameras> frameSizes_;
    Reporter reporter_;
    WriteOutcome writeOutcome_;
    SaverPacing pacing_;
    // One picture buffer per camera, reused from pass to pass.
    std::array<QImage, kCameras> buffers_;
};

}  // namespace failimage
