// Sessions and reactors on loopback: message cutting, pipelining, 404 answers, the limits,
// sync and async routing, task ids and tables, and the lifecycle of servers and clients.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QSignalSpy>
#include <QThread>

#include "netcoretestutil.h"
#include "session.h"
#include "tcpmanager.h"
#include "tcpreactor.h"
#include "testsupport.h"
#include "wireformat.h"

using nettest::EchoService;
using nettest::jsonRequest;
using nettest::RawClient;
using nettest::RawMessage;

namespace {

NetLimits quickLimits() {
    NetLimits limits;
    limits.headTimeoutMs = 300;
    limits.bodyTimeoutMs = 300;
    return limits;
}

// The service still answers a fresh client.
bool servesAnotherClient(quint16 port) {
    RawClient other;
    if (!other.connectTo(port)) return false;
    other.send(jsonRequest("/echo", "{\"alive\":true}", "other"));
    const QList<RawMessage> replies = other.replies(1);
    return replies.size() == 1 && replies[0].header("User-Agent") == "other" &&
           replies[0].json().value("result").toObject().value("echo").toObject().value("alive") ==
               true;
}

void expectNotHandled(const RawMessage& reply, const QString& taskId) {
    EXPECT_EQ(reply.firstLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(reply.header("User-Agent"), taskId);
    const QJsonObject json = reply.json();
    EXPECT_EQ(json.value("code").toInt(), 404);
    EXPECT_EQ(json.value("msg").toString(), QString::fromUtf8(wire::kNotHandledMessage));
    EXPECT_EQ(reply.header("Content-Length").toInt(), reply.body.size());
}

}  // namespace

TEST(ServerSession, SplitPipelinedAndBareRequestsAreAllAnswered) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));

    // A head split over three reads, then its body.
    const QByteArray request = jsonRequest("/echo", "{\"n\":1}", "split");
    const int headEnd = request.indexOf("\r\n\r\n") + 4;
    client.send(request.left(10));
    testsupport::waitFor([] { return false; }, 50);
    client.send(request.mid(10, 20));
    testsupport::waitFor([] { return false; }, 50);
    client.send(request.mid(30, headEnd - 30));
    testsupport::waitFor([] { return false; }, 50);
    client.send(request.mid(headEnd));
    QList<RawMessage> replies = client.replies(1);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].header("User-Agent"), "split");
    EXPECT_EQ(replies[0].json().value("result").toObject().value("echo").toObject().value("n"), 1);

    // Three requests in one write, a stray line end before the second, and a request made of
    // its request line alone.
    client.send(jsonRequest("/echo", "{\"n\":2}", "p2") + "\r\n" +
                jsonRequest("/echo", "{\"n\":3}", "p3") + "GET /echo HTTP/1.1\r\n\r\n");
    replies = client.replies(3);
    ASSERT_EQ(replies.size(), 3);
    EXPECT_EQ(replies[0].header("User-Agent"), "p2");
    EXPECT_EQ(replies[1].header("User-Agent"), "p3");
    EXPECT_EQ(replies[1].json().value("result").toObject().value("echo").toObject().value("n"), 3);
    EXPECT_EQ(replies[2].json().value("code").toInt(), 0);
    EXPECT_EQ(service.handled, 4);
}

TEST(ServerSession, UnknownUrlsAndUndecodableRequestsGetThe404Reply) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));

    client.send(jsonRequest("/nope", "{}", "unknown"));
    client.send(jsonRequest("/echo", "{\"broken\":", "badjson"));
    client.send(
        "POST /echo HTTP/1.1\r\nUser-Agent: text\r\nContent-Type: text/plain\r\n"
        "Content-Length: 5\r\n\r\nhello");
    client.send("DELETE /echo HTTP/1.1\r\nUser-Agent: delete\r\n\r\n");
    client.send("GET /echo HTTP/1.0\r\nUser-Agent: old\r\nContent-Length: 3\r\n\r\nabc");
    // A reply that cannot be decoded is not answered.
    client.send(
        "HTTP/1.1 200 OK\r\nUser-Agent: stray\r\nContent-Type: text/plain\r\n"
        "Content-Length: 2\r\n\r\nok");
    client.send(jsonRequest("/echo", "{\"after\":1}", "after"));
    const QList<RawMessage> replies = client.replies(6);
    ASSERT_EQ(replies.size(), 6);
    const QStringList ids = {"unknown", "badjson", "text", "delete", "old"};
    for (int i = 0; i < ids.size(); ++i) expectNotHandled(replies[i], ids[i]);
    EXPECT_EQ(replies[5].header("User-Agent"), "after");
    EXPECT_EQ(replies[5].json().value("code").toInt(), 0);
    EXPECT_EQ(service.handled, 1);
    EXPECT_TRUE(client.replies(1, 200).isEmpty());
}

