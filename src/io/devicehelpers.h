#pragma once
// The panel computer's devices: the front-panel LEDs, the display backlight, a USB disk for
// exports and updates, and the watchdog flag. Every device access and command goes through
// the system seam. GUI thread only.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// LEDs used by the detection cycle.
constexpr int kLedDetecting = 4;
constexpr int kLedResultOK = 6;
constexpr int kLedResultNG = 7;

// LED n on or off. Keeps the eight LED bits for the process (all set at start) and sends them
// to the LED device, when it is open, inside the request code.
void LEDOnOff(int n, int on);
// Backlight on (1) or off (0): the sysfs node on the newer kernels, the LED device otherwise.
// The caller keeps its own screen-off state.
void LCDOnOff(int on);
// Finds a USB disk (vfat, ntfs or exfat, not on the system disk) and mounts it on "/mnt";
// returns "/mnt" when the disk is mounted there, an empty string otherwise.
QString FindAU();
// Clears the watchdog flag and gives the watchdog a second to notice.
void StopWTD();
// Stops the watchdog and the IO thread, then ends the process with status.
[[noreturn]] void Exit(int status);

// Kept for service work by hand; nothing in the program calls these three.
// "D<a>_T<b>", the name of detection a's trigger b.
QString funcNumberToQString(int a, int b);
// Mounts the first USB disk that the usual device names give ("/dev/sdb1", then "/dev/sdc1")
// on "/mnt", whatever was mounted there; returns "/mnt", or an empty string when no mount
// succeeded.
QString FindU_ByManual();
// Milliseconds since the previous call (the first call only stores its time), printed with
// "%f\n"; the durations are kept in one devices::TimeStats for the process.
double CaclTime();

namespace devices {

constexpr unsigned long kLedRequestBase = 0x5A018000;
constexpr unsigned long kBacklightOnRequest = 0x5A018B00;
constexpr unsigned long kBacklightOffRequest = 0x5A018A00;
constexpr const char* kBacklightPowerFile = "/sys/class/backlight/intel_backlight/bl_power";
constexpr const char* kMountPoint = "/mnt";
constexpr const char* kMountsFile = "/proc/mounts";
constexpr int kCommandTimeoutMs = 1000;  // blkid, umount and mount each
constexpr int kWatchdogStopWaitMs = 1000;
// Where a USB disk usually appears when the panel's own disk is sda.
constexpr const char* kManualUsbDevices[] = {"/dev/sdb1", "/dev/sdc1"};
// The shortest duration before any is measured: longer than any piece of work timed by hand.
constexpr double kTimeStatsNoMinimumMs = 10000.0;

// Durations of a piece of work timed again and again, from a stored start to now.
class TimeStats {
public:
    // Measures from the stored start to nowMs, counts it and stores nowMs as the next start.
    // The first call only stores the start and gives 0.
    double lap(qint64 nowMs);
    double last() const { return last_; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double total() const { return total_; }
    int count() const { return count_; }

private:
    bool started_ = false;
    qint64 startMs_ = 0;
    double last_ = 0.0;
    double minimum_ = kTimeStatsNoMinimumMs;
    double maximum_ = 0.0;
    double total_ = 0.0;
    int count_ = 0;
};

// The eight LED bits; each change gives the request code that carries them.
class LedBits {
public:
    unsigned long set(int n, int on);
    quint8 bits() const { return bits_; }

private:
    quint8 bits_ = 0xFF;
};

// True when the kernel text names a kernel whose backlight is switched through sysfs.
bool backlightBySysfs(const QString& kernelVersion);

// The device to mount from a blkid listing: the first vfat, ntfs or exfat partition that does
// not lie on a disk holding an ext4 partition (the system disk); empty when there is none.
QString pickUsbDevice(const QByteArray& blkidListing);

// The whole FindAU procedure; tests give it a mount table and a mount point of their own.
class UsbDiskFinder {
public:
    explicit UsbDiskFinder(const QString& mountsFile = QLatin1String(kMountsFile),
                           const QString& mountPoint = QLatin1String(kMountPoint))
        : mountsFile_(mountsFile), mountPoint_(mountPoint) {}
    // Mounts the disk; returns the mount point, or an empty string when there is no disk.
    QString find();
    // True while something is mounted on the mount point. Once the disk is gone, the mount
    // point is a plain folder on the panel's own disk.
    bool isMounted() const;
    QString mountPoint() const { return mountPoint_; }

private:
    // Mount points and their devices; false when the table cannot be read.
    bool readMounts(QList<QStringList>* entries) const;

    QString mountsFile_;
    QString mountPoint_;
};

}  // namespace devices
