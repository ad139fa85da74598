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
// A bound, not a measure: waits end with their event, and a sanitizer build on a busy machine
// runs several times slower.
constexpr int kWaitMs = 30000;

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
            p.picNumNG = 5;
        },
        recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    MON_NETMN* link = MON_NETMN::getInstance();
    link->setWorkTask(true, false);
    link->InitStart();
    link->sndHeartBeat();
    // The link is the process's own and may still allow sending from an earlier run: the
    // heartbeat must have reached this companion.
    ASSERT_TRUE(rig.waitFor(
        [&] { return link->isAllowSnd() == 1 && !companion.received(url("heartbeat")).isEmpty(); },
        kWaitMs));
    EXPECT_EQ(companion.received(url("heartbeat")).last().json()["deviceState"], "运行中");

    // Product step passes, mould step fails: the scene changes as soon as the product step is
    // decided, before the mould step's delay can end.
    const int decided = gAllNum[0];
    rig.whenBetweenEvents([&] { return gAllNum[0] > decided; }, [&] { rig.setAllScenes(true); });
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitOutput(kEjector, true, kWaitMs));
    ASSERT_TRUE(rig.waitOutput(kEjector, false, kWaitMs));
    ASSERT_TRUE(rig.waitOutput(kAlarm, true, kWaitMs));
    ASSERT_TRUE(rig.waitFor(
        [&] {
            return companion.received(url("detectonceinfo")).size() == 2 &&
                   !companion.received(url("recordoperate")).isEmpty();
        },
        kWaitMs));

    const QString alarm = link->alarmUuid();
    EXPECT_EQ(companion.received(url("alarm_starttiming")).value(0).json(),
              (QJsonObject{{"alarm_detect", 1}, {"uuid", alarm}}));
    const QList<fakepeer::Request> steps = companion.received(url("detectonceinfo"));
    for (int step : {0, 1}) {
        const QJsonObject body = steps[step].json();
        const QJsonObject group = body["detect_detail"].toArray()[0].toObject();
        EXPECT_EQ(body["result"].toBool(), step == 0);
        EXPECT_EQ(group["detect"], step);
        EXPECT_EQ(group["roi_detail"].toArray()[0].toObject()["is_alarm"], step == 0 ? 1 : 0);
    }
    EXPECT_EQ(companion.received(url("recordoperate")).last().json()["remarks"],
              rig.records().value(rig.records().size() - 1));
    EXPECT_TRUE(companion.received(url("alarm_finishtiming")).isEmpty());

    // The operator clears the alarm; the next good mould step reports its end.
    rig.setAllScenes(false);
    rig.window().SlotClearNGAlarm();
    ASSERT_TRUE(rig.waitOutput(kAlarm, false, kWaitMs));
    rig.setInput(0, false);
    ASSERT_TRUE(rig.waitInputSeen(0, false, kWaitMs));
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitFor(
        [&] { return !companion.received(url("alarm_finishtiming")).isEmpty(); }, kWaitMs));
    EXPECT_EQ(companion.received(url("alarm_finishtiming"))[0].json()["uuid"], alarm);
    // The failed step's picture goes to the saver once the alarm's handling is written on it.
    ASSERT_TRUE(
        rig.waitFor([&] { return !companion.received(url("alarmpicture")).isEmpty(); }, kWaitMs));
    const QJsonObject picture = companion.received(url("alarmpicture"))[0].json();
    EXPECT_EQ(picture["result"], 0);
    EXPECT_EQ(picture["detect"], 1);
    EXPECT_EQ(picture["uuid"], alarm);
    EXPECT_TRUE(picture["alarmpic_path"].toString().endsWith(".jpg"));

    link->setWorkTask(false, false);
    link->InitStart();
    // The link outlives this companion and would send what it left unanswered to the next one.
    EXPECT_TRUE(rig.waitFor([&] { return link->unansweredMessages() == 0; }, kWaitMs));
}