TEST(ServerSession, ReceivedRequestsCarryTheirTiming) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));

    QStringList log;
    static QStringList* capture = nullptr;
    capture = &log;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { capture->append(text); });

    client.send(jsonRequest("/echo", "{\"one\":1}", "onepacket"));
    ASSERT_EQ(client.replies(1).size(), 1);
    const QByteArray split = jsonRequest("/echo", "{\"two\":2}", "twopackets");
    client.send(split.left(split.size() - 3));
    testsupport::waitFor([] { return false; }, 100);
    client.send(split.right(3));
    ASSERT_EQ(client.replies(1).size(), 1);
    client.send(jsonRequest("/echo", "{}", ""));
    ASSERT_EQ(client.replies(1).size(), 1);
    qInstallMessageHandler(previous);

    ASSERT_EQ(service.requests.size(), 3);
    const TcpTsk_Info& one = service.requests[0].taskInfo;
    EXPECT_EQ(one.uuid, "onepacket");
    EXPECT_EQ(one.recv_times, 1);
    EXPECT_EQ(one.recvpacklength, 9);
    EXPECT_LE(one.firstrecv_timing, one.finishrecv_timing);
    EXPECT_GE(one.firstrecv_timing, one.create_timing);
    EXPECT_EQ(service.requests[1].taskInfo.recv_times, 2);
    EXPECT_EQ(service.requests[2].taskInfo.create_timing, -1);  // no task id, no timing
    EXPECT_TRUE(log.filter("[Short_RCV]").value(0).endsWith("packs: 1"));
    EXPECT_EQ(service.reactor()->syncTaskCount(), 0);
}

TEST(ConnectionLimits, OversizeHeadAndHugeBodyCloseOnlyThatConnection) {
    NetLimits limits;
    limits.maxBodyBytes = 1000;
    EchoService service;
    ASSERT_TRUE(service.start(limits));

    RawClient longHead;
    ASSERT_TRUE(longHead.connectTo(service.port()));
    longHead.send("POST /echo HTTP/1.1\r\nX-Padding: " +
                  QByteArray(netlimits::kMaxHeadBytes + 100, 'a'));
    EXPECT_TRUE(longHead.waitClosed());

    RawClient hugeBody;
    ASSERT_TRUE(hugeBody.connectTo(service.port()));
    hugeBody.send(
        "POST /echo HTTP/1.1\r\nContent-Type: application/json\r\n"
        "Content-Length: 1000000000000\r\n\r\n{");
    EXPECT_TRUE(hugeBody.waitClosed());

    RawClient overLimit;
    ASSERT_TRUE(overLimit.connectTo(service.port()));
    overLimit.send(
        "POST /echo HTTP/1.1\r\nContent-Type: application/json\r\n"
        "Content-Length: 1001\r\n\r\n");
    EXPECT_TRUE(overLimit.waitClosed());

    RawClient negative;
    ASSERT_TRUE(negative.connectTo(service.port()));
    negative.send("POST /echo HTTP/1.1\r\nContent-Length: -20\r\n\r\n");
    EXPECT_TRUE(negative.waitClosed());

    EXPECT_TRUE(servesAnotherClient(service.port()));
    RawClient atLimit;
    ASSERT_TRUE(atLimit.connectTo(service.port()));
    const QByteArray body = "{\"pad\":\"" + QByteArray(1000 - 10, 'x') + "\"}";
    ASSERT_EQ(body.size(), 1000);
    atLimit.send(jsonRequest("/echo", body, "limit"));
    EXPECT_EQ(atLimit.replies(1).size(), 1);
}

TEST(ConnectionLimits, SlowHeadsAndBodiesTimeOut) {
    EchoService service;
    ASSERT_TRUE(service.start(quickLimits()));

    RawClient slowHead;
    ASSERT_TRUE(slowHead.connectTo(service.port()));
    slowHead.send("POST /echo HTTP/1.1\r\nUser-Agent: slow");
    RawClient slowBody;
    ASSERT_TRUE(slowBody.connectTo(service.port()));
    slowBody.send(jsonRequest("/echo", "{\"k\":1}").chopped(3));
    RawClient idle;  // connected, nothing sent: no message is pending, nothing times out
    ASSERT_TRUE(idle.connectTo(service.port()));

    // Trickling bytes does not extend the time of a head.
    for (int i = 0; i < 4; ++i) {
        testsupport::waitFor([] { return false; }, 100);
        slowHead.send("x");
    }
    EXPECT_TRUE(slowHead.waitClosed());
    EXPECT_TRUE(slowBody.waitClosed());
    EXPECT_TRUE(servesAnotherClient(service.port()));
    EXPECT_EQ(idle.socket.state(), QAbstractSocket::ConnectedState);
    idle.send(jsonRequest("/echo", "{}", "idle"));
    EXPECT_EQ(idle.replies(1).size(), 1);
}

