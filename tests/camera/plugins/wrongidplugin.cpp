// A valid Qt plug-in of some other interface: it loads, but is no camera plug-in.
#include <QObject>

class NotACameraPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.example.notacamera")
};

#include "wrongidplugin.moc"
