// The camera manager: discovery, ordering across restarts, the serial-number commands and the
// camera-count questions.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "cameratestsupport.h"
#include "dialogseam.h"
#include "globals.h"
#include "scriptedcamera.h"
#include "serialnumberstore.h"

using cameratest::ManagerTest;
using cameratest::storedSerial;
using testcamera::ScriptedCamera;
using testcamera::ScriptedCameraPlugin;

namespace {

const QString A = QStringLiteral("SERIAL-AAAA");
const QString B = QStringLiteral("SERIAL-BBBB");
const QString C = QStringLiteral("SERIAL-CCCC");
const QString D = QStringLiteral("SERIAL-DDDD");

QStringList serialTexts(const QList<_cameraInfo>& list) {
    QStringList texts;
    for (const _cameraInfo& info : list) texts << info.serialText();
    return texts;
}

QStringList storedSlots() {
    QStringList values;
    for (int slot = 0; slot < 8; ++slot) values << storedSerial("SN.db", slot);
    return values;
}

// One start of the program up to the camera views: plug-ins, serials, discovery, order.
void startUp(CameraManager& manager) {
    manager.loadCameraSN();
    manager.findCameras();
    manager.sortCamera();
}

}  // namespace

TEST_F(ManagerTest, RealCamerasComeBeforeSimulatedOnes) {
    ScriptedCameraPlugin sim("Sim", 0);
    sim.addCamera(QStringLiteral("SIMCAM-ONE"));
    ScriptedCameraPlugin real("Real", 1);
    real.addCamera(A);
    real.addCamera(B);
    auto manager = newManager();
    manager->addPlugin(&sim);
    manager->addPlugin(&real);
    manager->findCameras();
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B}));
    EXPECT_FALSE(manager->isSimulated);
    EXPECT_EQ(manager->cameraList.at(0).pluginName, QStringLiteral("Real"));
}

TEST_F(ManagerTest, WithoutRealCamerasTheSimulatedOnesAreUsed) {
    ScriptedCameraPlugin real("Real", 1);  // finds nothing
    ScriptedCameraPlugin sim("Sim", 0);
    sim.addCamera(QStringLiteral("SIMCAM-ONE"));
    auto manager = newManager();
    manager->addPlugin(&real);
    manager->addPlugin(&sim);
    manager->findCameras();
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({"SIMCAM-ONE"}));
    EXPECT_TRUE(manager->isSimulated);

    auto empty = newManager();
    empty->findCameras();
    EXPECT_TRUE(empty->cameraList.isEmpty());
    EXPECT_TRUE(empty->isSimulated);
}

TEST_F(ManagerTest, SimulatedCamerasReplaceTheListWhenNoneOpened) {
    ScriptedCameraPlugin simA("SimA", 0);
    simA.addCamera(QStringLiteral("SIMCAM-A1"));
    ScriptedCameraPlugin real("Real", 1);
    real.addCamera(A);
    ScriptedCameraPlugin simB("SimB", 0);
    simB.addCamera(QStringLiteral("SIMCAM-B1"));
    simB.addCamera(QStringLiteral("SIMCAM-B2"));
    auto manager = newManager();
    for (auto* plugin : {&simA, &real, &simB}) manager->addPlugin(plugin);
    manager->findCameras();
    ASSERT_FALSE(manager->isSimulated);
    manager->findSumulateCameras();
    EXPECT_EQ(serialTexts(manager->cameraList),
              QStringList({"SIMCAM-A1", "SIMCAM-B1", "SIMCAM-B2"}));
    EXPECT_TRUE(manager->isSimulated);
}