TEST(ConnectionLimits, ConnectionsBeyondTheLimitAreClosed) {
    NetLimits limits;
    limits.maxSessions = 2;
    EchoService service;
    ASSERT_TRUE(service.start(limits));

    auto first = std::make_unique<RawClient>();
    RawClient second;
    ASSERT_TRUE(first->connectTo(service.port()));
    ASSERT_TRUE(second.connectTo(service.port()));
    ASSERT_TRUE(testsupport::waitFor([&] { return service.reactor()->sessionCount() == 2; }));
    RawClient third;
    third.connectTo(service.port());
    EXPECT_TRUE(third.waitClosed());
    second.send(jsonRequest("/echo", "{}", "second"));
    EXPECT_EQ(second.replies(1).size(), 1);

    first.reset();  // a place becomes free
    ASSERT_TRUE(testsupport::waitFor([&] { return service.reactor()->sessionCount() == 1; }));
    EXPECT_TRUE(servesAnotherClient(service.port()));
}

TEST(ConnectionLimits, ReadingPausesWhileRepliesPileUpAndResumes) {
    // Handlers run on the reactor thread, so every reply is waiting in the socket while the
    // next request is taken; with a one-byte backlog limit the session pauses after each reply
    // and must resume once the bytes are out.
    NetLimits limits;
    limits.maxPendingWriteBytes = 1;
    EchoService service;
    ASSERT_TRUE(service.start(limits, Qt::DirectConnection));
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));
    QByteArray burst;
    for (int i = 0; i < 50; ++i) burst += jsonRequest("/echo", "{}", "b" + QByteArray::number(i));
    client.send(burst);
    const QList<RawMessage> replies = client.replies(50);
    ASSERT_EQ(replies.size(), 50);
    EXPECT_EQ(replies.last().header("User-Agent"), "b49");
    EXPECT_EQ(service.handled, 50);
}

TEST(Reactor, PostSyncGetsItsReplyOrTimesOut) {
    EchoService service;
    ASSERT_TRUE(service.start());
    MCore::TcpCliReactor client;

    CTask_FormData request;
    request.url = "/echo";
    request.values.insert("body", QVariant::fromValue(QJsonObject{{"q", 5}}));
    CTask_FormData response;
    EXPECT_FALSE(client.post_sync(request, response, 1000));  // not connected
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, service.port()));
    ASSERT_TRUE(client.isRunning());

    ASSERT_TRUE(client.post_sync(request, response, 3000));
    EXPECT_FALSE(request.uuid.isEmpty());
    EXPECT_EQ(response.uuid, request.uuid);
    EXPECT_EQ(
        response.extract_jsonobject().value("result").toObject().value("echo").toObject().value(
            "q"),
        5);
    EXPECT_GT(response.taskInfo.finishact_timing, 0);
    EXPECT_EQ(client.syncTaskCount(), 0);

    for (int outOfRange : {0, -5, 60001}) {
        CTask_FormData ignored;
        ignored.url = "/echo";
        EXPECT_FALSE(client.post_sync(ignored, response, outOfRange));
    }
    CTask_FormData silent;
    silent.url = "/silent";
    CTask_FormData untouched;
    untouched.uuid = "unchanged";
    EXPECT_FALSE(client.post_sync(silent, untouched, 200));
    EXPECT_EQ(untouched.uuid, "unchanged");
    EXPECT_EQ(service.handled, 2);  // the out-of-range calls sent nothing
}

