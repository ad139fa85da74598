#pragma once
// Shared pieces of the camera tests: a program folder with chosen plug-in files, environment
// and log capture, and a manager fixture in a fresh working folder.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "cameramanager.h"
#include "testsupport.h"

namespace cameratest {

// <base>/Plugins/Cameras holding copies of the given files (under their own names, or the
// names given as "source=target").
QString makeProgramFolder(const QString& base, const QStringList& pluginFiles);

// Sets (or with a null value unsets) an environment variable for the life of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    const char* name_;
    QByteArray previous_;
    bool hadValue_;
};

// Collects the program's log lines for the life of a scope.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    bool contains(const QString& text) const;
};

// Reads one slot of an SN.db file directly, without the store under test.
QString storedSerial(const QString& file, int slot);

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A manager with the record sink wired to records.
    std::unique_ptr<CameraManager> newManager();

    testsupport::WorkDir work;
    QStringList records;
};

}  // namespace cameratest
