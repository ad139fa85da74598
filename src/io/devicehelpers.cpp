#include "devicehelpers.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

#include "controlport.h"
#include "globals.h"
#include "systemactions.h"

namespace devices {

unsigned long LedBits::set(int n, int on) {
    if (n >= 0 && n < 8) {
        const quint8 mask = quint8(1u << n);
        bits_ = (on & 1) ? quint8(bits_ | mask) : quint8(bits_ & ~mask);
    }
    return kLedRequestBase | bits_;
}

bool backlightBySysfs(const QString& kernelVersion) {
    static const QRegularExpression newerKernel(
        QStringLiteral("^Linux version 6.\\d+\\.\\d+-\\d+-generic*"));
    return newerKernel.match(kernelVersion).hasMatch();
}

namespace {

QString deviceOf(const QString& line) {
    return line.section(QLatin1Char(':'), 0, 0).trimmed();
}

bool hasType(const QString& line, const char* type) {
    return line.contains(QStringLiteral("TYPE=\"%1\"").arg(QLatin1String(type)));
}

}  // namespace

QString pickUsbDevice(const QByteArray& blkidListing) {
    const int end = blkidListing.indexOf('\0');
    const QString text = QString::fromLocal8Bit(end < 0 ? blkidListing : blkidListing.left(end));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    // Every disk that holds an ext4 partition is a system disk, wherever blkid lists it.
    static const QRegularExpression trailingDigits(QStringLiteral("\\d+$"));
    QStringList systemDisks;
    for (const QString& line : lines)
        if (hasType(line, "ext4")) systemDisks << deviceOf(line).remove(trailingDigits);

    for (const QString& line : lines) {
        if (!hasType(line, "vfat") && !hasType(line, "ntfs") && !hasType(line, "exfat")) continue;
        const QString device = deviceOf(line);
        // Only device nodes; never anything mount could read as an option.
        if (!device.startsWith(QLatin1String("/dev/"))) continue;
        bool onSystemDisk = false;
        for (const QString& disk : systemDisks)
            if (!disk.isEmpty() && device.startsWith(disk)) onSystemDisk = true;
        if (!onSystemDisk) return device;
    }
    return QString();
}

bool UsbDiskFinder::readMounts(QList<QStringList>* entries) const {
    QFile file(mountsFile_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    entries->clear();
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList fields =
            QString::fromLocal8Bit(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 2) entries->append(fields);
    }
    return true;
}

bool UsbDiskFinder::isMounted() const {
    QList<QStringList> mounts;
    if (!readMounts(&mounts)) return false;
    for (const QStringList& entry : mounts)
        if (entry.at(1) == mountPoint_) return true;
    return false;
}

QString UsbDiskFinder::find() {
    const sys::CommandResult blkid =
        sys::actions().run(QStringLiteral("blkid"), {}, kCommandTimeoutMs);
    if (blkid.output.isEmpty()) return QString();

    const QString device = pickUsbDevice(blkid.output);
    if (device.isEmpty()) return QString();
    qInfo().noquote() << "FindAU"
                      << "pickdev" << device;

    QList<QStringList> mounts;
    if (!readMounts(&mounts)) {
        qWarning().noquote() << "FindAU: cannot read" << mountsFile_;
        return QString();
    }
    for (const QStringList& entry : mounts)
        if (entry.at(1) == mountPoint_)
            sys::actions().run(QStringLiteral("umount"), {mountPoint_}, kCommandTimeoutMs);
    sys::actions().run(QStringLiteral("mount"), {device, mountPoint_}, kCommandTimeoutMs);

    if (!readMounts(&mounts)) {
        qWarning().noquote() << "FindAU: cannot read" << mountsFile_;
        return QString();
    }
    for (const QStringList& entry : mounts)
        if (entry.at(0) == device && entry.at(1) == mountPoint_) return mountPoint_;
    qWarning().noquote() << "FindAU:" << device << "is not mounted on" << mountPoint_;
    return QString();
}

double TimeStats::lap(qint64 nowMs) {
    if (!started_) {
        started_ = true;
        startMs_ = nowMs;
        return 0.0;
    }
    last_ = double(nowMs - startMs_);
    startMs_ = nowMs;
    minimum_ = qMin(minimum_, last_);
    maximum_ = qMax(maximum_, last_);
    total_ += last_;
    ++count_;
    return last_;
}

}  // namespace devices

void LEDOnOff(int n, int on) {
    static devices::LedBits leds;
    const unsigned long request = leds.set(n, on);
    if (gfLED > 0) sys::actions().ioctl(gfLED, request, 0);
}

void LCDOnOff(int on) {
    const bool sysfs = devices::backlightBySysfs(linux_kernel_proc_version);
    qInfo().noquote() << "LCDOnOff isOn" << on << (sysfs ? "true" : "false");
    if (sysfs) {
        sys::actions().writeSystemFile(QLatin1String(devices::kBacklightPowerFile),
                                       on ? QByteArrayLiteral("0\n") : QByteArrayLiteral("1\n"));
    } else if (gfLED > 0) {
        sys::actions().ioctl(gfLED,
                             on ? devices::kBacklightOnRequest : devices::kBacklightOffRequest, 0);
    }
}

QString FindAU() {
    return devices::UsbDiskFinder().find();
}

void StopWTD() {
    gisRunWTD = 0;
    sys::actions().sleepMs(devices::kWatchdogStopWaitMs);
}

void Exit(int status) {
    StopWTD();
    // The IO thread must not outlive the objects it uses while the process tears down.
    if (gpControlIO) gpControlIO->StopIOThread();
    std::exit(status);
}

QString funcNumberToQString(int a, int b) {
    return QStringLiteral("D%1_T%2").arg(a).arg(b);
}

QString FindU_ByManual() {
    const QString mountPoint = QLatin1String(devices::kMountPoint);
    sys::actions().run(QStringLiteral("umount"), {mountPoint}, devices::kCommandTimeoutMs);
    for (const char* device : devices::kManualUsbDevices) {
        const sys::CommandResult mounted =
            sys::actions().run(QStringLiteral("mount"), {QLatin1String(device), mountPoint},
                               devices::kCommandTimeoutMs);
        if (mounted.ok()) return mountPoint;
    }
    qWarning().noquote() << "FindU_ByManual: no USB disk could be mounted on" << mountPoint;
    return QString();
}

double CaclTime() {
    static devices::TimeStats times;
    const double ms = times.lap(sys::actions().nowMSecsSinceEpoch());
    std::printf("%f\n", ms);
    return ms;
}
