#pragma once
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// Placeholder until camera access is built: finds no cameras.
struct _cameraInfo {
    qint32 index = 0;
    QString pluginName;
    char serialNumber[288] = {};
    QMap<QString, QVariant> properties;
};

class CameraManager : public QObject {
    Q_OBJECT
public:
    static CameraManager* getInstance();
    void loadPlugins() {}
    void loadCameraSN() {}
    void findCameras() {}
    void sortCamera() {}
    void findSumulateCameras() {}
    void checkCameraCount() {}
    QList<_cameraInfo> cameraList;
};
