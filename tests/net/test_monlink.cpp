// The monitoring link against a fake companion: start-up, gate codes, ticks, reconnection, the
// event rules the cycle test does not reach; the platform time through the recording seam.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "globals.h"
#include "linkrig.h"
#include "monlinklimits.h"
#include "testsupport.h"

using linktest::LinkRig;
using testsupport::recorder;

namespace {

const QString kHeartbeat = QStringLiteral("/inline/bymain/heartbeat");
const QString kOffer = QStringLiteral("/inline/bymain/offervideomem");

QJsonObject object(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

}  // namespace

TEST(MonLink, StartsTheCompanionAndTellsWhySendingIsRefused) {
    recorder().clear();
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    const QVector<sys::RecordedAction> actions = recorder().recorded();
    ASSERT_EQ(recorder().programs(), (QStringList{"killall", "killall", "/bin/sh"}));
    EXPECT_EQ(actions[0].args + actions[1].args,
              (QStringList{"-9", "rurez_ozuvodi", "-9", "rer_erer"}));
    // The path (with its blank) reaches the companion as one argument.
    EXPECT_EQ(actions[2].args.mid(2),
              (QStringList{"./cnt_net/rurez_ozuvodi/rurez_ozuvodi", rig.configPath()}));
    EXPECT_EQ(rig.link->linkTimer()->interval(), monlink::kTickMs);

    const struct {
        const char* result;  // of the heartbeat reply
        int gate;
    } rows[] = {{R"({"register":true})", -3},
                {R"({"cntserver":true})", -4},
                {R"({"cntserver":"true","register":true})", -3},
                {R"({"cntserver":true,"register":true,"needvideo":true})", 1}};
    for (const auto& row : rows) {
        ASSERT_TRUE(rig.setFlags(object(row.result))) << row.result;
        EXPECT_EQ(rig.link->isAllowSnd(), row.gate) << row.result;
    }
    rig.link->handle_HeartBeat(QStringLiteral(R"({"code":0})"));
    EXPECT_FALSE(rig.link->cntServer() || rig.link->registered() || rig.link->needVideo());

    rig.link->handle_HeartBeat(QStringLiteral(R"({"result":{"cntserver":true,"register":true}})"));
    recorder().setNow(QDateTime::currentDateTime().addMSecs(monlink::kAliveWindowMs));
    EXPECT_EQ(rig.link->isAllowSnd(), -2) << "silent for the alive window";
    recorder().setNow(QDateTime());

    rig.link->setWorkTask(false, false);
    EXPECT_EQ(rig.link->isAllowSnd(), -1);
    recorder().clear();
    rig.link->InitStart();
    EXPECT_EQ(recorder().programs(), (QStringList{"killall", "killall"}));
    EXPECT_FALSE(rig.link->linkTimer()->isActive());
}

TEST(MonLink, TicksHeartbeatReconnectAndRestart) {
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    rig.link->TimerLinkTick();
    rig.link->TimerLinkTick();
    rig.link->sndVideoMeminfo();  // a fence: it leaves after anything the ticks sent
    rig.await(kOffer);
    EXPECT_TRUE(rig.companion.received(kHeartbeat).isEmpty());
    rig.link->TimerLinkTick();
    ASSERT_EQ(rig.await(kHeartbeat).size(), 1);
    EXPECT_EQ(rig.companion.received(kHeartbeat)[0].json(),
              (QJsonObject{{"deviceBaseinfo", "cpu：10%，memory：10%，disk：10%"},
                           {"deviceState", "UNKNOW"},
                           {"isPutVideo", false},
                           {"cameracount", numCamera}}));

    // The companion dies: the reconnect fails and the companion is started again.
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    const quint16 port = rig.companion.port();
    rig.companion.stop();
    ASSERT_TRUE(testsupport::waitFor([&] { return !rig.link->getSoftCnted(); }));
    recorder().clear();
    rig.link->TimerLinkTick();
    EXPECT_EQ(recorder().programs(), (QStringList{"killall", "killall", "/bin/sh"}));
    EXPECT_EQ(rig.link->isAllowSnd(), -2);
    EXPECT_FALSE(rig.link->cntServer());
    // Back again: the next tick reconnects and announces itself.
    ASSERT_TRUE(rig.companion.listen(port));
    rig.companion.clear();
    rig.link->TimerLinkTick();
    EXPECT_EQ(rig.await(kHeartbeat).size(), 1);
    EXPECT_EQ(rig.await(kOffer).size(), 1);
    EXPECT_TRUE(testsupport::waitFor([&] { return rig.link->isAllowSnd() == 1; }));

    recorder().clear();
    for (int tick = 6; tick < monlink::kRestartEveryTicks; ++tick) rig.link->TimerLinkTick();
    EXPECT_FALSE(recorder().ran("killall")) << "a live link is kept";
    rig.link->TimerLinkTick();
    EXPECT_EQ(recorder().programs().count("killall"), 2) << "restarted anyway";
}

TEST(MonLink, EventRulesBeyondTheCycle) {
    LinkRig rig;
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    MON_NETMN& link = *rig.link;
    link.sndAlarmStartTiming(1);
    link.addClearMethod(0, 5);
    link.addClearMethod(1, 9);
    EXPECT_EQ(link.clearMethod(), QStringLiteral(" 相机1:添加为模板解除 相机2:unknow"));
    link.sndAlarmPicture(object(R"({"camera":0,"detect":1,"result":1})"), "/f/ok.jpg");
    link.sndAlarmPicture(object(R"({"camera":0,"detect":1,"result":0})"), "/f/ng.jpg");
    link.sndAlarmFinishTiming();  // not released
    link.setAlarmState(2);
    link.sndAlarmFinishTiming();
    link.sndAlarmFinishTiming();  // reported already
    link.syncTempList(object(R"({"camera":[0,1],"detect":[2,3]})"));
    param_roi r;
    for (int camera : {1, 0, 0}) {
        r.camera = camera;
        r.detect = 1 - camera;
        link.appendRoiResult(r);
    }
    link.sndDetectOnceInfo(true);

    const auto sent = [&](const char* name) {
        return rig.await(QStringLiteral("/inline/bymain/") + name);
    };
    ASSERT_EQ(sent("alarmpicture").size(), 1);
    EXPECT_EQ(sent("alarmpicture")[0].json()["alarmpic_path"], "/f/ng.jpg");
    EXPECT_EQ(sent("alarm_finishtiming").size(), 1);
    EXPECT_EQ(sent("synctemplist").value(0).json(), (QJsonObject{{"cameraId", QJsonArray{0, 1}},
                                                                 {"detectId", QJsonArray{2, 3}},
                                                                 {"pagenum", 1},
                                                                 {"pagesize", 10}}));
    const QJsonArray groups = sent("detectonceinfo").value(0).json()["detect_detail"].toArray();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].toObject()["camera"], 0);
    EXPECT_EQ(groups[0].toObject()["roi_detail"].toArray().size(), 2);
    EXPECT_FALSE(
        groups[0].toObject()["roi_detail"].toArray()[0].toObject().contains("algorithm_param"));

    // A closed gate keeps nothing, forgets the clearing text and sends nothing.
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true})")));
    link.appendRoiResult(r);
    link.addClearMethod(0, 4);
    link.sndDetectOnceInfo(true);
    EXPECT_EQ(link.pendingRoiResults(), 0);
    EXPECT_TRUE(link.clearMethod().isEmpty());
    link.sndVideoMeminfo();
    rig.await(kOffer);
    EXPECT_EQ(sent("detectonceinfo").size(), 1);
}