TEST(Reactor, ReplyMustCarryTheExactTaskId) {
    // A peer that answers every request twice: first with the id + "5", then with the id.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    std::unique_ptr<QTcpSocket> accepted;
    QByteArray received;
    QObject::connect(&peer, &QTcpServer::newConnection, [&] {
        accepted.reset(peer.nextPendingConnection());
        QObject::connect(accepted.get(), &QTcpSocket::readyRead, [&] {
            received += accepted->readAll();
            for (const RawMessage& message : nettest::takeMessages(received)) {
                const QByteArray id = message.header("User-Agent").toUtf8();
                for (const QByteArray& replyId : {id + "5", id}) {
                    const QByteArray body =
                        "{\"code\":0,\"msg\":\"OK\",\"result\":{\"for\":\"" + replyId + "\"}}";
                    accepted->write("HTTP/1.1 200 OK\r\nUser-Agent: " + replyId +
                                    "\r\nContent-Type: application/json\r\nContent-Length: " +
                                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
                }
            }
        });
    });

    MCore::TcpCliReactor client;
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, peer.serverPort()));
    QSignalSpy async(&client, &MCore::TcpReactor::sigResponse_async);
    CTask_FormData other;
    other.uuid = "T_15";
    client.append_TcpTask(other);  // another caller waits for "T_15"
    CTask_FormData request;
    request.url = "/ask";
    request.uuid = "T_1";
    CTask_FormData response;
    ASSERT_TRUE(client.post_sync(request, response, 3000));
    EXPECT_EQ(response.uuid, "T_1");
    EXPECT_EQ(response.extract_jsonobject().value("result").toObject().value("for"), "T_1");
    EXPECT_FALSE(client.isAliveTcpTask("T_15"));  // its own reply took it out of the table
    EXPECT_EQ(async.size(), 0);
}

TEST(Reactor, AsyncTableRecordsRequestsOnly) {
    EchoService service;
    ASSERT_TRUE(service.start());
    MCore::TcpCliReactor client;
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, service.port()));
    QSignalSpy replies(&client, &MCore::TcpReactor::sigResponse_async);

    QStringList ids;
    for (int i = 0; i < 20; ++i) {
        CTask_FormData request;
        request.url = "/echo";
        EXPECT_TRUE(client.post_async(request));
        ids << request.uuid;
    }
    ASSERT_TRUE(testsupport::waitFor([&] { return replies.size() == 20; }));
    EXPECT_EQ(client.asyncTaskCount(), 20);
    TcpTsk_Info info;
    EXPECT_TRUE(client.isAliveTcpTask_Async(ids.last(), info));
    EXPECT_EQ(info.url, "/echo");
    // The server's replies went out through post_async too, and are not remembered.
    EXPECT_EQ(service.reactor()->asyncTaskCount(), 0);
    EXPECT_EQ(service.reactor()->syncTaskCount(), 0);
    EXPECT_EQ(replies.last().first().value<CTask_FormData>().uuid, ids.last());
}

TEST(Reactor, TaskIdsAndTheTaskSweep) {
    CTask_FormData a;
    CTask_FormData b;
    MCore::TcpReactor::assignTaskId(a);
    MCore::TcpReactor::assignTaskId(b);
    EXPECT_TRUE(a.uuid.startsWith("dezivodo#"));
    const int n = a.uuid.section('_', -1).toInt();
    EXPECT_EQ(b.uuid.section('_', -1).toInt(), n + 1);
    EXPECT_EQ(a.uuid.length() - a.uuid.section('_', -1).length(),
              QStringLiteral("dezivodo#20240105_134501_007_").length());
    CTask_FormData kept;
    kept.uuid = "mine";
    MCore::TcpReactor::assignTaskId(kept);
    EXPECT_EQ(kept.uuid, "mine");

    auto& clock = testsupport::recorder();
    const QDateTime start = QDateTime::currentDateTime();
    clock.setNow(start);
    MCore::TcpServReactor reactor;
    CTask_FormData old;
    old.uuid = "old";
    old.url = "/a";
    reactor.append_TcpTask(old);
    reactor.append_TcpTask_Async(old);
    clock.advanceMs(1);
    reactor.append_TcpTask(QStringLiteral("young"));
    EXPECT_EQ(reactor.getTcpTask("young").url, "young");
    clock.advanceMs(60000);
    reactor.sweepTasks();
    EXPECT_FALSE(reactor.isAliveTcpTask("old"));
    TcpTsk_Info info;
    EXPECT_FALSE(reactor.isAliveTcpTask_Async("old", info));
    EXPECT_TRUE(reactor.isAliveTcpTask("young"));  // exactly 60000 ms old
    EXPECT_EQ(reactor.remove_TaskFromList("young").finishact_timing, clock.nowMSecsSinceEpoch());
    EXPECT_EQ(reactor.getTcpTask("young").create_timing, -1);
    clock.setNow(QDateTime());
}

