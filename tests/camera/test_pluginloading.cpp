// Loading the camera plug-ins from <program folder>/Plugins/Cameras.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QPluginLoader>
#include <QSet>
#include <algorithm>

#include "cameratestsupport.h"

using cameratest::makeProgramFolder;
using cameratest::ManagerTest;

namespace {

QStringList logLines;
QMutex logMutex;

void collectLog(QtMsgType, const QMessageLogContext&, const QString& message) {
    QMutexLocker lock(&logMutex);
    logLines.append(message);
}

bool logged(const QString& text) {
    QMutexLocker lock(&logMutex);
    return std::any_of(logLines.begin(), logLines.end(),
                       [&](const QString& line) { return line.contains(text); });
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

}  // namespace

TEST_F(ManagerTest, LoadsCameraPluginsAndSkipsEverythingElse) {
    const QString program = makeProgramFolder(
        work.file("program"),
        {TEST_PLUGIN_REAL, SIMCAMERA_PLUGIN, TEST_PLUGIN_WRONGID, TEST_PLUGIN_FAILING});
    writeFile(work.file("program/Plugins/Cameras/garbage.so"), "this is not a library");
    writeFile(work.file("program/Plugins/Cameras/notes.txt"), "not a plug-in name");
    QDir().mkpath(work.file("program/Plugins/Cameras/folder.so"));
    testcamera::ScriptedCameraPlugin linked("Linked", 0);

    logLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectLog);
    auto manager = newManager();
    manager->setProgramFolder(program);
    manager->addPlugin(&linked);
    manager->loadPlugins();
    manager->loadPlugins();  // loading again rebuilds the list rather than extending it
    qInstallMessageHandler(previous);

    // One loader per "*.so" file, whether it loaded or not; only camera plug-ins are used, the
    // linked-in one behind them.
    EXPECT_EQ(manager->loaders().size(), 5);
    ASSERT_EQ(manager->plugins().size(), 3);
    QSet<QString> names;
    for (int i = 0; i < 2; ++i) names.insert(manager->plugins().at(i)->pluginName());
    EXPECT_EQ(names, QSet<QString>({"TestRealCamera", "SimCamera"}));
    EXPECT_EQ(manager->plugins().at(2), &linked);
    int loaded = 0;
    for (QPluginLoader* loader : manager->loaders()) loaded += loader->isLoaded() ? 1 : 0;
    EXPECT_EQ(loaded, 3);  // the wrong-id plug-in loads, but is not a camera plug-in

    EXPECT_TRUE(logged("Cameras plugins load fail: libtestfailingplugin.so"));
    EXPECT_TRUE(logged("Cameras plugins load fail: garbage.so"));
    EXPECT_TRUE(logged("Cameras plugins libtestrealcameraplugin.so load sucess."));
    EXPECT_FALSE(logged("libtestwrongidplugin.so load sucess."));

    // Cameras of a plug-in built apart from the program work through the interface.
    manager->findCameras();
    ASSERT_EQ(manager->cameraList.size(), 3);
    EXPECT_FALSE(manager->isSimulated);
    CameraInterface* camera = manager->createCamera(manager->cameraList.at(1));
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(camera->open());
}

TEST_F(ManagerTest, MissingPluginFolderLoadsNothing) {
    QDir().mkpath(work.file("bare"));
    QDir().mkpath(work.file("halfway/Plugins"));  // "Plugins" without "Cameras"
    for (const QString& folder : {work.file("bare"), work.file("halfway")}) {
        auto manager = newManager();
        manager->setProgramFolder(folder);
        manager->loadPlugins();
        EXPECT_TRUE(manager->loaders().isEmpty());
        EXPECT_TRUE(manager->plugins().isEmpty());
        manager->findCameras();
        EXPECT_TRUE(manager->cameraList.isEmpty());
        EXPECT_TRUE(manager->isSimulated);
    }
}
