// LEDs, backlight, USB disk search and the watchdog flag, all through the recording seam.
#include <gtest/gtest.h>

#include <array>

#include "devicehelpers.h"
#include "fakeusbdisk.h"
#include "globals.h"
#include "testsupport.h"

namespace {

constexpr int kFakeLedFd = 42;

QStringList ioctlRequests() {
    QStringList requests;
    for (const sys::RecordedAction& action : testsupport::recorder().recorded())
        if (action.kind == QLatin1String("ioctl")) {
            EXPECT_EQ(action.program, QString::number(kFakeLedFd));
            requests << QString::number(action.args.value(0).toULong(), 16);
        }
    return requests;
}

class DeviceHelpersTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedFd_ = gfLED;
        savedKernel_ = linux_kernel_proc_version;
        testsupport::recorder().clear();
    }
    void TearDown() override {
        gfLED = savedFd_;
        linux_kernel_proc_version = savedKernel_;
        testsupport::recorder().scriptCommand(QStringLiteral("blkid"),
                                              sys::CommandResult{true, 0, {}});
    }

private:
    int savedFd_ = -1;
    QString savedKernel_;
};

TEST_F(DeviceHelpersTest, LedRequestCodesCarryTheEightBitsWhenTheDeviceIsOpen) {
    devices::LedBits leds;
    EXPECT_EQ(leds.set(7, 0), 0x5A01807Ful);
    EXPECT_EQ(leds.set(4, 2), 0x5A01806Ful);  // only the lowest bit of "on" counts
    EXPECT_EQ(leds.set(8, 1), 0x5A01806Ful);  // no ninth LED

    gfLED = -1;
    LEDOnOff(kLedDetecting, 0);
    EXPECT_TRUE(ioctlRequests().isEmpty());
    gfLED = kFakeLedFd;
    LEDOnOff(kLedDetecting, 1);  // the bit kept while the device was missing is sent now
    LEDOnOff(kLedResultNG, 0);
    EXPECT_EQ(ioctlRequests(), (QStringList{"5a0180ff", "5a01807f"}));
    LEDOnOff(kLedResultNG, 1);  // back to the start state for the rest of the process
}

TEST_F(DeviceHelpersTest, BacklightChoosesItsMethodByTheKernel) {
    EXPECT_FALSE(devices::backlightBySysfs(QString()));
    EXPECT_FALSE(devices::backlightBySysfs(QStringLiteral(" Linux version 6.5.0-14-generic")));

    gfLED = kFakeLedFd;
    linux_kernel_proc_version =
        QStringLiteral("Linux version 6.5.0-14-generic (buildd@lcy02) #14~22.04.1-Ubuntu");
    LCDOnOff(0);
    LCDOnOff(1);
    const auto actions = testsupport::recorder().recorded();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0].kind, QStringLiteral("write"));
    EXPECT_EQ(actions[0].program, QStringLiteral("/sys/class/backlight/intel_backlight/bl_power"));
    EXPECT_EQ(actions[0].data, QByteArray("1\n"));
    EXPECT_EQ(actions[1].data, QByteArray("0\n"));

    testsupport::recorder().clear();
    linux_kernel_proc_version = QStringLiteral("Linux version 5.15.0-91-generic #101-Ubuntu");
    LCDOnOff(0);
    LCDOnOff(1);
    EXPECT_EQ(ioctlRequests(), (QStringList{"5a018a00", "5a018b00"}));

    testsupport::recorder().clear();
    gfLED = -1;
    LCDOnOff(1);
    EXPECT_TRUE(testsupport::recorder().recorded().isEmpty());
}