TEST_F(ManagerTest, CameraNumbersSurviveRestarts) {
    {
        ScriptedCameraPlugin real("Real", 1);
        for (const QString& s : {A, B, C}) real.addCamera(s);
        auto manager = newManager();
        manager->addPlugin(&real);
        startUp(*manager);
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B, C}));  // nothing stored
        ASSERT_TRUE(manager->resortCameraSN({2, 0, 1}));
        // The new order applies from the next start on.
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B, C}));
    }
    {
        // The plug-in finds the cameras in another order this time.
        ScriptedCameraPlugin real("Real", 1);
        for (const QString& s : {B, C, A}) real.addCamera(s);
        auto manager = newManager();
        manager->addPlugin(&real);
        startUp(*manager);
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({C, A, B}));
    }
    {
        // A new camera found first goes behind the known ones.
        ScriptedCameraPlugin real("Real", 1);
        for (const QString& s : {D, B, C, A}) real.addCamera(s);
        auto manager = newManager();
        manager->addPlugin(&real);
        startUp(*manager);
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({C, A, B, D}));
    }
}

TEST_F(ManagerTest, SaveWritesEverySlotAndRecordsEachSerial) {
    ASSERT_TRUE(camera::SerialNumberStore::createDefaultDatabase("SN.db"));
    {
        camera::SerialNumberStore store;
        ASSERT_TRUE(store.open());
        store.write(5, QStringLiteral("STALE-SERIAL"));
    }
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B, C}) real.addCamera(s);
    auto manager = newManager();
    manager->addPlugin(&real);
    startUp(*manager);
    records.clear();
    manager->resetCameraSN();
    manager->saveCameraSN();
    EXPECT_EQ(records, QStringList({"Save SN 1: " + A, "Save SN 2: " + B, "Save SN 3: " + C}));
    EXPECT_EQ(storedSlots(), QStringList({A, B, C, "0", "0", "0", "0", "0"}));
}

TEST_F(ManagerTest, ResortRefusesBadOrdersAndStoresNothing) {
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B, C}) real.addCamera(s);
    auto manager = newManager();
    manager->addPlugin(&real);
    startUp(*manager);
    ASSERT_TRUE(manager->resortCameraSN({1, 0, 2}));
    records.clear();
    for (const QVector<int>& bad :
         {QVector<int>{0, 3}, QVector<int>{-1, 0}, QVector<int>{1, 1}, QVector<int>{0, 1, 2, 0}}) {
        EXPECT_FALSE(manager->resortCameraSN(bad)) << bad.size();
    }
    EXPECT_TRUE(records.isEmpty());
    EXPECT_EQ(manager->serialList(), QVector<QString>({B, A, C}));
    EXPECT_EQ(storedSlots(), QStringList({B, A, C, "0", "0", "0", "0", "0"}));

    // Naming only some cameras is an order too: the others follow in discovery order.
    ASSERT_TRUE(manager->resortCameraSN({2}));
    EXPECT_EQ(storedSlots(), QStringList({C, "0", "0", "0", "0", "0", "0", "0"}));
}

TEST_F(ManagerTest, MissingSerialDatabaseIsRestoredBeforeUse) {
    ASSERT_TRUE(camera::SerialNumberStore::createDefaultDatabase("./paraGroup/default/SN.db"));
    {
        camera::SerialNumberStore factory("./paraGroup/default/SN.db", "factory");
        ASSERT_TRUE(factory.open());
        factory.write(0, B);
    }
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B}) real.addCamera(s);
    auto manager = newManager();
    manager->addPlugin(&real);
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    startUp(*manager);
    EXPECT_EQ(answers.count(), 0);
    EXPECT_EQ(manager->serialList(), QVector<QString>({B}));
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({B, A}));
    EXPECT_TRUE(testsupport::recorder().recorded().isEmpty());
}

TEST_F(ManagerTest, SerialsSavedIntoANewDatabaseAreReallyStored) {
    ASSERT_FALSE(QFileInfo::exists("SN.db"));
    {
        ScriptedCameraPlugin real("Real", 1);
        for (const QString& s : {A, B}) real.addCamera(s);
        auto manager = newManager();
        manager->addPlugin(&real);
        startUp(*manager);
        ASSERT_TRUE(manager->resortCameraSN({1, 0}));
    }
    EXPECT_TRUE(QFileInfo::exists("./paraGroup/default/SN.db"));  // a factory copy to restore
    auto manager = newManager();
    manager->loadCameraSN();
    EXPECT_EQ(manager->serialList(), QVector<QString>({B, A}));
}

