#include "fakeusbdisk.h"

#include <QDir>
#include <QFile>

#include "testsupport.h"

namespace testsupport {

FakeUsbDisk::FakeUsbDisk() {
    QDir(dir_.path()).mkdir(QStringLiteral("mnt"));
    setMountTable();
    recorder().scriptCommand("blkid", sys::CommandResult{true, 0, "/dev/sdz1: TYPE=\"vfat\"\n"});
    recorder().scriptCommand("mount", [table = mountsFile()](const QStringList& args) {
        QFile file(table);
        if (file.open(QIODevice::Append)) file.write((args.join(' ') + " vfat rw 0 0\n").toUtf8());
        return sys::CommandResult{true, 0, {}};
    });
    recorder().scriptCommand("umount", [this](const QStringList&) {
        setMountTable();
        return sys::CommandResult{true, 0, {}};
    });
}

FakeUsbDisk::~FakeUsbDisk() {
    for (const char* program : {"blkid", "mount", "umount"})
        recorder().scriptCommand(program, sys::CommandResult{true, 0, {}});
}

void FakeUsbDisk::setMountTable(const QByteArray& text) {
    QFile file(mountsFile());
    if (file.open(QIODevice::WriteOnly)) file.write(text);
}

void FakeUsbDisk::failUnmount() {
    recorder().scriptCommand("umount", sys::CommandResult{true, 32, {}});
}

bool installExporterStandIn() {
    const QString folder = QStringLiteral("cnt_net/export_result_statistics");
    return QDir().mkpath(folder) &&
           QFile::copy(sourceDir() + "/tools/exporter-standin/export_result_statistics",
                       folder + "/export_result_statistics");
}

}  // namespace testsupport
