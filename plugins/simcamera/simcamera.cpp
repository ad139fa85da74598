#include "simcamera.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "simlimits.h"

namespace simcamera {

SimCamera::SimCamera(const QString& folder, bool holdPicture, const QString& triggerFile,
                     QObject* parent)
    : CameraInterface(parent),
      folder_(folder),
      holdPicture_(holdPicture),
      triggerFile_(triggerFile) {}

bool SimCamera::open() {
    isOpen_ = pictures_.load(folder_, colour_);
    if (!isOpen_) qWarning().noquote() << "simulation camera: no pictures in" << folder_;
    return isOpen_;
}

void SimCamera::close() {
    stop();
    isOpen_ = false;
}

void SimCamera::start() {
    if (!isOpen_ || running_) return;
    running_ = true;
    clock_.start();
    lastFrameMs_ = 0;
    // A triggered camera waits for its trigger: the edges before its start are not its own.
    if (externalTrigger_)
        edgesSeen_ = wireCount();
    else
        newFrame();
}

void SimCamera::stop() {
    catchUp();
    running_ = false;
}

QJsonObject SimCamera::getParams(int which) {
    return {{QStringLiteral("ExposureTime"), double(exposeTime_) * 1000.0},
            {QStringLiteral("Gain"), gain_}};
}

void SimCamera::setParams(QJsonObject params) {
    exposeTime_ = params.value(QStringLiteral("exposetime")).toInt(exposeTime_);
    gain_ = params.value(QStringLiteral("gain")).toInt(gain_);
    setExternalTrigger(params.value(QStringLiteral("sysUsage")).toBool(externalTrigger_));
}

void SimCamera::getFps(int* fps) {
    if (fps) *fps = running_ && !externalTrigger_ ? 1000 / kFramePeriodMs : 0;
}

void SimCamera::setExternalTrigger(bool on) {
    catchUp();
    if (on && !externalTrigger_) edgesSeen_ = wireCount();
    externalTrigger_ = on;
    if (running_) lastFrameMs_ = clock_.elapsed();
}

bool SimCamera::unplugged() const {
    return QFileInfo::exists(QDir(folder_).filePath(QLatin1String(kUnpluggedFile)));
}

bool SimCamera::reconnect() {
    if (!isOpen_ || unplugged()) return false;
    if (lost_) {
        lost_ = false;
        // What the old link held goes with it, and the camera wakes in free run: the program
        // sets its trigger mode again.
        delivered_ = sequence_;
        externalTrigger_ = false;
        lastFrameMs_ = clock_.elapsed();
        qInfo().noquote() << "simulation camera" << folder_ << "plugged in again";
    }
    return true;
}

void SimCamera::softwareTrigger() {
    // An unplugged camera takes no trigger.
    if (!running_ || lost_) return;
    picture_ = (picture_ + 1) % pictures_.count();
    framesOnPicture_ = 0;
    ++sequence_;
    lastFrameMs_ = clock_.elapsed();
}

void SimCamera::getImageSize(int* width, int* height) {
    if (width) *width = pictures_.size().width();
    if (height) *height = pictures_.size().height();
}

QString SimCamera::pluginName() {
    return QLatin1String(kPluginName);
}

bool SimCamera::grabImage(uchar* buffer) {
    if (!running_ || !buffer) return false;
    if (!lost_ && unplugged()) {
        // As a real camera's driver does: the loss is told once, the view reconnects.
        lost_ = true;
        qInfo().noquote() << "simulation camera" << folder_ << "unplugged";
        emit sigCameraLost();
    }
    if (lost_) return false;
    catchUp();
    takeEdges();
    if (sequence_ == 0) return false;  // no frame taken yet
    const QByteArray& frame = pictures_.frame(picture_);
    std::memcpy(buffer, frame.constData(), size_t(frame.size()));
    const bool isNew = sequence_ > delivered_;
    delivered_ = sequence_;
    return isNew;
}

void SimCamera::newFrame() {
    ++sequence_;
    lastFrameMs_ = clock_.elapsed();
}

quint64 SimCamera::wireCount() const {
    if (triggerFile_.isEmpty()) return 0;
    QFile file(triggerFile_);
    // No file: no wire yet, no edge counted.
    if (!file.open(QIODevice::ReadOnly)) return 0;
    bool read = false;
    const quint64 count = file.read(32).trimmed().toULongLong(&read);
    return read ? count : edgesSeen_;
}

void SimCamera::takeEdges() {
    if (!running_ || !externalTrigger_ || triggerFile_.isEmpty()) return;
    const quint64 count = wireCount();
    // A count that went back belongs to a wire made anew: its edges are counted from zero.
    const quint64 edges = count >= edgesSeen_ ? count - edgesSeen_ : count;
    edgesSeen_ = count;
    if (edges == 0) return;
    picture_ = int((picture_ + edges % quint64(pictures_.count())) % quint64(pictures_.count()));
    framesOnPicture_ = 0;
    sequence_ += edges;
    lastFrameMs_ = clock_.elapsed();
}

void SimCamera::catchUp() {
    if (!running_ || externalTrigger_) return;
    const qint64 due = (clock_.elapsed() - lastFrameMs_) / kFramePeriodMs;
    if (due <= 0) return;
    sequence_ += quint64(due);
    lastFrameMs_ += due * kFramePeriodMs;
    if (holdPicture_) return;
    const qint64 onPicture = framesOnPicture_ + due;
    picture_ = int((picture_ + onPicture / kFramesPerPicture) % pictures_.count());
    framesOnPicture_ = int(onPicture % kFramesPerPicture);
}

}  // namespace simcamera