TEST_F(ManagerTest, BrokenSerialDatabaseWarnsRestoresAndAsksForReboot) {
    ASSERT_TRUE(camera::SerialNumberStore::createDefaultDatabase("./paraGroup/default/SN.db"));
    {
        camera::SerialNumberStore factory("./paraGroup/default/SN.db", "factory");
        ASSERT_TRUE(factory.open());
        factory.write(0, C);
    }
    QFile broken("SN.db");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(8192, '\x5a'));
    broken.close();

    auto manager = newManager();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    manager->loadCameraSN();
    ASSERT_EQ(answers.count(), 1);
    EXPECT_EQ(answers.asked().at(0).className, QStringLiteral("WarnBox"));
    EXPECT_EQ(answers.asked().at(0).text, lan(160));
    EXPECT_EQ(testsupport::recorder().programs(), QStringList({"sync", "reboot"}));
    // Where the reboot does not happen, the restored copy is in use.
    EXPECT_EQ(manager->serialList(), QVector<QString>({C}));
}

TEST_F(ManagerTest, UnopenableSerialDatabaseDoesNotStopTheStart) {
    QDir().mkpath("SN.db");  // a folder where the file belongs
    ScriptedCameraPlugin real("Real", 1);
    real.addCamera(A);
    auto manager = newManager();
    manager->addPlugin(&real);
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    startUp(*manager);
    EXPECT_EQ(answers.count(), 1);
    EXPECT_FALSE(testsupport::recorder().ran("reboot")) << "the file could not be restored";
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A}));
    manager->resetCameraSN();
    manager->saveCameraSN();  // fails quietly: nothing to write to
}

TEST_F(ManagerTest, SimulatedCamerasAskToClearTheSerialsAndNeverReboot) {
    ScriptedCameraPlugin sim("Sim", 0);
    sim.addCamera(QStringLiteral("SIMCAM-ONE"));
    {
        auto manager = newManager();
        manager->addPlugin(&sim);
        startUp(*manager);
        dialogs::ScopedAnswerer refuse({QDialog::Rejected});
        manager->checkCameraCount();
        ASSERT_EQ(refuse.count(), 1);
        EXPECT_EQ(refuse.asked().at(0).className, QStringLiteral("ChooseBox"));
        EXPECT_EQ(refuse.asked().at(0).text, lan(134));
        EXPECT_TRUE(records.isEmpty());
        EXPECT_EQ(storedSerial("SN.db", 0), QStringLiteral("0"));
    }
    auto manager = newManager();
    manager->addPlugin(&sim);
    bool flushed = false;
    manager->setBeforeReboot([&] { flushed = true; });
    startUp(*manager);
    dialogs::ScopedAnswerer confirm({QDialog::Accepted});
    manager->checkCameraCount();
    EXPECT_EQ(confirm.count(), 1);
    EXPECT_EQ(records, QStringList({"Save SN 1: SIMCAM-ONE"}));
    EXPECT_EQ(storedSerial("SN.db", 0), QStringLiteral("SIMCAM-ONE"));
    EXPECT_FALSE(flushed);
    EXPECT_FALSE(testsupport::recorder().ran("reboot"));
}

TEST_F(ManagerTest, SameCountOrNothingStoredAsksNothing) {
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B}) real.addCamera(s);
    {
        auto manager = newManager();
        manager->addPlugin(&real);
        startUp(*manager);
        dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
        manager->checkCameraCount();  // nothing stored yet
        EXPECT_EQ(answers.count(), 0);
    }
    {
        camera::SerialNumberStore store;
        ASSERT_TRUE(store.open());
        store.write(0, C);
        store.write(1, D);
    }
    auto manager = newManager();
    manager->addPlugin(&real);
    startUp(*manager);
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    manager->checkCameraCount();  // two stored, two found, other serials: no question
    EXPECT_EQ(answers.count(), 0);
    EXPECT_TRUE(testsupport::recorder().recorded().isEmpty());
    EXPECT_EQ(storedSlots().mid(0, 2), QStringList({C, D}));
}

