// The camera manager: discovery, ordering across restarts, the serial-number commands, repair
// of SN.db and the camera-count questions.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstring>

#include "cameratestsupport.h"
#include "dialogseam.h"
#include "globals.h"
#include "serialnumberstore.h"

using cameratest::ManagerTest;
using cameratest::storedSlots;

namespace {

const QString A = QStringLiteral("SERIAL-AAAA");
const QString B = QStringLiteral("SERIAL-BBBB");
const QString C = QStringLiteral("SERIAL-CCCC");
const QString D = QStringLiteral("SERIAL-DDDD");
const QString kFactory = QStringLiteral("./paraGroup/default/SN.db");

QStringList serialTexts(const QList<_cameraInfo>& list) {
    QStringList texts;
    for (const _cameraInfo& info : list) texts << info.serialText();
    return texts;
}

// Stores serials into the first slots of a database file, made with empty slots when missing.
void storeSerials(const QString& file, const QStringList& serials) {
    camera::SerialNumberStore::createDefaultDatabase(file);
    camera::SerialNumberStore store(file, QStringLiteral("seed"));
    ASSERT_TRUE(store.open());
    for (int slot = 0; slot < serials.size(); ++slot) store.write(slot, serials.at(slot));
}

}  // namespace

TEST_F(ManagerTest, RealCamerasComeBeforeSimulatedOnes) {
    auto simA = plugin("SimA", 0, {"SIMCAM-A1"});
    auto real = plugin("Real", 1, {A, B});
    auto simB = plugin("SimB", 0, {"SIMCAM-B1", "SIMCAM-B2"});
    auto manager = newManager();
    for (auto* p : {simA.get(), real.get(), simB.get()}) manager->addPlugin(p);
    manager->findCameras();
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B}));
    EXPECT_FALSE(manager->isSimulated);
    // No real camera opened: the main window asks for the simulated ones.
    manager->findSumulateCameras();
    EXPECT_EQ(serialTexts(manager->cameraList),
              QStringList({"SIMCAM-A1", "SIMCAM-B1", "SIMCAM-B2"}));
    EXPECT_TRUE(manager->isSimulated);
}

TEST_F(ManagerTest, CameraNumbersSurviveRestarts) {
    {
        auto real = plugin("Real", 1, {A, B, C});
        auto manager = startUp({real.get()});
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B, C}));  // nothing stored
        ASSERT_TRUE(manager->resortCameraSN({2, 0, 1}));
        // The new order applies from the next start on.
        EXPECT_EQ(serialTexts(manager->cameraList), QStringList({A, B, C}));
        // A second main window in the same process reads the serials again, not twice.
        manager->loadCameraSN();
        EXPECT_EQ(manager->serialList(), QVector<QString>({C, A, B}));
    }
    EXPECT_TRUE(QFileInfo::exists(kFactory));  // a factory copy to restore from
    // Found in another order this time, with a new camera first: it goes behind the known ones.
    auto real = plugin("Real", 1, {D, B, C, A});
    auto manager = startUp({real.get()});
    EXPECT_EQ(serialTexts(manager->cameraList), QStringList({C, A, B, D}));
}

TEST_F(ManagerTest, SerialCommandsStoreEverySlotAndRefuseBadOrders) {
    storeSerials("SN.db", {"0", "0", "0", "0", "0", "STALE-SERIAL"});
    auto real = plugin("Real", 1, {A, B, C});
    auto manager = startUp({real.get()});
    manager->resetCameraSN();
    manager->saveCameraSN();
    EXPECT_EQ(records, QStringList({"Save SN 1: " + A, "Save SN 2: " + B, "Save SN 3: " + C}));
    EXPECT_EQ(storedSlots(), QStringList({A, B, C, "0", "0", "0", "0", "0"}));

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

TEST_F(ManagerTest, OnlyStoredSerialNumbersAreRecordedAsSaved) {
    storeSerials("SN.db", {});
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "refuse");
        db.setDatabaseName("SN.db");
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec("CREATE TRIGGER refuse BEFORE UPDATE ON sysparam WHEN "
                   "NEW.name = 'serialNB1' BEGIN SELECT RAISE(ABORT, 'full'); END"));
        db.close();
    }
    QSqlDatabase::removeDatabase("refuse");
    auto real = plugin("Real", 1, {A, B, C});
    auto manager = startUp({real.get()});
    manager->resetCameraSN();
    manager->saveCameraSN();
    EXPECT_EQ(records, QStringList({"Save SN 1: " + A, "Save SN 3: " + C}));
    EXPECT_EQ(storedSlots().mid(0, 3), QStringList({A, "0", C}));
}

