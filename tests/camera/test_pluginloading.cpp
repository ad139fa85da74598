// Loading the camera plug-ins from <program folder>/Plugins/Cameras.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QSet>

#include "cameratestsupport.h"
#include "scriptedcamera.h"

using cameratest::LogCapture;
using cameratest::makeProgramFolder;
using cameratest::ManagerTest;
using cameratest::ScopedEnv;

namespace {

QSet<QString> pluginNames(const CameraManager& manager) {
    QSet<QString> names;
    for (CameraInterface* plugin : manager.plugins()) names.insert(plugin->pluginName());
    return names;
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

    LogCapture log;
    auto manager = newManager();
    manager->setProgramFolder(program);
    manager->loadPlugins();

    // One loader per "*.so" file, whether it loaded or not; only camera plug-ins are used.
    EXPECT_EQ(manager->loaders().size(), 5);
    EXPECT_EQ(pluginNames(*manager), QSet<QString>({"TestRealCamera", "SimCamera"}));
    int loaded = 0;
    for (QPluginLoader* loader : manager->loaders()) loaded += loader->isLoaded() ? 1 : 0;
    EXPECT_EQ(loaded, 3);  // the wrong-id plug-in loads, but is not a camera plug-in

    EXPECT_TRUE(log.contains("Cameras plugins load fail: libtestfailingplugin.so"));
    EXPECT_TRUE(log.contains("Cameras plugins load fail: garbage.so"));
    EXPECT_TRUE(log.contains("Cameras plugins libtestrealcameraplugin.so load sucess."));
    EXPECT_FALSE(log.contains("libtestwrongidplugin.so load sucess."));
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
    ScopedEnv pictures("MOULDMON_SIM_PICTURES", SIMCAMERA_PICTURES);
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
    camera->setColor(true);
    ASSERT_TRUE(camera->open());
    int width = 0, height = 0;
    camera->getImageSize(&width, &height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    QByteArray frame(width * height * 4, '\x11');
    EXPECT_FALSE(camera->grabImage(reinterpret_cast<uchar*>(frame.data())));  // nothing pushed

    // No real camera opened: the simulation plug-in's cameras, from the shipped pictures.
    manager->findSumulateCameras();
    ASSERT_EQ(manager->cameraList.size(), 2);
    EXPECT_TRUE(manager->isSimulated);
    EXPECT_EQ(manager->cameraList.at(0).serialText(), QStringLiteral("SIMCAM-mould-a"));
    CameraInterface* sim = manager->createCamera(manager->cameraList.at(0));
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->cameraType(), 0);
    sim->setColor(false);
    EXPECT_TRUE(sim->open());
}

TEST_F(ManagerTest, LoadingAgainRebuildsThePluginList) {
    const QString program = makeProgramFolder(work.file("program"), {TEST_PLUGIN_REAL});
    testcamera::ScriptedCameraPlugin linked("Linked", 0);
    auto manager = newManager();
    manager->setProgramFolder(program);
    manager->addPlugin(&linked);
    manager->loadPlugins();
    manager->loadPlugins();
    ASSERT_EQ(manager->plugins().size(), 2);
    EXPECT_EQ(manager->plugins().at(0)->pluginName(), QStringLiteral("TestRealCamera"));
    EXPECT_EQ(manager->plugins().at(1), &linked);
    EXPECT_EQ(manager->loaders().size(), 1);
}
