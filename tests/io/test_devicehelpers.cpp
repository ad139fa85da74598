// LEDs, backlight, USB disk search and the watchdog flag, all through the recording seam.
#include <gtest/gtest.h>

#include <QFile>
#include <QTextStream>

#include "devicehelpers.h"
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

TEST(LedBits, RequestCodesCarryTheEightBits) {
    devices::LedBits leds;
    EXPECT_EQ(leds.set(6, 1), 0x5A0180FFul);
    EXPECT_EQ(leds.set(7, 0), 0x5A01807Ful);
    EXPECT_EQ(leds.set(4, 2), 0x5A01806Ful);  // only the lowest bit of "on" counts
    EXPECT_EQ(leds.set(8, 1), 0x5A01806Ful);  // no ninth LED
    EXPECT_EQ(leds.bits(), 0x6F);
}

TEST_F(DeviceHelpersTest, LedsAreSentOnlyWithTheDeviceOpen) {
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
    EXPECT_TRUE(devices::backlightBySysfs(
        QStringLiteral("Linux version 6.5.0-14-generic (buildd@lcy02) #14~22.04.1-Ubuntu")));
    EXPECT_FALSE(devices::backlightBySysfs(
        QStringLiteral("Linux version 5.15.0-91-generic (buildd@lcy02) #101-Ubuntu")));
    EXPECT_FALSE(devices::backlightBySysfs(QString()));
    EXPECT_FALSE(devices::backlightBySysfs(QStringLiteral(" Linux version 6.5.0-14-generic")));

    gfLED = kFakeLedFd;
    linux_kernel_proc_version = QStringLiteral("Linux version 6.5.0-14-generic #14");
    LCDOnOff(0);
    LCDOnOff(1);
    const auto actions = testsupport::recorder().recorded();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0].kind, QStringLiteral("write"));
    EXPECT_EQ(actions[0].program, QStringLiteral("/sys/class/backlight/intel_backlight/bl_power"));
    EXPECT_EQ(actions[0].data, QByteArray("1\n"));
    EXPECT_EQ(actions[1].data, QByteArray("0\n"));

    testsupport::recorder().clear();
    linux_kernel_proc_version = QStringLiteral("Linux version 5.15.0-91-generic #101");
    LCDOnOff(0);
    LCDOnOff(1);
    EXPECT_EQ(ioctlRequests(), (QStringList{"5a018a00", "5a018b00"}));

    testsupport::recorder().clear();
    gfLED = -1;
    LCDOnOff(1);
    EXPECT_TRUE(testsupport::recorder().recorded().isEmpty());
}

TEST_F(DeviceHelpersTest, StopWTDClearsTheFlagAndWaits) {
    gisRunWTD = 1;
    StopWTD();
    EXPECT_EQ(gisRunWTD, 0);
    EXPECT_EQ(testsupport::recorder().programs(), QStringList{"sleep"});
}

TEST_F(DeviceHelpersTest, ExitEndsTheProcessWithItsStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Exit(3), ::testing::ExitedWithCode(3), "");
}

TEST(PickUsbDevice, SkipsEveryPartitionOfTheSystemDisk) {
    // The system disk's vfat (EFI) partition is listed before its ext4 root.
    const QByteArray listing =
        "/dev/sda1: UUID=\"AB12\" TYPE=\"vfat\" PARTUUID=\"1\"\n"
        "/dev/sda2: UUID=\"c0ffee\" TYPE=\"ext4\" PARTUUID=\"2\"\n"
        "/dev/sdb1: LABEL=\"USB\" UUID=\"1234\" TYPE=\"vfat\"\n";
    EXPECT_EQ(devices::pickUsbDevice(listing), QStringLiteral("/dev/sdb1"));

    EXPECT_EQ(devices::pickUsbDevice("/dev/sda2: TYPE=\"ext4\"\n/dev/sda1: TYPE=\"vfat\"\n"),
              QString());
    EXPECT_EQ(devices::pickUsbDevice("/dev/nvme0n1p2: TYPE=\"ext4\"\n"
                                     "/dev/nvme0n1p1: TYPE=\"vfat\"\n"
                                     "/dev/sdc1: TYPE=\"exfat\"\n"),
              QStringLiteral("/dev/sdc1"));
    EXPECT_EQ(devices::pickUsbDevice("/dev/sdd1: TYPE=\"ntfs\"\n"), QStringLiteral("/dev/sdd1"));
    EXPECT_EQ(devices::pickUsbDevice("/dev/sdd1: TYPE=\"swap\"\n/dev/loop0: TYPE=\"squashfs\"\n"),
              QString());
    // Nothing that mount could take for an option, and nothing after a NUL.
    EXPECT_EQ(devices::pickUsbDevice("-o remount: TYPE=\"vfat\"\n"), QString());
    EXPECT_EQ(devices::pickUsbDevice(QByteArray("\0/dev/sdb1: TYPE=\"vfat\"\n", 24)), QString());
}

