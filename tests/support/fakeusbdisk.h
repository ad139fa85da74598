#pragma once
// A USB disk for export tests: a temporary folder stands in for the mount point and a file for
// the mount table. Through the recording seam, blkid lists one vfat partition, mount adds it to
// the table and umount takes it out again; nothing is mounted for real.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class FakeUsbDisk {
public:
    FakeUsbDisk();
    // The seam answers blkid, mount and umount with plain success again.
    ~FakeUsbDisk();

    QString mountPoint() const { return dir_.filePath(QStringLiteral("mnt")); }
    QString mountsFile() const { return dir_.filePath(QStringLiteral("mounts")); }
    // The disk is gone: the mount table lists the system disk alone.
    void pull();
    void setMountTable(const QByteArray& text);
    // umount fails (a busy disk).
    void failUnmount();
    // Everything on the disk, as relative paths in name order.
    QStringList contents() const;

private:
    QTemporaryDir dir_;
};

// Puts the stand-in exporter (tools/exporter-standin) where the program runs the exporter,
// below the working folder.
bool installExporterStandIn();

}  // namespace testsupport
