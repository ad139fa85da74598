#pragma once
// The fail-image saver thread: every 100 ms it drains the fail-image slots marked for saving
// into JPEG files (FailImageSaver), pausing after every picture so that disk and network load
// stay bounded. It runs until stop(); stop() wakes it from any pause, so stop() followed by
// wait() returns as soon as a picture being written is finished. finish() ends it too, but
// only after the pictures still marked are written.

#include <QDeadlineTimer>
#include <QMutex>
#include <QSize>
#include <QThread>
#include <QWaitCondition>

#include "failimagesaver.h"

class SaveFialImageThread : public QThread {
    Q_OBJECT
public:
    static constexpr int kScanPeriodMs = failimage::kScanPeriodMs;

    // Pictures are reported to `reporter`; without one, to the monitoring link (delivered in
    // the link's own thread).
    explicit SaveFialImageThread(failimage::FailImageSaver::Reporter reporter = {},
                                 QObject* parent = nullptr);
    // Stops the thread and waits for it.
    ~SaveFialImageThread() override;

    // Settings; may be changed while the thread runs.
    void setFolderRoot(const QString& root) { saver_.setFolderRoot(root); }
    QString folderRoot() const { return saver_.folderRoot(); }
    // Frame size of each camera in use (its slots hold pictures of that size).
    void setFrameSize(int camera, QSize size) { saver_.setFrameSize(camera, size); }
    void setPacing(const failimage::SaverPacing& pacing) { saver_.setPacing(pacing); }

    // Asks the thread to end; it ends after the picture it is writing, if any. A stopped
    // thread stays stopped.
    void stop();
    // Asks the thread to write every picture marked so far and then to end: the program
    // stops, and a picture left for the next pass would be lost. Only the pause that keeps a
    // failed step's two names apart is kept; a picture not begun by the deadline is left.
    // Returns at once; wait() for the end.
    void finish(QDeadlineTimer deadline);

signals:
    // After every picture: whether it could be written, and the folder of the pictures.
    void sigPictureWritten(bool written, QString folderRoot);

protected:
    void run() override;

private:
    using Why = failimage::FailImageSaver::PauseFor;
    // Waits ms milliseconds or until stop(); false when stopping, or when finishing and the
    // deadline has passed. While finishing only the pause for the names waits.
    bool pause(int ms, Why why);
    bool finishAsked();

    failimage::FailImageSaver saver_;
    QMutex waitMutex_;
    QWaitCondition wake_;
    bool stopping_ = false;
    bool finishing_ = false;
    QDeadlineTimer finishBy_;
};
