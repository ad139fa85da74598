// The API as apps meet it: the main window over simulated cameras runs real steps, curl and
// Python's http.client ask the routes, fake subscriber apps take the pushes.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <memory>

#include "deraRazovi.h"
#include "globals.h"
#include "httpapiserver.h"
#include "subscriberfakes.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"

using subscribertest::BlackHole;
using subscribertest::FakeSubscriber;
using testsupport::runClient;

namespace {

// A bound, not a measure: waits end with their event, and a sanitizer build on a busy machine
// runs several times slower.
constexpr int kWaitMs = 30000;
const QString kDevice = QStringLiteral("压机-7");

// Sends each [path, body] of `requests` on one http.client connection; prints
// [{"status", "device", "reply"}].
const char* const kPythonClient = R"(
import http.client, json, sys
conn = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]), timeout=5)
out = []
for path, body in json.loads(sys.argv[2]):
    conn.request("POST", path, body=body.encode(), headers={"Content-Type": "application/json"})
    r = conn.getresponse()
    out.append({"status": r.status, "device": r.getheader("Device-ID", "").encode("latin-1").decode(),
                "reply": json.loads(r.read().decode())})
print(json.dumps(out))
)";

QJsonArray python(quint16 port, const QJsonArray& requests) {
    int code = -1;
    const QByteArray out = runClient(
        "python3", {"-c", kPythonClient, QString::number(port), QJsonDocument(requests).toJson()},
        &code);
    return QJsonDocument::fromJson(out).array();
}

QJsonObject curl(quint16 port, const QString& path) {
    int code = -1;
    return QJsonDocument::fromJson(
               runClient("curl",
                         {"-sS", "--max-time", "5", "-H", "Content-Type: application/json", "-d",
                          "{}", QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)},
                         &code))
        .object();
}

QJsonObject subscriber(quint16 port) {
    return QJsonObject{{"subscriber_ip", "127.0.0.1"}, {"subscriber_port", port}};
}

QString subscription(const QJsonArray& subscribers) {
    return QJsonDocument(QJsonObject{{"subscriber", subscribers}}).toJson();
}

QVariantMap subscriberFile() {
    return QSettings("cnt_net/workspace/subscriber.ini", QSettings::IniFormat)
        .value("subscriber_groups")
        .toMap();
}

QStringList keys(std::initializer_list<quint16> ports) {
    QStringList list;
    for (quint16 port : ports) list << QStringLiteral("127.0.0.1:%1").arg(port);
    list.sort();
    return list;
}

// The last-detection document of a step of the rig's two cameras, each with one white-area
// region (limits 0 and 50, no parameter), without its time.
std::string document(int step, int area, bool ok) {
    const QString result = ok ? "true" : "false";
    QStringList groups;
    for (int camera = 0; camera < 2; ++camera)
        groups << QStringLiteral(
                      R"({"camera_detect":%1,"camera_index":%2,"camera_result":%3,"rois":[)"
                      R"({"roi_algorithm":[%4,0,50,255,0,0,255],"roi_func":5,"roi_index":0,)"
                      R"("roi_result":%3}]})")
                      .arg(QString::number(step), QString::number(camera), result,
                           QString::number(area));
    return QStringLiteral(R"({"camera_count":2,"detect_index":%1,"last_result":[%2],"result":%3})")
        .arg(QString::number(step), groups.join(','), result)
        .toStdString();
}

