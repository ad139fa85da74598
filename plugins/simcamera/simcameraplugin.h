#pragma once
// The simulation camera plug-in (cameraType 0): one camera per picture folder, used by the
// program when no real camera is found or none opens.
//
// Pictures: <picture folder>/<camera>/grey/*.png and <camera>/colour/*.png, where the picture
// folder is $MOULDMON_SIM_PICTURES when set, else the folder "simcamera" beside the plug-in
// file. A camera's serial number is "SIMCAM-" followed by its folder name.

#include <QString>

#include "camerainterface.h"

namespace simcamera {

class SimCameraPlugin : public CameraInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CameraInterface_iid)
    Q_INTERFACES(CameraInterface)
public:
    explicit SimCameraPlugin(QObject* parent = nullptr) : CameraInterface(parent) {}

    QString pluginName() override;
    QVector<_cameraInfo> findCameras() override;
    CameraInterface* createCamera(_cameraInfo info) override;
    int cameraType() override { return 0; }

    // Where the pictures are looked for.
    static QString pictureFolder();
};

}  // namespace simcamera