class FindAUTest : public DeviceHelpersTest {
protected:
    void SetUp() override {
        DeviceHelpersTest::SetUp();
        mounts = dir.file(QStringLiteral("mounts"));
        writeMounts("/dev/sda2 / ext4 rw 0 0\n");
        // The scripted mount and umount edit the fake table as the real ones would.
        testsupport::recorder().scriptCommand(
            QStringLiteral("mount"), [this](const QStringList& a) {
                appendMount(a.value(0) + ' ' + a.value(1) + " vfat rw 0 0\n");
                return sys::CommandResult{true, 0, {}};
            });
        testsupport::recorder().scriptCommand(QStringLiteral("umount"),
                                              [this](const QStringList& a) {
                                                  removeMountsOn(a.value(0));
                                                  return sys::CommandResult{true, 0, {}};
                                              });
    }
    void TearDown() override {
        testsupport::recorder().scriptCommand(QStringLiteral("mount"),
                                              sys::CommandResult{true, 0, {}});
        testsupport::recorder().scriptCommand(QStringLiteral("umount"),
                                              sys::CommandResult{true, 0, {}});
        DeviceHelpersTest::TearDown();
    }
    void blkid(const QByteArray& listing) {
        testsupport::recorder().scriptCommand(QStringLiteral("blkid"),
                                              sys::CommandResult{true, 0, listing});
    }
    void writeMounts(const QByteArray& text) {
        QFile file(mounts);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void appendMount(const QString& line) {
        QFile file(mounts);
        if (file.open(QIODevice::Append)) file.write(line.toUtf8());
    }
    void removeMountsOn(const QString& point) {
        QFile file(mounts);
        if (!file.open(QIODevice::ReadOnly)) return;
        QByteArray kept;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty() && line.split(' ').value(1) != point.toUtf8()) kept += line + '\n';
        file.close();
        writeMounts(kept);
    }
    QVector<sys::RecordedAction> commands() const {
        QVector<sys::RecordedAction> runs;
        for (const auto& action : testsupport::recorder().recorded())
            if (action.kind == QLatin1String("run")) runs << action;
        return runs;
    }

    testsupport::WorkDir dir;
    QString mounts;
};

TEST_F(FindAUTest, MountsTheUsbDiskOnMntAsArgumentLists) {
    blkid("/dev/sda1: TYPE=\"vfat\"\n/dev/sda2: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QStringLiteral("/mnt"));
    const auto runs = commands();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].program, QStringLiteral("blkid"));
    EXPECT_TRUE(runs[0].args.isEmpty());
    EXPECT_EQ(runs[1].program, QStringLiteral("mount"));
    EXPECT_EQ(runs[1].args, (QStringList{"/dev/sdb1", "/mnt"}));
}

TEST_F(FindAUTest, WhateverHoldsMntIsUnmountedFirst) {
    writeMounts(
        "/dev/sda2 / ext4 rw 0 0\n/dev/sdc1 /mnt vfat rw 0 0\n/dev/sdd1 /mnt2 vfat rw 0 0\n");
    blkid("/dev/sda2: TYPE=\"ext4\"\n/dev/sdc1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QStringLiteral("/mnt"));
    const auto runs = commands();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[1].program, QStringLiteral("umount"));
    EXPECT_EQ(runs[1].args, QStringList{"/mnt"});
    EXPECT_EQ(runs[2].program, QStringLiteral("mount"));
    EXPECT_EQ(runs[2].args, (QStringList{"/dev/sdc1", "/mnt"}));
}

TEST_F(FindAUTest, FailuresGiveAnEmptyResult) {
    blkid(QByteArray());
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QString());
    EXPECT_EQ(commands().size(), 1);

    testsupport::recorder().clear();
    blkid("/dev/sda2: TYPE=\"ext4\"\n/dev/sda1: TYPE=\"vfat\"\n");
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QString());
    EXPECT_EQ(commands().size(), 1);  // no candidate: nothing mounted

    testsupport::recorder().clear();
    blkid("/dev/sdb1: TYPE=\"vfat\"\n");
    testsupport::recorder().scriptCommand(QStringLiteral("mount"),
                                          sys::CommandResult{true, 32, {}});
    EXPECT_EQ(devices::UsbDiskFinder(mounts).find(), QString());  // mount did not take

    testsupport::recorder().clear();
    EXPECT_EQ(devices::UsbDiskFinder(dir.file(QStringLiteral("missing"))).find(), QString());
    EXPECT_EQ(commands().size(), 1);  // an unreadable mount table: nothing mounted
}

TEST_F(DeviceHelpersTest, FindAUOffThePanelFindsNothing) {
    // The recording seam's blkid answers nothing, like the dry run off the panel.
    testsupport::recorder().scriptCommand(QStringLiteral("blkid"), sys::CommandResult{true, 0, {}});
    EXPECT_EQ(FindAU(), QString());
    EXPECT_FALSE(testsupport::recorder().ran(QStringLiteral("mount")));
}

}  // namespace