std::string withoutTime(QJsonObject doc) {
    EXPECT_EQ(doc.take("detect_time").toString().size(), 23);
    return QJsonDocument(doc).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

TEST(HttpApi, RoutesAfterRealStepsAndPushesToLiveSubscribers) {
    if (!testsupport::available("curl") || !testsupport::available("python3"))
        GTEST_SKIP() << "curl or python3 is not installed";
    for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
        std::fill(counters, counters + kMaxCameras, 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
    cycletest::WindowRig rig(
        2,
        [](WizardPara& p) {
            p.detectMode = 0;
            p.detectProdEnable = 1;
            p.trigInDelay[1] = 5;
        },
        testsupport::recorder());
    ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
    DeRaRazovi& w = rig.window();
    HttpApiServer& api = *w.httpApiServer;
    const quint16 port = api.reactor()->localPort();
    QFile config("cnt_net/config.json");
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QJsonDocument(QJsonObject{{"devicename", kDevice}}).toJson());
    config.close();
    api.updateLocalBaseInfo();

    FakeSubscriber app;
    ASSERT_TRUE(app.start());
    BlackHole gone;
    const QJsonArray refused{
        QJsonArray{"/v18/http/get_last_detectinfo", "{}"},
        QJsonArray{"/v18/http/subscriber_detectinfo", "{}"},
        QJsonArray{"/v18/http/subscriber_detectinfo",
                   subscription({QJsonObject{{"subscriber_ip", "127.0.0.1"}}})},
        QJsonArray{"/v18/http/nowhere", "{}"},
        QJsonArray{"/v18/http/subscriber_detectinfo",
                   subscription({subscriber(app.port()), subscriber(gone.port())})}};
    const QJsonArray answers = python(port, refused);
    ASSERT_EQ(answers.size(), refused.size());
    for (int i = 0; i < answers.size(); ++i) {
        const QJsonObject a = answers[i].toObject();
        EXPECT_EQ(a["status"].toInt(), 200) << i;
        EXPECT_EQ(a["reply"]["code"].toInt(), i == 0 || i == 4 ? 0 : 404) << i;
        EXPECT_EQ(a["reply"]["result"].toObject(), QJsonObject()) << "empty before any step";
        EXPECT_EQ(a["device"].toString(), i == 3 ? "" : kDevice) << i;
    }
    // An OK cycle: product step, then mould step, each pushed to the live app.
    QSignalSpy steps(&w, &DeRaRazovi::sendRecord);
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitFor([&] { return steps.size() == 2; }, kWaitMs));
    ASSERT_TRUE(app.waitPushes(2, kWaitMs));
    const QList<QJsonObject> pushes = app.pushes();
    for (int step = 0; step < 2; ++step) {
        EXPECT_EQ(pushes[step]["path"].toString(), "/v18/http/subscriber_detectinfo");
        EXPECT_EQ(pushes[step]["device"].toString(), kDevice);
        EXPECT_GT(pushes[step]["uuid"].toString().toLongLong(), 0);
        EXPECT_EQ(withoutTime(pushes[step]["body"].toObject()), document(step, 0, true));
    }
    EXPECT_EQ(curl(port, "/v18/http/get_last_detectinfo")["result"].toObject(),
              pushes[1]["body"].toObject());
    EXPECT_EQ(subscriberFile().keys(), keys({app.port(), gone.port()}))
        << "not dropped before its hour";

    // The mould step of the next cycle fails on every camera and raises the alarm.
    ASSERT_TRUE(rig.waitOutput(0, false, kWaitMs)) << "the mould step allows closing";
    rig.setInput(0, false);
    ASSERT_TRUE(rig.waitInputSeen(0, false, kWaitMs));
    rig.whenBetweenEvents([&] { return steps.size() == 3; }, [&] { rig.setAllScenes(true); });
    rig.setInput(0, true);
    ASSERT_TRUE(rig.waitFor([&] { return w.resultState == 2; }, kWaitMs));
    ASSERT_TRUE(app.waitPushes(4, kWaitMs));
    // The 40 x 40 region's white area is 1600 pixels, above its limit of 50.
    EXPECT_EQ(withoutTime(app.pushes()[3]["body"].toObject()), document(1, 1600, false));
    EXPECT_EQ(
        QJsonDocument(curl(port, "/v18/http/get_product_infos")).toJson(QJsonDocument::Compact),
        R"({"code":0,"msg":"OK","result":{"camera_count":2,"detect_all":2,)"
        R"("detect_all_detail":[2,2],"detect_ng":1,"detect_ng_detail":[1,1],)"
        R"("detect_status":2,"run_status":0}})");
}

TEST(HttpApi, ExpiredSubscribersAreDroppedAndAPushWithoutReplyEnds) {
    if (!testsupport::available("python3")) GTEST_SKIP() << "python3 is not installed";
    testsupport::WorkDir dir;
    FakeSubscriber live, expired, silent(true);
    ASSERT_TRUE(live.start() && expired.start() && silent.start());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QSettings("cnt_net/workspace/subscriber.ini", QSettings::IniFormat)
        .setValue("subscriber_groups",
                  QVariantMap{{keys({live.port()})[0], now},
                              {keys({silent.port()})[0], now},
                              {keys({expired.port()})[0], now - 3600001 - 1000}});
    HttpApiServer api;
    api.update_DetectOnceInfo(3, true);
    api.pushnode_lastdetect();
    ASSERT_TRUE(live.waitPushes(1, kWaitMs));
    EXPECT_EQ(live.pushes()[0]["body"].toObject()["detect_index"].toInt(), 3);
    EXPECT_TRUE(silent.waitPushes(1, kWaitMs));
    EXPECT_TRUE(testsupport::waitFor([&] { return api.pushesInFlight() == 0; }, kWaitMs))
        << "a push without reply ends with its lifetime";
    EXPECT_TRUE(expired.pushes().isEmpty());
    EXPECT_EQ(subscriberFile().keys(), keys({live.port(), silent.port()}));
}

TEST(HttpApi, ANewClientIsServedBeside500IdleConnections) {
    if (!testsupport::available("curl")) GTEST_SKIP() << "curl is not installed";
    testsupport::WorkDir dir;
    HttpApiServer api;
    ASSERT_TRUE(api.startReactor(QHostAddress::LocalHost, 0));
    const quint16 port = api.reactor()->localPort();
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 500; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(testsupport::waitFor([&] {
        return std::all_of(idle.begin(), idle.end(), [](const auto& s) {
            return s->state() != QAbstractSocket::ConnectingState;
        });
    }));
    EXPECT_EQ(curl(port, "/v18/http/get_product_infos")["code"].toInt(-1), 0);
}

