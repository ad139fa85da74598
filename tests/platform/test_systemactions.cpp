#include <gtest/gtest.h>

#include "dryrunsystemactions.h"
#include "testsupport.h"

TEST(SystemActions, TestsRunOnTheRecordingSeam) {
    auto& rec = testsupport::recorder();
    rec.clear();
    EXPECT_FALSE(sys::actions().isReal());
    sys::actions().run("reboot", {});
    EXPECT_EQ(sys::actions().openDevice("/dev/led", 2), -1);
    EXPECT_EQ(rec.programs(), (QStringList{"reboot", "open"}));
    EXPECT_EQ(sys::actions().servicePort(sys::Service::Modbus, 502), 0);
}

TEST(SystemActions, DryRunPerformsNothing) {
    sys::DryRunSystemActions dry;
    const sys::CommandResult r = dry.run("reboot", {});
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(dry.openDevice("/dev/led", 2), -1);
    qunsetenv("MOULDMON_SERIAL");
    EXPECT_TRUE(dry.serialDevicePath(0).isEmpty());
    qunsetenv("MOULDMON_MODBUS_PORT");
    EXPECT_EQ(dry.servicePort(sys::Service::Modbus, 502), 1502);
}
