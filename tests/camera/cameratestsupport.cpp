#include "cameratestsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "globals.h"
#include "languagetable.h"
#include "warnbox.h"

namespace cameratest {

QString makeProgramFolder(const QString& base, const QStringList& pluginFiles) {
    const QString pluginDir = base + QStringLiteral("/Plugins/Cameras/");
    QDir().mkpath(pluginDir);
    for (const QString& source : pluginFiles)
        EXPECT_TRUE(QFile::copy(source, pluginDir + QFileInfo(source).fileName()))
            << qPrintable(source);
    return base;
}

QString storedSerial(const QString& file, int slot) {
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "peek");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("select value from sysparam where name = ?"));
            query.addBindValue(QStringLiteral("serialNB%1").arg(slot));
            if (query.exec() && query.next()) value = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return value;
}

QStringList storedSlots(int count) {
    QStringList values;
    for (int slot = 0; slot < count; ++slot) values << storedSerial("SN.db", slot);
    return values;
}

void ManagerTest::SetUp() {
    fillLanguageTable();
    gLan = 1;
    gShowW = 1280;
    gShowH = 720;
    if (!gpWarnBox) gpWarnBox = new WarnBox(nullptr);
    testsupport::recorder().clear();
}

void ManagerTest::TearDown() {
    testsupport::recorder().clear();
}

std::unique_ptr<CameraManager> ManagerTest::newManager() {
    auto manager = std::make_unique<CameraManager>();
    manager->setRecordSink([this](QString text) { records.append(text); });
    return manager;
}

std::unique_ptr<testcamera::ScriptedCameraPlugin> ManagerTest::plugin(const QString& name, int type,
                                                                      const QStringList& serials) {
    auto made = std::make_unique<testcamera::ScriptedCameraPlugin>(name, type);
    for (const QString& serial : serials) made->addCamera(serial);
    return made;
}

std::unique_ptr<CameraManager> ManagerTest::startUp(
    std::initializer_list<CameraInterface*> plugins) {
    auto manager = newManager();
    for (CameraInterface* p : plugins) manager->addPlugin(p);
    manager->loadCameraSN();
    manager->findCameras();
    manager->sortCamera();
    return manager;
}

}  // namespace cameratest