TEST_F(ManagerTest, ChangedCountAsksAndOnConfirmationStoresFlushesAndReboots) {
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B, C}) real.addCamera(s);
    {
        camera::SerialNumberStore store;
        ASSERT_TRUE(store.ensureFile("./paraGroup/default/SN.db"));
        ASSERT_TRUE(store.open());
        store.write(0, B);
        store.write(1, A);
    }
    {
        auto manager = newManager();
        manager->addPlugin(&real);
        bool flushed = false;
        manager->setBeforeReboot([&] { flushed = true; });
        startUp(*manager);
        dialogs::ScopedAnswerer refuse({QDialog::Rejected});
        manager->checkCameraCount();
        ASSERT_EQ(refuse.count(), 1);
        EXPECT_EQ(refuse.asked().at(0).text, lan(360));
        EXPECT_FALSE(flushed);
        EXPECT_TRUE(records.isEmpty());
        EXPECT_FALSE(testsupport::recorder().ran("reboot"));
        EXPECT_EQ(storedSlots().mid(0, 3), QStringList({B, A, "0"}));
    }
    auto manager = newManager();
    manager->addPlugin(&real);
    QStringList order;
    manager->setBeforeReboot([&] {
        order << "flush";
        EXPECT_FALSE(testsupport::recorder().ran("reboot"));
    });
    startUp(*manager);
    dialogs::ScopedAnswerer confirm({QDialog::Accepted});
    manager->checkCameraCount();
    EXPECT_EQ(confirm.count(), 1);
    EXPECT_EQ(order, QStringList({"flush"}));
    EXPECT_EQ(testsupport::recorder().programs(), QStringList({"reboot"}));
    // The cameras as now numbered (B, A, then the new C) are the stored order.
    EXPECT_EQ(storedSlots().mid(0, 4), QStringList({B, A, C, "0"}));
    EXPECT_EQ(records.size(), 3);
}

TEST_F(ManagerTest, CameraObjectComesFromThePluginOfItsName) {
    ScriptedCameraPlugin first("Real", 1);
    ScriptedCameraPlugin other("Other", 1);
    ScriptedCameraPlugin second("Real", 1);  // a second plug-in of the same name
    auto manager = newManager();
    for (auto* plugin : {&first, &other, &second}) manager->addPlugin(plugin);

    _cameraInfo info = testcamera::makeCameraInfo("Other", A, 4);
    info.serialNumber[200] = '\x7f';
    info.properties.insert("ip", "10.0.0.9");
    CameraInterface* camera = manager->createCamera(info);
    ASSERT_EQ(other.created().size(), 1);
    EXPECT_EQ(camera, other.created().first());
    const _cameraInfo& passed = other.createdFor().first();
    EXPECT_EQ(passed.index, 4);
    EXPECT_EQ(std::memcmp(passed.serialNumber, info.serialNumber, sizeof info.serialNumber), 0);
    EXPECT_EQ(passed.properties, info.properties);

    CameraInterface* same = manager->createCamera(testcamera::makeCameraInfo("Real", B));
    EXPECT_EQ(first.created().size(), 1);
    ASSERT_EQ(second.created().size(), 1);
    EXPECT_EQ(same, second.created().first());

    EXPECT_EQ(manager->createCamera(testcamera::makeCameraInfo("Nobody", C)), nullptr);
}

TEST_F(ManagerTest, TheProcessWideManagerIsMadeOnce) {
    CameraManager* first = CameraManager::getInstance();
    EXPECT_EQ(CameraManager::getInstance(), first);
    EXPECT_EQ(CameraManager::_instance, first);
}

TEST_F(ManagerTest, ReadingTheSerialsAgainDoesNotDoubleThem) {
    ScriptedCameraPlugin real("Real", 1);
    for (const QString& s : {A, B}) real.addCamera(s);
    auto manager = newManager();
    manager->addPlugin(&real);
    startUp(*manager);
    ASSERT_TRUE(manager->resortCameraSN({1, 0}));
    startUp(*manager);  // a second main window in the same process
    EXPECT_EQ(manager->serialList(), QVector<QString>({B, A}));
    ASSERT_TRUE(manager->resortCameraSN({1, 0}));
    EXPECT_EQ(storedSlots().mid(0, 3), QStringList({A, B, "0"}));
}