// Regression: an order that never reached SN.db was reported as stored, and a confirmed count
// change rebooted into the same question.
TEST_F(ManagerTest, SerialNumbersThatCannotBeWrittenAreReportedAsNotStored) {
    enum Failure { JournalIsAFolder, UpdatesRefused };
    for (Failure failure : {JournalIsAFolder, UpdatesRefused}) {
        SCOPED_TRACE(int(failure));
        testsupport::WorkDir dir;
        testsupport::recorder().clear();
        storeSerials("SN.db", {B, A});
        if (failure == UpdatesRefused) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "refuse");
            db.setDatabaseName("SN.db");
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(QSqlQuery(db).exec(
                "CREATE TRIGGER refuse BEFORE UPDATE ON sysparam BEGIN SELECT RAISE(ABORT, "
                "'read-only'); END"));
            db.close();
        }
        QSqlDatabase::removeDatabase("refuse");
        auto real = plugin("Real", 1, {A, B, C});
        auto manager = startUp({real.get()});
        // SQLite cannot make its rollback journal, so no write gets through (also as root).
        if (failure == JournalIsAFolder) {
            ASSERT_TRUE(QDir().mkpath("SN.db-journal"));
        }
        records.clear();

        // Three cameras, two stored: the count question, confirmed.
        dialogs::ScopedAnswerer answers({QDialog::Accepted});
        manager->checkCameraCount();
        ASSERT_EQ(answers.count(), 2);
        EXPECT_EQ(answers.asked().at(0).text, lan(360));
        EXPECT_EQ(answers.asked().at(1).className, QStringLiteral("WarnBox"));
        EXPECT_EQ(answers.asked().at(1).text, lan(160));
        EXPECT_TRUE(testsupport::recorder().programs().isEmpty()) << "no reboot";

        EXPECT_FALSE(manager->resortCameraSN({2, 0, 1}));
        EXPECT_FALSE(manager->saveCameraSN());
        EXPECT_TRUE(records.isEmpty()) << qPrintable(records.join("; "));

        if (failure == JournalIsAFolder) {
            ASSERT_TRUE(QDir("SN.db-journal").removeRecursively());
        }
        EXPECT_EQ(storedSlots(3), QStringList({B, A, "0"}));
    }
}

TEST_F(ManagerTest, DamagedSerialDatabaseIsRepairedFromTheFactoryCopy) {
    enum Damage { Missing, NoDatabase, Folder, NoDatabaseNorFactoryCopy, DamagedPage };
    const struct {
        Damage damage;
        bool warned;
        QStringList programs;
        QStringList order;
    } rows[] = {
        {Missing, false, {}, {B, A}},
        {NoDatabase, true, {"sync", "reboot"}, {B, A}},
        {Folder, true, {"sync", "reboot"}, {B, A}},
        // Cannot be replaced: no reboot, which would only bring the same failure back.
        {NoDatabaseNorFactoryCopy, true, {}, {A, B}},
        // The header is whole, a page behind it is not.
        {DamagedPage, true, {"sync", "reboot"}, {B, A}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.damage));
        testsupport::WorkDir dir;
        testsupport::recorder().clear();
        storeSerials(kFactory, {B});
        if (row.damage == NoDatabase || row.damage == NoDatabaseNorFactoryCopy) {
            QFile broken("SN.db");
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write(QByteArray(8192, '\x5a'));
            if (row.damage == NoDatabaseNorFactoryCopy) ASSERT_TRUE(QFile::resize(kFactory, 100));
        } else if (row.damage == Folder) {
            QDir().mkpath("SN.db");
        } else if (row.damage == DamagedPage) {
            storeSerials("SN.db", {A, B});
            QFile broken("SN.db");
            ASSERT_TRUE(broken.open(QIODevice::ReadWrite));
            ASSERT_GE(broken.size(), 8192);
            broken.seek(4096);
            QByteArray noise(4096, '\0');
            for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
            broken.write(noise);
        }
        auto real = plugin("Real", 1, {A, B});
        dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
        auto manager = startUp({real.get()});
        ASSERT_EQ(answers.count(), row.warned ? 1 : 0);
        if (row.warned) {
            EXPECT_EQ(answers.asked().at(0).className, QStringLiteral("WarnBox"));
            EXPECT_EQ(answers.asked().at(0).text, lan(160));
        }
        EXPECT_EQ(testsupport::recorder().programs(), row.programs);
        // Where the reboot does not happen, the restored copy is in use.
        EXPECT_EQ(serialTexts(manager->cameraList), row.order);
        if (row.damage == DamagedPage)
            EXPECT_EQ(QDir().entryList({"SN.db.damaged-*"}).size(), 1) << "kept aside";
        manager->resetCameraSN();
        manager->saveCameraSN();  // with nothing to write to, it must not fail hard
    }
}

