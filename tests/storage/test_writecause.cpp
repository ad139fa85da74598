// The cause a failed write is told with comes from the write's own error, not from the room
// the disk has once the half-written file is gone.
#include <gtest/gtest.h>

#include <QDir>

#include "durablefile.h"
#include "privatemount.h"
#include "writecause.h"

using storage::WriteCause;

TEST(WriteCause, AFailedWriteIsToldByItsOwnError) {
    if (!testsupport::inPrivateMountNamespace()) return;
    struct Row {
        const char* what;
        qint64 disk;
        qint64 size;
        bool readOnly;
        bool ontoFolder;
        WriteCause cause;
    } const rows[] = {
        {"larger than the disk, which has room again after", 20 << 20, 24 << 20, false, false,
         WriteCause::NoSpace},
        {"onto a folder of a nearly full disk", 4 << 20, 1, false, true, WriteCause::Unknown},
        {"on a read-only disk", 4 << 20, 1, true, false, WriteCause::ReadOnly},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::TmpfsMount disk("disk", row.disk);
        ASSERT_TRUE(disk.isMounted());
        const QString file = disk.path() + "/template0.bmp";
        if (row.ontoFolder) ASSERT_TRUE(QDir().mkpath(file + "/kept"));
        ASSERT_TRUE(disk.setReadOnly(row.readOnly));
        EXPECT_FALSE(storage::replaceFile(file, QByteArray(int(row.size), 'x')));
        EXPECT_EQ(storage::probeWriteCause(file), row.cause);
    }
}