// The clock is set only from a well-formed, plausible server time, and only through the seam.
TEST(MonLink, ClockFromThePlatformServer) {
    fakepeer::FakeTimeService server;
    ASSERT_TRUE(server.listen());
    const QString port = QString::number(server.port());
    const QByteArray time = R"({"result":{"time":1700000000123}})";
    const struct {
        QJsonValue address, port;
        QByteArray body;  // empty: the server never answers
        bool requested, set;
    } rows[] = {
        {"127.0.0.1", port, time, true, true},
        {"127.0.0.1", port, R"({"result":{"time":"1700000000123"}})", true, false},
        {"127.0.0.1", port, R"({"result":{"time":1700000000}})", true, false},  // seconds
        {"127.0.0.1", port, R"({"result":{"time":-5}})", true, false},
        {"127.0.0.1", port, R"({"time":1700000000123})", true, false},
        {"127.0.0.1", port, "", true, false},
        {"127.0.0.1/x?", port, time, false, false},
        {12700, port, time, false, false},
        {"127.0.0.1", server.port(), time, false, false},
    };
    for (const auto& row : rows) {
        testsupport::WorkDir dir;
        QDir().mkpath("cnt_net");
        QFile config("cnt_net/config.json");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QJsonDocument(QJsonObject{{"serveraddr", row.address},
                                               {"serverport", row.port},
                                               {"device_worknetfunc", true}})
                         .toJson());
        config.close();
        server.clear();
        server.setBody(row.body);
        recorder().clear();
        MON_NETMN link;  // with the network function on, construction asks for the time
        const std::string what = (row.body + " " + row.address.toString()).toStdString();
        EXPECT_EQ(server.received().size(), row.requested ? 1 : 0) << what;
        const QStringList expected{
            QDateTime::fromMSecsSinceEpoch(1700000000000).toString(Qt::ISODate)};
        QStringList set;
        for (const sys::RecordedAction& action : recorder().recorded())
            if (action.kind == "settime") set << action.program;
        EXPECT_EQ(set, row.set ? expected : QStringList()) << what;
    }
}

