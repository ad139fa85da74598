// A camera plug-in whose library cannot be loaded: it needs a data symbol that no library
// defines, which the dynamic loader resolves (and fails on) when the library is opened.
#include "camerainterface.h"

extern "C" int mouldmon_test_symbol_defined_nowhere;

class FailingCameraPlugin : public CameraInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CameraInterface_iid)
public:
    QString pluginName() override { return QStringLiteral("Failing"); }
    int cameraType() override { return mouldmon_test_symbol_defined_nowhere; }
};

#include "failingplugin.moc"
