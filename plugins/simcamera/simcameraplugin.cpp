#include "simcameraplugin.h"

#include <dlfcn.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include "simcamera.h"
#include "simlimits.h"

namespace simcamera {

namespace {

// The folder of the shared object this code was loaded from.
QString pluginFileFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&pluginFileFolder), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

bool holdsPictures(const QDir& camera) {
    for (const char* kind : {kGreyFolder, kColourFolder}) {
        QDir pictures(camera.filePath(QLatin1String(kind)));
        if (!pictures.entryList({QLatin1String(kPicturePattern)}, QDir::Files).isEmpty())
            return true;
    }
    return false;
}

}  // namespace

QString SimCameraPlugin::pictureFolder() {
    const QByteArray chosen = qgetenv(kPictureFolderVariable);
    if (!chosen.isEmpty()) return QString::fromLocal8Bit(chosen);
    return QDir(pluginFileFolder()).filePath(QLatin1String(kPictureFolder));
}

QString SimCameraPlugin::pluginName() {
    return QLatin1String(kPluginName);
}

QVector<_cameraInfo> SimCameraPlugin::findCameras() {
    QVector<_cameraInfo> cameras;
    const QDir root(pictureFolder());
    const QStringList names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (cameras.size() >= kMaxCameras) break;
        const QDir folder(root.filePath(name));
        if (!holdsPictures(folder)) continue;
        _cameraInfo info;
        info.index = cameras.size();
        info.pluginName = pluginName();
        info.setSerialText(QLatin1String(kSerialPrefix) + name);
        info.properties.insert(QLatin1String(kFolderProperty), folder.absolutePath());
        cameras.append(info);
    }
    if (cameras.isEmpty())
        qWarning().noquote() << "simulation camera: no picture folders in" << root.absolutePath();
    return cameras;
}

CameraInterface* SimCameraPlugin::createCamera(_cameraInfo info) {
    const QString folder = info.properties.value(QLatin1String(kFolderProperty)).toString();
    if (folder.isEmpty()) return nullptr;
    return new SimCamera(folder, !qgetenv(kHoldPictureVariable).isEmpty(),
                         qEnvironmentVariable(kTriggerFileVariable), this);
}

}  // namespace simcamera