// The link restarts every 15 minutes (and whenever the companion is started again). Messages
// posted just before a restart still reach the companion, in the order they were posted: an
// alarm's start before the restart and its end after it, or the other way round.
TEST(MonLink, MessagesPostedJustBeforeARestartArriveInOrder) {
    LinkRig rig;
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    MON_NETMN& link = *rig.link;
    rig.companion.clear();
    constexpr int kRounds = 4;
    QStringList posted;
    for (int round = 0; round < kRounds; ++round) {
        link.sndAlarmStartTiming(round);
        posted << QString("alarm_starttiming %1").arg(round);
        link.InitStart();
        ASSERT_EQ(link.isAllowSnd(), 1);
        link.setAlarmState(2);
        link.sndAlarmFinishTiming();
        posted << QString("alarm_finishtiming %1").arg(link.alarmUuid());
        link.InitStart();
        ASSERT_EQ(link.isAllowSnd(), 1);
    }
    // Every message is answered in the end; one the old connection may have delivered comes
    // again (with its task id), so the first arrival of each is what counts.
    ASSERT_TRUE(testsupport::waitFor([&] { return link.unansweredMessages() == 0; }));
    QStringList arrived;
    for (const fakepeer::Request& request : rig.companion.received()) {
        const QString name = request.url.section('/', -1);
        QString message;
        if (name == "alarm_starttiming")
            message = name + " " + QString::number(request.json()["alarm_detect"].toInt());
        else if (name == "alarm_finishtiming")
            message = name + " " + request.json()["uuid"].toString();
        if (!message.isEmpty() && !arrived.contains(message)) arrived << message;
    }
    EXPECT_EQ(arrived, posted);
}

// A message the companion never answers is posted on a few connections, then given up.
TEST(MonLink, AMessageNeverAnsweredIsGivenUp) {
    LinkRig rig;
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    rig.companion.setAnswering(false);
    rig.companion.clear();
    testsupport::MessageCatcher warnings;
    rig.link->sndRecordOperate(object(R"({"remarks":"kept"})"));
    for (int restart = 0; restart < monlink::kMaxMessageSends; ++restart) {
        EXPECT_EQ(rig.link->unansweredMessages(), 1);
        rig.link->InitStart();
    }
    EXPECT_EQ(rig.link->unansweredMessages(), 0);
    EXPECT_EQ(warnings.count("given up"), 1);
    EXPECT_EQ(rig.await("/inline/bymain/recordoperate", monlink::kMaxMessageSends).size(),
              monlink::kMaxMessageSends);
}
