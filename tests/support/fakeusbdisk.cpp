#include "fakeusbdisk.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "testsupport.h"

namespace testsupport {

namespace {

const char kDevice[] = "/dev/sdz1";
const char kSystemDiskOnly[] = "/dev/sda2 / ext4 rw 0 0\n";

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text);
}

sys::CommandResult success(const QByteArray& output = {}) {
    return sys::CommandResult{true, 0, output};
}

}  // namespace

FakeUsbDisk::FakeUsbDisk() {
    QDir(dir_.path()).mkdir(QStringLiteral("mnt"));
    setMountTable(kSystemDiskOnly);
    recorder().scriptCommand(QStringLiteral("blkid"),
                             success(QByteArray(kDevice) + ": LABEL=\"USB\" TYPE=\"vfat\"\n"));
    const QString table = mountsFile();
    recorder().scriptCommand(QStringLiteral("mount"), [table](const QStringList& args) {
        QFile file(table);
        if (file.open(QIODevice::Append)) file.write((args.join(' ') + " vfat rw 0 0\n").toUtf8());
        return success();
    });
    recorder().scriptCommand(QStringLiteral("umount"), [table](const QStringList&) {
        writeFile(table, kSystemDiskOnly);
        return success();
    });
}

FakeUsbDisk::~FakeUsbDisk() {
    for (const char* program : {"blkid", "mount", "umount"})
        recorder().scriptCommand(QLatin1String(program), success());
}

void FakeUsbDisk::pull() {
    setMountTable(kSystemDiskOnly);
}

void FakeUsbDisk::setMountTable(const QByteArray& text) {
    writeFile(mountsFile(), text);
}

void FakeUsbDisk::failUnmount() {
    recorder().scriptCommand(QStringLiteral("umount"), sys::CommandResult{true, 32, {}});
}

QStringList FakeUsbDisk::contents() const {
    QStringList found;
    const QDir root(mountPoint());
    QDirIterator it(mountPoint(), QDir::AllEntries | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) found << root.relativeFilePath(it.next());
    found.sort();
    return found;
}

bool installExporterStandIn() {
    const QString folder = QStringLiteral("cnt_net/export_result_statistics");
    return QDir().mkpath(folder) &&
           QFile::copy(sourceDir() + "/tools/exporter-standin/export_result_statistics",
                       folder + "/export_result_statistics");
}

}  // namespace testsupport
