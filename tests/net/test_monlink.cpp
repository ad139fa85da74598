// The monitoring link against a fake companion: start-up, ticks, gate codes, every message's
// body, reconnection; the platform time through the recording seam.
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

QJsonObject object(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

param_roi region(int camera, int detect, int id) {
    param_roi r;
    r.camera = camera;
    r.detect = detect;
    r.roi_id = id;
    r.algorithm_type = 2;
    r.algorithm_result = 40 + id;
    r.algorithm_sensitivity = 10;
    r.algorithm_areaMin = 90;
    r.algorithm_param = 7;
    r.is_alarm = 1;
    return r;
}

}  // namespace

class MonLink : public ::testing::Test {
protected:
    void SetUp() override { recorder().clear(); }
    void TearDown() override { recorder().setNow(QDateTime()); }
};

TEST_F(MonLink, StartsTheCompanionAndTellsWhySendingIsRefused) {
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    const QVector<sys::RecordedAction> actions = recorder().recorded();
    ASSERT_GE(actions.size(), 3);
    EXPECT_EQ(actions[0].args, (QStringList{"-9", "rurez_ozuvodi"}));
    EXPECT_EQ(actions[1].args, (QStringList{"-9", "rer_erer"}));
    EXPECT_EQ(actions[2].kind, "start");
    // The path (with its blank) reaches the companion as one argument.
    EXPECT_EQ(actions[2].args.mid(2),
              (QStringList{"./cnt_net/rurez_ozuvodi/rurez_ozuvodi", rig.configPath()}));
    EXPECT_EQ(rig.link->linkTimer()->interval(), monlink::kTickMs);
    EXPECT_TRUE(rig.link->linkTimer()->isActive());

    // Heartbeat replies, one row each: flags, then the gate code.
    const struct {
        const char* result;
        int gate;
    } rows[] = {{R"({"register":true})", -3},
                {R"({"cntserver":true})", -4},
                {R"({"cntserver":"true","register":true})", -3},
                {R"({"cntserver":true,"register":true,"needvideo":true})", 1}};
    for (const auto& row : rows) {
        ASSERT_TRUE(rig.setFlags(object(row.result))) << row.result;
        EXPECT_EQ(rig.link->isAllowSnd(), row.gate) << row.result;
    }
    EXPECT_TRUE(rig.link->needVideo());
    rig.link->handle_HeartBeat(QStringLiteral(R"({"code":0})"));
    EXPECT_FALSE(rig.link->cntServer() || rig.link->registered() || rig.link->needVideo());

    // Silent longer than the alive window: not connected, whatever the flags.
    rig.link->handle_HeartBeat(QStringLiteral(R"({"result":{"cntserver":true,"register":true}})"));
    recorder().setNow(QDateTime::currentDateTime().addMSecs(monlink::kAliveWindowMs));
    EXPECT_EQ(rig.link->isAllowSnd(), -2);
    recorder().setNow(QDateTime());

    rig.link->setWorkTask(false, false);
    EXPECT_EQ(rig.link->isAllowSnd(), -1);
    recorder().clear();
    rig.link->InitStart();
    EXPECT_EQ(recorder().programs(), (QStringList{"killall", "killall"}));
    EXPECT_FALSE(rig.link->linkTimer()->isActive());
}

TEST_F(MonLink, HeartbeatEveryThirdTickAndRestartEvery1200) {
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    rig.link->TimerLinkTick();
    rig.link->TimerLinkTick();
    rig.link->sndVideoMeminfo();  // a fence: it leaves after anything the ticks sent
    rig.await(QStringLiteral("/inline/bymain/offervideomem"));
    EXPECT_TRUE(rig.companion.received(kHeartbeat).isEmpty());
    rig.link->TimerLinkTick();
    const QList<fakepeer::Request> beats = rig.await(kHeartbeat);
    ASSERT_EQ(beats.size(), 1);
    EXPECT_EQ(beats[0].json(), (QJsonObject{{"deviceBaseinfo", "cpu：10%，memory：10%，disk：10%"},
                                            {"deviceState", "UNKNOW"},
                                            {"isPutVideo", false},
                                            {"cameracount", numCamera}}));

    recorder().clear();
    for (int tick = 4; tick < monlink::kRestartEveryTicks; ++tick) rig.link->TimerLinkTick();
    EXPECT_FALSE(recorder().ran("killall")) << "a live link is kept";
    rig.link->TimerLinkTick();
    EXPECT_EQ(recorder().programs().count("killall"), 2);
}