TEST(PickUsbDevice, SkipsEveryPartitionOfTheSystemDisk) {
    const struct {
        QByteArray listing;
        QString device;
    } rows[] = {
        // The system disk's vfat (EFI) partition is listed before its ext4 root.
        {"/dev/sda1: UUID=\"AB12\" TYPE=\"vfat\" PARTUUID=\"1\"\n"
         "/dev/sda2: UUID=\"c0ffee\" TYPE=\"ext4\" PARTUUID=\"2\"\n"
         "/dev/sdb1: LABEL=\"USB\" UUID=\"1234\" TYPE=\"vfat\"\n",
         "/dev/sdb1"},
        {"/dev/sda2: TYPE=\"ext4\"\n/dev/sda1: TYPE=\"vfat\"\n", ""},
        {"/dev/nvme0n1p2: TYPE=\"ext4\"\n/dev/nvme0n1p1: TYPE=\"vfat\"\n/dev/sdc1: "
         "TYPE=\"exfat\"\n",
         "/dev/sdc1"},
        {"/dev/sdd1: TYPE=\"ntfs\"\n", "/dev/sdd1"},
        {"/dev/sdd1: TYPE=\"swap\"\n/dev/loop0: TYPE=\"squashfs\"\n", ""},
        // Nothing that mount could take for an option, and nothing after a NUL.
        {"-o remount: TYPE=\"vfat\"\n", ""},
        {QByteArray("\0/dev/sdb1: TYPE=\"vfat\"\n", 24), ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(devices::pickUsbDevice(row.listing), row.device) << row.listing.constData();
}

class FindAUTest : public DeviceHelpersTest {
protected:
    void blkid(const QByteArray& listing) {
        testsupport::recorder().scriptCommand(QStringLiteral("blkid"),
                                              sys::CommandResult{true, 0, listing});
    }
    // The commands run, as "program arg ...".
    QStringList commands() const {
        QStringList runs;
        for (const auto& action : testsupport::recorder().recorded())
            if (action.kind == QLatin1String("run"))
                runs << (QStringList{action.program} + action.args).join(' ');
        return runs;
    }

    testsupport::FakeUsbDisk disk;  // only its mount table: FindAU mounts on "/mnt"
    const QString mounts = disk.mountsFile();
};

TEST_F(FindAUTest, MountsTheUsbDiskOnMntAfterWhateverHeldIt) {
    blkid("/dev/sda1: TYPE=\"vfat\"\n/dev/sda2: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QStringLiteral("/mnt"));
    EXPECT_EQ(commands(), (QStringList{"blkid", "mount /dev/sdb1 /mnt"}));

    testsupport::recorder().clear();
    disk.setMountTable(
        "/dev/sda2 / ext4 rw 0 0\n/dev/sdd1 /mnt vfat rw 0 0\n/dev/sde1 /mnt2 vfat rw 0 0\n");
    blkid("/dev/sda2: TYPE=\"ext4\"\n/dev/sdc1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QStringLiteral("/mnt"));
    EXPECT_EQ(commands(), (QStringList{"blkid", "umount /mnt", "mount /dev/sdc1 /mnt"}));
}

TEST_F(FindAUTest, FailuresGiveAnEmptyResultWithoutMounting) {
    // No listing; only the system disk; an unreadable mount table.
    for (const QByteArray& listing :
         {QByteArray(), QByteArray("/dev/sda2: TYPE=\"ext4\"\n/dev/sda1: TYPE=\"vfat\"\n")}) {
        testsupport::recorder().clear();
        blkid(listing);
        EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QString());
        EXPECT_EQ(commands(), QStringList{"blkid"});
    }
    testsupport::recorder().clear();
    blkid("/dev/sdb1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts + "-missing").find(), QString());
    EXPECT_EQ(commands(), QStringList{"blkid"});

    // A mount that did not take.
    testsupport::recorder().scriptCommand(QStringLiteral("mount"),
                                          sys::CommandResult{true, 32, {}});
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QString());
}

TEST(TimeStatsTest, KeepsLastShortestLongestTotalAndCount) {
    // At ms: last, minimum, maximum, total, count. The first lap only stores its time.
    const struct {
        qint64 atMs;
        std::array<double, 5> kept;
    } rows[] = {{1000, {0, devices::kTimeStatsNoMinimumMs, 0, 0, 0}},
                {1005, {5, 5, 5, 5, 1}},
                {1007, {2, 2, 5, 7, 2}},
                {1016, {9, 2, 9, 16, 3}}};
    devices::TimeStats t;
    for (const auto& row : rows) {
        EXPECT_EQ(t.lap(row.atMs), row.kept[0]);
        const std::array<double, 5> kept{t.last(), t.minimum(), t.maximum(), t.total(),
                                         double(t.count())};
        EXPECT_EQ(kept, row.kept) << "at " << row.atMs;
    }
}

}  // namespace