TEST(ReactorLifecycle, StoppingAServerClosesEveryConnection) {
    EchoService service;
    ASSERT_TRUE(service.start());
    const quint16 port = service.port();
    RawClient clients[3];
    for (RawClient& client : clients) ASSERT_TRUE(client.connectTo(port));
    ASSERT_TRUE(testsupport::waitFor([&] { return service.reactor()->sessionCount() == 3; }));
    EXPECT_EQ(service.reactor()->getAliveSession().size(), 3);

    service.reactor()->deinitialize();
    EXPECT_FALSE(service.reactor()->isRunning());
    EXPECT_EQ(service.reactor()->sessionCount(), 0);
    for (RawClient& client : clients) EXPECT_TRUE(client.waitClosed());
    RawClient late;
    EXPECT_FALSE(late.connectTo(port, 500) && !late.waitClosed(500));

    // Starting again on the same port works: the first listener is gone.
    EXPECT_TRUE(service.startReactor(QHostAddress::LocalHost, port));
    EXPECT_TRUE(service.startReactor(QHostAddress::LocalHost, port));
    EXPECT_TRUE(servesAnotherClient(port));
}

TEST(ReactorLifecycle, ClientReconnectsAndReportsConnectFailures) {
    EchoService service;
    ASSERT_TRUE(service.start());
    const quint16 port = service.port();
    MCore::TcpCliReactor client;
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, port));
    EXPECT_TRUE(client.hasSession());
    EXPECT_GT(client.getActFinallyTime(), 0);
    EXPECT_GT(client.localPort(), 0);

    service.reactor()->deinitialize();  // the peer goes away
    ASSERT_TRUE(testsupport::waitFor([&] { return !client.hasSession(); }));
    EXPECT_TRUE(client.getAliveSession().isEmpty());
    EXPECT_TRUE(client.isRunning());  // running, without connection

    MCore::TcpCliReactor refused;
    EXPECT_FALSE(refused.reAction(QHostAddress::LocalHost, port));
    EXPECT_FALSE(refused.isRunning());
    ASSERT_TRUE(service.startReactor(QHostAddress::LocalHost, port));
    EXPECT_TRUE(client.reAction(QHostAddress::LocalHost, port));
    CTask_FormData request;
    request.url = "/echo";
    CTask_FormData response;
    EXPECT_TRUE(client.post_sync(request, response, 3000));
}

namespace {
class PlainService : public TcpManager {
public:
    explicit PlainService(MCT_TYPE type) : TcpManager(type) {}
    void SlotRecvResponse_async(CTask_FormData response) override { responses << response; }
    void SlotRecvRequest(CTask_FormData request) override { requests << request; }
    QList<CTask_FormData> responses;
    QList<CTask_FormData> requests;
};
}  // namespace

TEST(ServiceBases, TcpManagerHandsOnRequestsAndReplies) {
    PlainService server(MCT_SERVER);
    ASSERT_TRUE(server.startReactor(QHostAddress::LocalHost, 0));
    PlainService client(MCT_CLIENT);
    ASSERT_TRUE(client.startReactor(QHostAddress::LocalHost, server.reactor()->localPort()));

    CTask_FormData request;
    request.url = "/tick";
    client.reactor()->post_async(request);
    ASSERT_TRUE(testsupport::waitFor([&] { return server.requests.size() == 1; }));
    CTask_FormData reply;
    reply.uuid = server.requests[0].uuid;
    reply.sessionId = server.requests[0].sessionId;
    server.reactor()->post_async(reply);
    ASSERT_TRUE(testsupport::waitFor([&] { return client.responses.size() == 1; }));
    EXPECT_EQ(client.responses[0].uuid, request.uuid);
    TcpTsk_Info info;
    EXPECT_TRUE(client.reactor()->isAliveTcpTask_Async(request.uuid, info));

    PlainService unknown(static_cast<MCT_TYPE>(2));
    EXPECT_FALSE(unknown.startReactor(QHostAddress::LocalHost, 0));
    EXPECT_EQ(unknown.reactor(), nullptr);
}

TEST(SessionWrites, WritesFromOtherThreadsAreQueuedToTheSessionThread) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));
    client.send(jsonRequest("/silent", "{}", "fromthread"));
    ASSERT_TRUE(testsupport::waitFor([&] { return service.requests.size() == 1; }));

    // A reply posted from a thread of its own reaches the client through the reactor thread.
    const CTask_FormData request = service.requests[0];
    auto reactor = service.reactor();
    QThread* worker = QThread::create([reactor, request] {
        CTask_FormData reply;
        reply.uuid = request.uuid;
        reply.sessionId = request.sessionId;
        reactor->post_async(reply);
    });
    worker->start();
    ASSERT_TRUE(worker->wait(3000));
    delete worker;
    const QList<RawMessage> replies = client.replies(1);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].header("User-Agent"), "fromthread");
    EXPECT_EQ(replies[0].json().value("code").toInt(), 0);
}
