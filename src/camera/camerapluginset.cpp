#include "camerapluginset.h"

#include <QDebug>
#include <QDir>
#include <QPluginLoader>

#include "camerainterface.h"
#include "cameralimits.h"

namespace camera {

CameraPluginSet::~CameraPluginSet() {
    qDeleteAll(loaders_);
}

void CameraPluginSet::load(const QString& programFolder) {
    qDeleteAll(loaders_);
    loaders_.clear();
    loaded_.clear();
    rebuild();
    QDir dir(programFolder);
    if (!dir.cd(QLatin1String(kPluginFolder)) || !dir.cd(QLatin1String(kCameraPluginFolder)))
        return;
    qDebug() << "Loading camera plugins.";
    const QStringList files =
        dir.entryList({QLatin1String(kPluginFilePattern)}, QDir::Files, QDir::NoSort);
    for (const QString& fileName : files) {
        auto* loader = new QPluginLoader(dir.absoluteFilePath(fileName));
        loaders_.append(loader);
        QObject* root = loader->instance();
        if (!loader->isLoaded()) {
            qWarning().noquote() << "Cameras plugins load fail:" << fileName
                                 << loader->errorString();
        }
        if (!root) continue;
        CameraInterface* plugin = qobject_cast<CameraInterface*>(root);
        if (!plugin) {
            qWarning().noquote() << "Cameras plugins" << fileName << "is not a camera plug-in";
            continue;
        }
        qInfo().noquote() << "Cameras plugins " + fileName + " load sucess.";
        loaded_.append(plugin);
    }
    rebuild();
}

void CameraPluginSet::add(CameraInterface* plugin) {
    if (!plugin) return;
    linked_.append(plugin);
    rebuild();
}

void CameraPluginSet::rebuild() {
    plugins_ = loaded_ + linked_;
}

}  // namespace camera
