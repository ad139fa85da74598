#pragma once
// The loaded camera plug-ins: every "*.so" file of <program folder>/Plugins/Cameras whose root
// object implements CameraInterface.

#include <QString>
#include <QVector>

class CameraInterface;
class QPluginLoader;

namespace camera {

class CameraPluginSet {
public:
    CameraPluginSet() = default;
    // The loaders are deleted, the plug-ins stay loaded: camera objects may still be in use.
    ~CameraPluginSet();
    CameraPluginSet(const CameraPluginSet&) = delete;
    CameraPluginSet& operator=(const CameraPluginSet&) = delete;

    // Loads the plug-ins below programFolder; a missing folder loads nothing. Loading again
    // replaces what an earlier load found (the libraries stay loaded).
    void load(const QString& programFolder);
    // Adds a plug-in object that is linked in rather than loaded from a file; it stays through
    // later loads, behind the loaded ones.
    void add(CameraInterface* plugin);

    // One loader per file tried, including files that failed to load.
    const QVector<QPluginLoader*>& loaders() const { return loaders_; }
    // The plug-in objects: the loaded ones in load order, then the linked-in ones.
    const QVector<CameraInterface*>& plugins() const { return plugins_; }

private:
    void rebuild();

    QVector<QPluginLoader*> loaders_;
    QVector<CameraInterface*> loaded_;
    QVector<CameraInterface*> linked_;
    QVector<CameraInterface*> plugins_;
};

}  // namespace camera
