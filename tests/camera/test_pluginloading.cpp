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

TEST_F(ManagerTest, CamerasFromLoadedPluginsWorkThroughTheInterface) {
    // The shipped pictures stand in for the folder beside the plug-in's copy.
    qputenv("MOULDMON_SIM_PICTURES", SIMCAMERA_PICTURES);
    const QString program =
        makeProgramFolder(work.file("program"), {TEST_PLUGIN_REAL, SIMCAMERA_PLUGIN});
    auto manager = newManager();
    manager->setProgramFolder(program);
    manager->loadPlugins();
    manager->loadCameraSN();
    manager->findCameras();
    manager->sortCamera();
    ASSERT_FALSE(manager->isSimulated);
    ASSERT_EQ(manager->cameraList.size(), 3);
    EXPECT_EQ(manager->cameraList.at(0).serialText(), QStringLiteral("TESTREAL-0001"));
    CameraInterface* camera = manager->createCamera(manager->cameraList.at(1));
    ASSERT_NE(camera, nullptr);
    ASSERT_TRUE(camera->open());

    // No real camera opened: the simulation plug-in's cameras, from the shipped pictures.
    manager->findSumulateCameras();
    ASSERT_EQ(manager->cameraList.size(), 2);
    EXPECT_EQ(manager->cameraList.at(0).serialText(), QStringLiteral("SIMCAM-mould-a"));
    CameraInterface* sim = manager->createCamera(manager->cameraList.at(0));
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->cameraType(), 0);
    EXPECT_TRUE(sim->open());
    qunsetenv("MOULDMON_SIM_PICTURES");
}