TEST_F(MonLink, EveryEventCarriesItsBody) {
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    MON_NETMN& link = *rig.link;

    link.sndAlarmStartTiming(1);
    const QString alarm = link.alarmUuid();
    EXPECT_EQ(alarm.size(), 36) << alarm.toStdString();
    link.addClearMethod(0, 5);
    link.addClearMethod(1, 9);
    EXPECT_EQ(link.clearMethod(), QStringLiteral(" 相机1:添加为模板解除 相机2:unknow"));
    link.sndAlarmPicture(object(R"({"camera":0,"detect":1,"result":1})"), "/f/ok.jpg");
    link.sndAlarmPicture(object(R"({"camera":0,"detect":1,"result":0})"), "/f/ng.jpg");
    link.sndAlarmFinishTiming();  // not released yet
    link.setAlarmState(2);
    link.sndAlarmFinishTiming();
    link.sndAlarmFinishTiming();  // reported already
    link.sndRecordOperate(object(R"({"recordtime":"t","recordpassword":"p","remarks":"r","x":1})"));
    link.syncTempList(object(R"({"camera":[0,1],"detect":[2,3]})"));
    for (const param_roi& r : {region(1, 0, 5), region(0, 1, 3), region(0, 1, 2)})
        link.appendRoiResult(r);
    link.sndDetectOnceInfo(false);
    EXPECT_EQ(link.pendingRoiResults(), 0);

    const auto body = [&](const char* url) {
        const QList<fakepeer::Request> sent = rig.await(QStringLiteral("/inline/bymain/") + url);
        EXPECT_EQ(sent.size(), 1) << url;
        return sent.value(0).json();
    };
    EXPECT_EQ(body("alarm_starttiming"), (QJsonObject{{"alarm_detect", 1}, {"uuid", alarm}}));
    EXPECT_EQ(body("alarmpicture"), (QJsonObject{{"camera", 0},
                                                 {"detect", 1},
                                                 {"result", 0},
                                                 {"alarmpic_path", "/f/ng.jpg"},
                                                 {"uuid", alarm}}));
    EXPECT_EQ(body("alarm_finishtiming"),
              (QJsonObject{{"clear_method", link.clearMethod()}, {"uuid", alarm}}));
    EXPECT_EQ(body("recordoperate"),
              (QJsonObject{{"recordtime", "t"}, {"recordpassword", "p"}, {"remarks", "r"}}));
    EXPECT_EQ(body("synctemplist"), (QJsonObject{{"cameraId", QJsonArray{0, 1}},
                                                 {"detectId", QJsonArray{2, 3}},
                                                 {"pagenum", 1},
                                                 {"pagesize", 10}}));
    const auto roi = [](int id) {
        return QJsonObject{{"roi_id", id},
                           {"algorithm_type", 2},
                           {"algorithm_result", 40 + id},
                           {"algorithm_sensitivity", 10},
                           {"algorithm_areaMin", 90},
                           {"is_alarm", 1}};
    };
    EXPECT_EQ(
        body("detectonceinfo"),
        (QJsonObject{
            {"result", false},
            {"detect_detail",
             QJsonArray{
                 QJsonObject{
                     {"camera", 0}, {"detect", 1}, {"roi_detail", QJsonArray{roi(3), roi(2)}}},
                 QJsonObject{{"camera", 1}, {"detect", 0}, {"roi_detail", QJsonArray{roi(5)}}}}}}));

    // A closed gate keeps nothing and sends nothing.
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true})")));
    link.appendRoiResult(region(0, 0, 1));
    link.addClearMethod(0, 4);
    link.sndDetectOnceInfo(true);
    link.sndAlarmStartTiming(0);
    EXPECT_EQ(link.pendingRoiResults(), 0);
    EXPECT_TRUE(link.clearMethod().isEmpty());
    link.sndVideoMeminfo();
    rig.await(QStringLiteral("/inline/bymain/offervideomem"));
    EXPECT_EQ(rig.companion.received("/inline/bymain/detectonceinfo").size(), 1);
    EXPECT_EQ(rig.companion.received("/inline/bymain/alarm_starttiming").size(), 1);
}