TEST_F(ManagerTest, CountChangeQuestions) {
    const QString sim = QStringLiteral("SIMCAM-ONE");
    const struct {
        const char* what;
        int type;
        QStringList found;
        QStringList stored;
        int answer;
        int question;  // language entry, 0 = none asked
        QStringList slotsAfter;
        int records;
        bool reboot;
    } rows[] = {
        // Without real cameras the simulated ones are in use, and stored only when confirmed.
        {"simulated, refused", 0, {sim}, {}, QDialog::Rejected, 134, {"0", "0"}, 0, false},
        // Simulated cameras never reboot: there is nothing to gain.
        {"simulated, confirmed", 0, {sim}, {}, QDialog::Accepted, 134, {sim, "0"}, 1, false},
        {"nothing stored", 1, {A, B}, {}, QDialog::Accepted, 0, {"0", "0"}, 0, false},
        {"same count", 1, {A, B}, {C, D}, QDialog::Accepted, 0, {C, D}, 0, false},
        {"changed, refused", 1, {A, B, C}, {B, A}, QDialog::Rejected, 360, {B, A, "0"}, 0, false},
        // The cameras as now numbered (B, A, then the new C) become the stored order.
        {"changed, confirmed",
         1,
         {A, B, C},
         {B, A},
         QDialog::Accepted,
         360,
         {B, A, C, "0"},
         3,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::WorkDir dir;
        testsupport::recorder().clear();
        storeSerials("SN.db", row.stored);
        auto found = plugin("P", row.type, row.found);
        auto manager = startUp({found.get()});
        records.clear();
        QStringList flushes;
        manager->setBeforeReboot(
            [&] { flushes << (testsupport::recorder().ran("reboot") ? "after reboot" : "flush"); });
        dialogs::ScopedAnswerer answers({row.answer});
        manager->checkCameraCount();
        ASSERT_EQ(answers.count(), row.question ? 1 : 0);
        if (row.question) {
            EXPECT_EQ(answers.asked().at(0).className, QStringLiteral("ChooseBox"));
            EXPECT_EQ(answers.asked().at(0).text, lan(row.question));
        }
        EXPECT_EQ(storedSlots(row.slotsAfter.size()), row.slotsAfter);
        EXPECT_EQ(records.size(), row.records);
        EXPECT_EQ(flushes, row.reboot ? QStringList({"flush"}) : QStringList());
        EXPECT_EQ(testsupport::recorder().programs(),
                  row.reboot ? QStringList({"reboot"}) : QStringList());
    }
}

TEST_F(ManagerTest, CameraObjectComesFromThePluginOfItsName) {
    auto first = plugin("Real", 1, {});
    auto other = plugin("Other", 1, {});
    auto second = plugin("Real", 1, {});  // a second plug-in of the same name
    auto manager = newManager();
    for (auto* p : {first.get(), other.get(), second.get()}) manager->addPlugin(p);

    _cameraInfo info = testcamera::makeCameraInfo("Other", A, 4);
    info.serialNumber[200] = '\x7f';
    info.properties.insert("ip", "10.0.0.9");
    CameraInterface* camera = manager->createCamera(info);
    ASSERT_EQ(other->created().size(), 1);
    EXPECT_EQ(camera, other->created().first());
    const _cameraInfo& passed = other->createdFor().first();
    EXPECT_EQ(passed.index, 4);
    EXPECT_EQ(std::memcmp(passed.serialNumber, info.serialNumber, sizeof info.serialNumber), 0);
    EXPECT_EQ(passed.properties, info.properties);

    CameraInterface* same = manager->createCamera(testcamera::makeCameraInfo("Real", B));
    EXPECT_EQ(first->created().size(), 1);
    ASSERT_EQ(second->created().size(), 1);
    EXPECT_EQ(same, second->created().first());
    EXPECT_EQ(manager->createCamera(testcamera::makeCameraInfo("Nobody", C)), nullptr);
}
