// A camera plug-in for real devices (cameraType 1) with three scripted cameras, loaded from a
// file like any plug-in.
#include "scriptedcamera.h"

class TestRealCameraPlugin : public testcamera::ScriptedCameraPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CameraInterface_iid)
    Q_INTERFACES(CameraInterface)
public:
    TestRealCameraPlugin() : ScriptedCameraPlugin(QStringLiteral("TestRealCamera"), 1) {
        addCamera(QStringLiteral("TESTREAL-0001"));
        addCamera(QStringLiteral("TESTREAL-0002"));
        addCamera(QStringLiteral("TESTREAL-0003"));
    }
};

#include "testrealcamera.moc"
