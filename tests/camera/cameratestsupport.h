#pragma once
// Shared pieces of the camera tests: a program folder with chosen plug-in files, a direct look
// into SN.db, and a manager fixture in a fresh working folder.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>

#include "cameramanager.h"
#include "scriptedcamera.h"
#include "testsupport.h"

namespace cameratest {

// <base>/Plugins/Cameras holding copies of the given files.
QString makeProgramFolder(const QString& base, const QStringList& pluginFiles);

// One slot of an SN.db file, and the first `count` slots of ./SN.db, read without the store
// under test.
QString storedSerial(const QString& file, int slot);
QStringList storedSlots(int count = 8);

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A manager with the record sink wired to records.
    std::unique_ptr<CameraManager> newManager();
    // A plug-in (type 0 = simulation) that finds cameras with these serials.
    std::unique_ptr<testcamera::ScriptedCameraPlugin> plugin(const QString& name, int type,
                                                             const QStringList& serials);
    // One start of the program up to the camera views: serials, discovery, order.
    std::unique_ptr<CameraManager> startUp(std::initializer_list<CameraInterface*> plugins);

    testsupport::WorkDir work;
    QStringList records;
};

}  // namespace cameratest
