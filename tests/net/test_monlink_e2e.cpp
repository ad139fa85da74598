// The program's own monitoring link during real cycles of the main window: what the fake
// companion receives for a passed product step, a failed mould step and the release.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "cyclefakes.h"
#include "deraRazovi.h"
#include "fakecompanion.h"
#include "globals.h"
#include "mon_netmn.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"

using testsupport::recorder;

namespace {

constexpr int kEjector = 1;
constexpr int kAlarm = 2;
constexpr int kWaitMs = 5000;

QString url(const char* name) {
    return QStringLiteral("/inline/bymain/") + name;
}

}  // namespace

TEST(MonitoringLinkEndToEnd, CyclesReportResultsTheAlarmItsPictureRecordAndRelease) {
    recorder().clear();
    fakepeer::FakeCompanion companion;
    ASSERT_TRUE(companion.listen());
    companion.setHeartbeatResult({{"cntserver", true}, {"register", true}});
    recorder().setServicePort(sys::Service::MonitorLink, companion.port());
    cycletest::WindowRig rig(
        1,
        [](WizardPara& p) {
            cycletest::setOptions(p,
                                  "detectMode=0 detectProdEnable trigInDelay[0]=2 "
                                  "trigInDelay[1]=2");
        },
        recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    MON_NETMN* link = MON_NETMN::getInstance();
    link->setWorkTask(true, false);
    link->InitStart();
    link->sndHeartBeat();
    ASSERT_TRUE(rig.waitFor([&] { return link->isAllowSnd() == 1; }, kWaitMs));
    EXPECT_EQ(companion.received(url("heartbeat")).last().json()["deviceState"], "运行中");

    // Product step passes, mould step fails.
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitOutput(kEjector, true, kWaitMs));
    ASSERT_TRUE(rig.waitOutput(kEjector, false, kWaitMs));
    rig.setAllScenes(true);
    ASSERT_TRUE(rig.waitOutput(kAlarm, true, kWaitMs));
    ASSERT_TRUE(
        rig.waitFor([&] { return !companion.received(url("alarmpicture")).isEmpty(); }, kWaitMs));

    const QString alarm = link->alarmUuid();
    EXPECT_EQ(companion.received(url("alarm_starttiming")).value(0).json(),
              (QJsonObject{{"alarm_detect", 1}, {"uuid", alarm}}));
    const QList<fakepeer::Request> steps = companion.received(url("detectonceinfo"));
    ASSERT_EQ(steps.size(), 2);
    const auto detail = [&](int step) {
        return steps[step].json()["detect_detail"].toArray()[0].toObject();
    };
    EXPECT_TRUE(steps[0].json()["result"].toBool());
    EXPECT_FALSE(steps[1].json()["result"].toBool());
    EXPECT_EQ(detail(0)["detect"], 0);
    EXPECT_EQ(detail(1)["detect"], 1);
    EXPECT_EQ(detail(1)["roi_detail"].toArray().size(), 1);
    EXPECT_EQ(detail(1)["roi_detail"][0]["is_alarm"], 0);
    const QJsonObject picture = companion.received(url("alarmpicture"))[0].json();
    EXPECT_EQ(picture["result"], 0);
    EXPECT_EQ(picture["detect"], 1);
    EXPECT_EQ(picture["uuid"], alarm);
    EXPECT_TRUE(picture["alarmpic_path"].toString().endsWith(".jpg"));
    const QStringList remarks = [&] {
        QStringList texts;
        for (const fakepeer::Request& r : companion.received(url("recordoperate")))
            texts << r.json()["remarks"].toString();
        return texts;
    }();
    EXPECT_TRUE(remarks.contains(rig.records().last())) << remarks.join('|').toStdString();
    EXPECT_TRUE(companion.received(url("alarm_finishtiming")).isEmpty());

    // The operator clears the alarm; the next good mould step reports its end.
    rig.setAllScenes(false);
    rig.window().SlotClearNGAlarm();
    ASSERT_TRUE(rig.waitOutput(kAlarm, false, kWaitMs));
    rig.setInput(0, false);
    rig.waitFor([] { return false; }, 200);
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitFor(
        [&] { return !companion.received(url("alarm_finishtiming")).isEmpty(); }, kWaitMs));
    EXPECT_EQ(companion.received(url("alarm_finishtiming"))[0].json()["uuid"], alarm);

    link->setWorkTask(false, false);
    link->InitStart();
}
