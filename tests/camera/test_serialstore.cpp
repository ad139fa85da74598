// The serial-number database SN.db.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "cameratestsupport.h"
#include "serialnumberstore.h"

using camera::SerialNumberStore;
using cameratest::storedSerial;

namespace {
const QString kFactory = QStringLiteral("./paraGroup/default/SN.db");
}

TEST(SerialStore, LoadKeepsOnlyValuesOfSerialLengthAndFillsMissingRows) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase("SN.db"));
    {
        SerialNumberStore store;
        ASSERT_TRUE(store.open());
        store.write(0, QStringLiteral("1234567"));       // 7: too short
        store.write(1, QStringLiteral("12345678"));      // 8: kept
        store.write(2, QStringLiteral("0"));             // empty slot
        store.write(3, QString(256, QLatin1Char('s')));  // 256: kept
        store.write(4, QString(257, QLatin1Char('l')));  // 257: too long
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "edit");
        db.setDatabaseName("SN.db");
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("delete from sysparam where name = 'serialNB7'");
        db.close();
    }
    QSqlDatabase::removeDatabase("edit");
    ASSERT_EQ(storedSerial("SN.db", 7), QString());

    SerialNumberStore store;
    ASSERT_TRUE(store.open());
    const QVector<QString> serials = store.load();
    EXPECT_EQ(serials, QVector<QString>({QStringLiteral("12345678"), QString(256, 's')}));
    EXPECT_EQ(store.value(7), QStringLiteral("0"));  // the missing row was put back empty
}

TEST(SerialStore, AnySerialTextIsStoredAndReadBackUnchanged) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase("SN.db"));
    const QString hostile = QStringLiteral("AB'C\"D'); drop table sysparam;--");
    const QString wide = QStringLiteral("相机-序列号-0001");
    {
        SerialNumberStore store;
        ASSERT_TRUE(store.open());
        EXPECT_TRUE(store.write(0, hostile));
        EXPECT_TRUE(store.write(1, wide));
    }
    SerialNumberStore store;
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.load(), QVector<QString>({hostile, wide}));
    for (int slot = 2; slot < 8; ++slot) EXPECT_EQ(store.value(slot), QStringLiteral("0"));
}

TEST(SerialStore, WriteToASlotWithoutRowReportsIt) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase("SN.db"));
    SerialNumberStore store;
    ASSERT_TRUE(store.open());
    EXPECT_TRUE(store.write(7, QStringLiteral("SERIAL-77")));
    EXPECT_FALSE(store.write(8, QStringLiteral("SERIAL-88")));
}

TEST(SerialStore, MissingFileIsRestoredFromTheFactoryCopy) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase(kFactory));
    {
        SerialNumberStore factory(kFactory, QStringLiteral("factory"));
        ASSERT_TRUE(factory.open());
        factory.write(0, QStringLiteral("FACTORY-0001"));
    }
    SerialNumberStore store;
    ASSERT_TRUE(store.ensureFile(kFactory));
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.load(), QVector<QString>({QStringLiteral("FACTORY-0001")}));
}

TEST(SerialStore, MissingFileWithoutFactoryCopyGetsTheTableSoWritesLast) {
    testsupport::WorkDir work;
    {
        SerialNumberStore store;
        ASSERT_TRUE(store.ensureFile(kFactory));
        ASSERT_TRUE(store.open());
        EXPECT_TRUE(store.load().isEmpty());
        EXPECT_TRUE(store.write(0, QStringLiteral("SERIAL-0001")));
    }
    EXPECT_EQ(storedSerial("SN.db", 0), QStringLiteral("SERIAL-0001"));
}

TEST(SerialStore, EmptyFileGetsTheTable) {
    testsupport::WorkDir work;
    QFile file("SN.db");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SerialNumberStore store;
    ASSERT_TRUE(store.open());
    EXPECT_TRUE(store.load().isEmpty());
    EXPECT_TRUE(store.write(3, QStringLiteral("SERIAL-0003")));
}

TEST(SerialStore, FileThatIsNoDatabaseIsUnusableUntilRestored) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase(kFactory));
    QFile file("SN.db");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    SerialNumberStore store;
    EXPECT_FALSE(store.open());
    EXPECT_FALSE(store.isUsable());
    ASSERT_TRUE(store.restoreFrom(kFactory));
    EXPECT_TRUE(store.open());
    EXPECT_TRUE(store.write(0, QStringLiteral("SERIAL-0000")));
}

TEST(SerialStore, FactoryCopyIsNeverOverwritten) {
    testsupport::WorkDir work;
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase("SN.db"));
    EXPECT_FALSE(SerialNumberStore::createDefaultDatabase("SN.db"));
}
