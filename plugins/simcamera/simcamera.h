#pragma once
// One simulated camera: serves the pictures of its folder as frames.
//
// Free run: after start() a new frame every kFramePeriodMs, the next picture after
// kFramesPerPicture frames. softwareTrigger() takes a new frame at once and moves to the next
// picture. With the external trigger on, the camera takes no frame at its start; its trigger
// line is the wire's file (kTriggerFileVariable): every edge counted there takes the next
// picture, as does softwareTrigger(). The frames are computed when grabbed; the camera has no
// thread. A file named kUnpluggedFile in the camera's folder unplugs it (see simlimits.h); plugged
// in again it comes back as a real camera does after a power cycle: in free run, with no frame
// of the old link, until the program sets its trigger mode again.

#include <QElapsedTimer>
#include <QString>

#include "camerainterface.h"
#include "pictureset.h"

namespace simcamera {

class SimCamera : public CameraInterface {
    Q_OBJECT
public:
    // holdPicture: free-run frames keep showing the current picture. triggerFile: the wire's
    // file (empty: no wire).
    SimCamera(const QString& folder, bool holdPicture, const QString& triggerFile,
              QObject* parent = nullptr);

    bool open() override;
    void close() override;
    void start() override;
    void stop() override;
    void release() override {}
    // True once the camera is plugged in again.
    bool reconnect() override;
    QJsonObject getParams(int which) override;
    void setParams(QJsonObject params) override;
    void setExposeTime(int value) override { exposeTime_ = value; }
    void setGain(int value) override { gain_ = value; }
    void setColor(bool colour) override { colour_ = colour; }
    void getFps(int* fps) override;
    void setExternalTrigger(bool on) override;
    void softwareTrigger() override;
    void getImageSize(int* width, int* height) override;
    QString pluginName() override;
    bool grabImage(uchar* buffer) override;
    int cameraType() override { return 0; }

private:
    // Counts the free-run frames that fell due since the last look.
    void catchUp();
    void newFrame();
    bool unplugged() const;
    // The edges the wire's file counts now; the last count seen when it cannot be read.
    quint64 wireCount() const;
    // A picture for every edge since the last look.
    void takeEdges();

    QString folder_;
    PictureSet pictures_;
    bool colour_ = false;
    bool isOpen_ = false;
    bool running_ = false;
    bool externalTrigger_ = false;
    bool lost_ = false;  // the loss was reported; nothing works until a reconnect
    const bool holdPicture_;
    const QString triggerFile_;
    quint64 edgesSeen_ = 0;  // the wire's count when the camera last looked
    int exposeTime_ = 0;
    int gain_ = 0;

    QElapsedTimer clock_;
    qint64 lastFrameMs_ = 0;
    quint64 sequence_ = 0;   // frames made so far
    quint64 delivered_ = 0;  // the newest frame handed out
    int picture_ = 0;
    int framesOnPicture_ = 0;
};

}  // namespace simcamera
