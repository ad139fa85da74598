#pragma once
// A USB disk for export tests: a temporary folder stands in for the mount point and a file for
// the mount table. Through the recording seam blkid lists one vfat partition, mount adds it to
// the table and umount takes it out; nothing is mounted for real.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class FakeUsbDisk {
public:
    FakeUsbDisk();
    ~FakeUsbDisk();  // blkid, mount and umount answer with plain success again

    QString mountPoint() const { return dir_.filePath(QStringLiteral("mnt")); }
    QString mountsFile() const { return dir_.filePath(QStringLiteral("mounts")); }
    // The default table lists the system disk alone: the USB disk is pulled.
    void setMountTable(const QByteArray& text = "/dev/sda2 / ext4 rw 0 0\n");
    void failUnmount();

private:
    QTemporaryDir dir_;
};

// Puts the stand-in exporter (tools/exporter-standin) where the program looks for the
// exporter, below the working folder.
bool installExporterStandIn();

}  // namespace testsupport