TEST_F(MonLink, ReconnectsAndRestartsTheCompanionAfterItDied) {
    LinkRig rig;
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(rig.setFlags(object(R"({"cntserver":true,"register":true})")));
    const quint16 port = rig.companion.port();
    rig.companion.stop();
    ASSERT_TRUE(testsupport::waitFor([&] { return !rig.link->getSoftCnted(); }));
    recorder().clear();
    rig.link->TimerLinkTick();  // the reconnect fails: the companion is started again
    EXPECT_EQ(recorder().programs(), (QStringList{"killall", "killall", "/bin/sh"}));
    EXPECT_EQ(rig.link->isAllowSnd(), -2);
    EXPECT_FALSE(rig.link->cntServer());

    ASSERT_TRUE(rig.companion.listen(port));
    rig.companion.clear();
    recorder().clear();
    rig.link->TimerLinkTick();
    EXPECT_TRUE(rig.link->getSoftCnted());
    EXPECT_FALSE(recorder().ran("killall"));
    EXPECT_EQ(rig.await(kHeartbeat).size(), 1);
    EXPECT_EQ(rig.await("/inline/bymain/offervideomem").size(), 1);
    EXPECT_TRUE(testsupport::waitFor([&] { return rig.link->isAllowSnd() == 1; }));
}

// The clock is set only from a well-formed, plausible server time, and only through the seam.
TEST_F(MonLink, ClockFromThePlatformServer) {
    fakepeer::FakeTimeService server;
    ASSERT_TRUE(server.listen());
    const QString port = QString::number(server.port());
    const qint64 valid = 1700000000123LL;
    const struct {
        QJsonValue address;
        QJsonValue port;
        QByteArray body;  // empty: the server never answers
        bool requested;
        bool set;
    } rows[] = {
        {"127.0.0.1", port, R"({"result":{"time":1700000000123}})", true, true},
        {"127.0.0.1", port, R"({"result":{"time":"1700000000123"}})", true, false},
        {"127.0.0.1", port, R"({"result":{"time":1700000000}})", true, false},  // seconds
        {"127.0.0.1", port, R"({"result":{"time":-5}})", true, false},
        {"127.0.0.1", port, R"({"time":1700000000123})", true, false},
        {"127.0.0.1", port, "", true, false},
        {"127.0.0.1/x?", port, R"({"result":{"time":1700000000123}})", false, false},
        {12700, port, R"({"result":{"time":1700000000123}})", false, false},
        {"127.0.0.1", server.port(), R"({"result":{"time":1700000000123}})", false, false},
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
        const QString what = QString::fromUtf8(row.body) + " " + row.address.toString();
        EXPECT_EQ(server.received("/vazeriz17/api/time").size(), row.requested ? 1 : 0)
            << what.toStdString();
        EXPECT_EQ(recorder().programs(), row.set ? QStringList{"settime"} : QStringList())
            << what.toStdString();
        if (row.set) {
            EXPECT_EQ(recorder().recorded()[0].program,
                      QDateTime::fromMSecsSinceEpoch(valid).toString(Qt::ISODate));
        }
    }
}

TEST_F(MonLink, ConfigurationFieldsAndAnOffLink) {
    testsupport::WorkDir dir;
    EXPECT_FALSE(MON_NETMN::getConfigField("device_worknetfunc").isValid()) << "no file";
    QDir().mkpath("cnt_net");
    for (const QByteArray& text : {QByteArray("{not json"), QByteArray("[true]"),
                                   QByteArray(R"({"device_worknetfunc":true})")}) {
        QFile config("cnt_net/config.json");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(text);
        config.close();
        EXPECT_EQ(MON_NETMN::getConfigField("device_worknetfunc"),
                  text.startsWith("{\"") ? QVariant(true) : QVariant())
            << text.toStdString();
    }
    LinkRig off(false);
    EXPECT_FALSE(off.link->workNetFunc());
    EXPECT_FALSE(off.link->linkTimer()->isActive());
    EXPECT_EQ(off.link->isAllowSnd(), -1);
    EXPECT_FALSE(recorder().ran("/bin/sh"));
}
