// The cause a failed write is told with comes from the write's own error, not from the room
// the disk has once the half-written file is gone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <functional>

#include "durablefile.h"
#include "operationlog.h"
#include "privatemount.h"
#include "wizardpara.h"
#include "writecause.h"

using storage::WriteCause;

TEST(WriteCause, AFailedWriteIsToldByItsOwnError) {
    if (!testsupport::inPrivateMountNamespace()) return;
    const auto replace = [](qint64 size) {
        return [size](const QString& folder) {
            EXPECT_FALSE(
                storage::replaceFile(folder + "/template0.bmp", QByteArray(int(size), 'x')));
            return folder + "/template0.bmp";
        };
    };
    struct Row {
        const char* what;
        qint64 disk;
        bool readOnly;
        std::function<QString(const QString& folder)> fail;  // the file that failed
        WriteCause cause;
    } const rows[] = {
        {"larger than the disk, which has room again after", 20 << 20, false, replace(24 << 20),
         WriteCause::NoSpace},
        {"onto a folder of a nearly full disk", 4 << 20, false,
         [&](const QString& folder) {
             EXPECT_TRUE(QDir().mkpath(folder + "/template0.bmp/kept"));
             return replace(1)(folder);
         },
         WriteCause::Unknown},
        {"on a read-only disk", 4 << 20, true, replace(1), WriteCause::ReadOnly},
        {"a record into no database on a nearly full disk", 4 << 20, false,
         [](const QString& folder) {
             QFile file(folder + "/RECORD.db");
             EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'r')));
             file.close();
             EXPECT_FALSE(OperationLog(folder).insert("08.00.00", "-", "started"));
             return file.fileName();
         },
         WriteCause::Unknown},
        {"parameters into no database on a nearly full disk", 4 << 20, false,
         [](const QString& folder) {
             QFile file(folder + "/PARAM.db");
             EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'p')));
             file.close();
             {
                 QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damaged");
                 db.setDatabaseName(file.fileName());
                 EXPECT_TRUE(db.open());
                 EXPECT_FALSE(WizardPara().SaveDatatoFile(db));
             }
             QSqlDatabase::removeDatabase("damaged");
             return file.fileName();
         },
         WriteCause::Unknown},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::TmpfsMount disk("disk", row.disk);
        ASSERT_TRUE(disk.isMounted());
        ASSERT_TRUE(disk.setReadOnly(row.readOnly));
        EXPECT_EQ(storage::probeWriteCause(row.fail(disk.path())), row.cause);
    }
}
