// The serial-number database SN.db.
#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "cameratestsupport.h"
#include "serialnumberstore.h"

using camera::SerialNumberStore;
using cameratest::storedSerial;

TEST(SerialStore, AnyTextIsStoredBoundAndOnlyValuesOfSerialLengthAreLoaded) {
    testsupport::WorkDir work;
    const QString hostile = QStringLiteral("AB'C\"D'); drop table sysparam;--");
    const QString wide = QStringLiteral("相机-序列号-0001");
    ASSERT_TRUE(SerialNumberStore::createDefaultDatabase("SN.db"));
    EXPECT_FALSE(SerialNumberStore::createDefaultDatabase("SN.db"));  // never overwritten
    {
        SerialNumberStore store;
        ASSERT_TRUE(store.open());
        store.write(0, QStringLiteral("1234567"));       // 7: too short
        store.write(1, QStringLiteral("12345678"));      // 8: kept
        store.write(2, QStringLiteral("0"));             // empty slot
        store.write(3, QString(256, QLatin1Char('s')));  // 256: kept
        store.write(4, QString(257, QLatin1Char('l')));  // 257: too long
        EXPECT_TRUE(store.write(5, hostile));
        EXPECT_TRUE(store.write(6, wide));
        QSqlQuery(QSqlDatabase::database("dbT"))
            .exec("delete from sysparam where name='serialNB7'");
    }
    ASSERT_EQ(storedSerial("SN.db", 7), QString());

    SerialNumberStore store;
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.load(),
              QVector<QString>({QStringLiteral("12345678"), QString(256, 's'), hostile, wide}));
    EXPECT_EQ(store.value(2), QStringLiteral("0"));
    EXPECT_EQ(store.value(7), QStringLiteral("0"));  // the missing row was put back empty
    EXPECT_TRUE(store.write(7, QStringLiteral("SERIAL-77")));
    EXPECT_FALSE(store.write(8, QStringLiteral("SERIAL-88")));  // no such row: reported
}

// A missing file without a factory copy, or an empty file, must not leave a store without its
// table: every later write would fail unseen.
TEST(SerialStore, FileWithoutTableGetsTheTable) {
    for (bool emptyFile : {false, true}) {
        SCOPED_TRACE(emptyFile ? "empty file" : "no file, no factory copy");
        testsupport::WorkDir work;
        if (emptyFile) {
            QFile file("SN.db");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        {
            SerialNumberStore store;
            ASSERT_TRUE(store.ensureFile(QStringLiteral("./paraGroup/default/SN.db")));
            ASSERT_TRUE(store.open());
            EXPECT_TRUE(store.load().isEmpty());
            EXPECT_TRUE(store.write(0, QStringLiteral("SERIAL-0001")));
        }
        EXPECT_EQ(storedSerial("SN.db", 0), QStringLiteral("SERIAL-0001"));
    }
}