// The reads come from the copy the GUI thread published last: they are answered while that
// thread is busy (here: blocked in a wait that handles no events), and they show the step the
// thread finished before it got busy.
TEST(HttpApi, ReadsAreAnsweredWhileTheGuiThreadIsBusy) {
    if (!testsupport::available("python3")) GTEST_SKIP() << "python3 is not installed";
    testsupport::WorkDir dir;
    for (int* counters : {gAllNum, gFailNum, gAllCycleNum, gFailCycleNum})
        std::fill(counters, counters + kMaxCameras, 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
    numCamera = 1;
    HttpApiServer api;
    api.setStateReader([] { return httpapi::MachineState{1, 2, 0}; });
    ASSERT_TRUE(api.startReactor(QHostAddress::LocalHost, 0));
    gAllNum[0] = 5;
    gAllCycleNum[0] = 7;
    gFailCycleNum[0] = 2;
    gSyncNGNum = 4;
    gSyncNGCycleNum = 1;
    param_roi roi;
    roi.algorithm_result = 9;
    {
        QMutexLocker lock(api.roiResultsLock());
        api.roiResults()->append(roi);
    }
    api.update_DetectOnceInfo(4, false);

    QProcess client;
    client.start("python3",
                 {"-c", kPythonClient, QString::number(api.reactor()->localPort()),
                  QJsonDocument(QJsonArray{QJsonArray{"/v18/http/get_product_infos", "{}"},
                                           QJsonArray{"/v18/http/get_last_detectinfo", "{}"}})
                      .toJson()});
    // No event of this thread is handled until the client has ended.
    ASSERT_TRUE(client.waitForFinished(20000));
    const QJsonArray answers = QJsonDocument::fromJson(client.readAllStandardOutput()).array();
    ASSERT_EQ(answers.size(), 2) << client.readAllStandardError().toStdString();
    EXPECT_EQ(
        QJsonDocument(answers[0]["reply"]["result"].toObject()).toJson(QJsonDocument::Compact),
        R"({"camera_count":1,"detect_all":7,"detect_all_detail":[7],"detect_ng":1,)"
        R"("detect_ng_detail":[2],"detect_status":1,"run_status":1})");
    const QJsonObject last = answers[1]["reply"]["result"].toObject();
    EXPECT_EQ(last["detect_index"].toInt(), 4);
    EXPECT_EQ(last["last_result"][0]["rois"][0]["roi_algorithm"][0].toInt(), 9);
}

// A read that follows a subscription on one connection waits for it: the replies keep the
// order of the requests, also when the client sends both at once.
TEST(HttpApi, PipelinedRepliesKeepTheOrderOfTheRequests) {
    if (!testsupport::available("python3")) GTEST_SKIP() << "python3 is not installed";
    const char* const pipelined = R"(
import json, socket, sys
def request(path, body):
    return ("POST %s HTTP/1.1\r\nHost: panel\r\nContent-Type: application/json\r\n"
            "Content-Length: %d\r\n\r\n%s" % (path, len(body), body)).encode()
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
s.sendall(request("/v18/http/subscriber_detectinfo", sys.argv[2]) +
          request("/v18/http/get_product_infos", "{}"))
replies, f = [], s.makefile("rb")
for _ in range(2):
    length = 0
    for line in iter(f.readline, b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":")[1])
    replies.append(json.loads(f.read(length)))
print(json.dumps(replies))
)";
    testsupport::WorkDir dir;
    numCamera = 1;
    HttpApiServer api;
    ASSERT_TRUE(api.startReactor(QHostAddress::LocalHost, 0));
    int code = -1;
    const QJsonArray replies =
        QJsonDocument::fromJson(
            runClient("python3",
                      {"-c", pipelined, QString::number(api.reactor()->localPort()),
                       subscription({subscriber(9000)})},
                      &code))
            .array();
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0]["result"].toObject(), QJsonObject()) << "the subscription's reply";
    EXPECT_EQ(replies[1]["result"]["camera_count"].toInt(), 1) << "the read's reply";
    EXPECT_EQ(subscriberFile().keys(), keys({9000}));
}

// Connects to subscribers run on threads of their own: the step's report returns while every
// connect to a dead subscriber is still under way, and those pushes end by themselves.
TEST(HttpApi, DeadSubscribersDoNotHoldUpTheStepReport) {
    testsupport::WorkDir dir;
    std::vector<std::unique_ptr<BlackHole>> dead(10);
    QVariantMap groups;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto& hole : dead) {
        hole = std::make_unique<BlackHole>();
        ASSERT_NE(hole->port(), 0);
        groups.insert(keys({hole->port()})[0], now);
    }
    QSettings("cnt_net/workspace/subscriber.ini", QSettings::IniFormat)
        .setValue("subscriber_groups", groups);
    HttpApiServer api;
    api.update_DetectOnceInfo(0, true);
    api.pushnode_lastdetect();
    EXPECT_EQ(api.pushesInFlight(), 10) << "the report waited for a connect";
    EXPECT_TRUE(testsupport::waitFor([&] { return api.pushesInFlight() == 0; }, kWaitMs));
}
