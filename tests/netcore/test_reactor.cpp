// Sessions and reactors on loopback: message cutting, pipelining, 404 answers, the limits,
// sync and async routing, task ids and tables, and the lifecycle of servers and clients.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <QTimer>

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

QJsonValue echoed(const RawMessage& reply, const QString& key) {
    return reply.json().value("result").toObject().value("echo").toObject().value(key);
}

// The service still answers a fresh client.
bool servesAnotherClient(quint16 port) {
    RawClient other;
    if (!other.connectTo(port)) return false;
    other.send(jsonRequest("/echo", "{\"alive\":true}", "other"));
    const QList<RawMessage> replies = other.replies(1);
    return replies.size() == 1 && replies[0].header("User-Agent") == "other" &&
           echoed(replies[0], "alive") == true;
}

void pause(int ms) {
    testsupport::waitFor([] { return false; }, ms);
}

}  // namespace

TEST(ServerSession, SplitPipelinedAndBareRequestsAreAnsweredAndTimed) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));

    // A head split over three reads, then its body in a read of its own.
    const QByteArray request = jsonRequest("/echo", "{\"n\":1}", "split");
    const int headEnd = request.indexOf("\r\n\r\n") + 4;
    for (const QByteArray& piece :
         {request.left(10), request.mid(10, 20), request.mid(30, headEnd - 30)}) {
        client.send(piece);
        pause(50);
    }
    client.send(request.mid(headEnd));
    QList<RawMessage> replies = client.replies(1);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].header("User-Agent"), "split");
    EXPECT_EQ(echoed(replies[0], "n"), 1);

    // Three requests in one write, a stray line end before the second, and a request made of
    // its request line alone.
    client.send(jsonRequest("/echo", "{\"n\":2}", "p2") + "\r\n" +
                jsonRequest("/echo", "{\"n\":3}", "p3") + "GET /echo HTTP/1.1\r\n\r\n");
    replies = client.replies(3);
    ASSERT_EQ(replies.size(), 3);
    EXPECT_EQ(replies[0].header("User-Agent"), "p2");
    EXPECT_EQ(replies[1].header("User-Agent"), "p3");
    EXPECT_EQ(echoed(replies[1], "n"), 3);
    EXPECT_EQ(replies[2].json().value("code").toInt(), 0);

    // The timing of each request: the reads its body took, its length, none without a task id.
    ASSERT_EQ(service.requests.size(), 4);
    const TcpTsk_Info& split = service.requests[0].taskInfo;
    EXPECT_EQ(split.uuid, "split");
    EXPECT_EQ(split.recv_times, 2);
    EXPECT_EQ(split.recvpacklength, 7);
    EXPECT_LE(split.firstrecv_timing, split.finishrecv_timing);
    EXPECT_GE(split.firstrecv_timing, split.create_timing);
    EXPECT_EQ(service.requests[1].taskInfo.recv_times, 1);
    EXPECT_EQ(service.requests[3].taskInfo.create_timing, -1);
    EXPECT_EQ(service.reactor()->syncTaskCount(), 0);
}

TEST(ServerSession, UnknownUrlsAndUndecodableRequestsGetThe404Reply) {
    EchoService service;
    ASSERT_TRUE(service.start());
    RawClient client;
    ASSERT_TRUE(client.connectTo(service.port()));

    // A reply that cannot be decoded ("stray") is not answered.
    client.send(jsonRequest("/nope", "{}", "unknown") +
                jsonRequest("/echo", "{\"broken\":", "badjson") +
                "POST /echo HTTP/1.1\r\nUser-Agent: text\r\nContent-Type: text/plain\r\n"
                "Content-Length: 5\r\n\r\nhello"
                "DELETE /echo HTTP/1.1\r\nUser-Agent: delete\r\n\r\n"
                "GET /echo HTTP/1.0\r\nUser-Agent: old\r\nContent-Length: 3\r\n\r\nabc"
                "X-Note: no request line\r\nUser-Agent: nohead\r\n\r\n"
                "HTTP/1.1 200 OK\r\nUser-Agent: stray\r\nContent-Type: text/plain\r\n"
                "Content-Length: 2\r\n\r\nok" +
                jsonRequest("/echo", "{\"after\":1}", "after"));
    const QList<RawMessage> replies = client.replies(7);
    ASSERT_EQ(replies.size(), 7);
    const QStringList ids = {"unknown", "badjson", "text", "delete", "old", "nohead"};
    for (int i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i].toStdString());
        EXPECT_TRUE(replies[i].head.startsWith("HTTP/1.1 200 OK\r\n"));
        EXPECT_EQ(replies[i].header("User-Agent"), ids[i]);
        EXPECT_EQ(replies[i].json().value("code").toInt(), 404);
        EXPECT_EQ(replies[i].json().value("msg").toString(),
                  QString::fromUtf8(wire::kNotHandledMessage));
        EXPECT_EQ(replies[i].header("Content-Length").toInt(), replies[i].body.size());
    }
    EXPECT_EQ(replies[6].header("User-Agent"), "after");
    EXPECT_EQ(replies[6].json().value("code").toInt(), 0);
    EXPECT_EQ(service.handled, 1);
    EXPECT_TRUE(client.replies(1, 200).isEmpty());
}

TEST(ConnectionLimits, EachLimitClosesOnlyThatConnection) {
    NetLimits limits;
    limits.maxBodyBytes = 1000;
    limits.headTimeoutMs = 300;
    limits.bodyTimeoutMs = 300;
    EchoService service;
    ASSERT_TRUE(service.start(limits));
    RawClient idle;  // connected, nothing sent: no message is pending, nothing times out
    ASSERT_TRUE(idle.connectTo(service.port()));

    const QByteArray post = "POST /echo HTTP/1.1\r\nContent-Type: application/json\r\n";
    const QByteArray offences[] = {
        post + "X-Padding: " + QByteArray(netlimits::kMaxHeadBytes + 100, 'a'),
        post + "Content-Length: 1000000000000\r\n\r\n{",
        post + "Content-Length: 1001\r\n\r\n",
        post + "Content-Length: -20\r\n\r\n",
        jsonRequest("/echo", "{\"k\":1}").chopped(3),  // a body that never completes
    };
    for (const QByteArray& offence : offences) {
        SCOPED_TRACE(offence.left(80).constData());
        RawClient client;
        ASSERT_TRUE(client.connectTo(service.port()));
        client.send(offence);
        EXPECT_TRUE(client.waitClosed());
    }
    // A head that never completes is closed although bytes keep trickling in.
    RawClient slowHead;
    ASSERT_TRUE(slowHead.connectTo(service.port()));
    slowHead.send(post + "User-Agent: slow");
    EXPECT_TRUE(testsupport::waitFor(
        [&] {
            slowHead.send("x");
            slowHead.socket.readAll();
            return slowHead.socket.state() == QAbstractSocket::UnconnectedState;
        },
        1500));

    EXPECT_TRUE(servesAnotherClient(service.port()));
    EXPECT_EQ(idle.socket.state(), QAbstractSocket::ConnectedState);
    const QByteArray body = "{\"pad\":\"" + QByteArray(1000 - 10, 'x') + "\"}";
    ASSERT_EQ(body.size(), 1000);
    idle.send(jsonRequest("/echo", body, "limit"));
    EXPECT_EQ(idle.replies(1).size(), 1);
}

TEST(ClientSession, DropsWhatItCannotDecodeWithoutAnswering) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    MCore::TcpCliReactor client;
    QStringList received;
    QObject context;
    QObject::connect(
        &client, &MCore::TcpReactor::sigRequest, &context,
        [&](const CTask_FormData& request) { received << request.uuid; }, Qt::QueuedConnection);
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, peer.serverPort()));
    ASSERT_TRUE(peer.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> server(peer.nextPendingConnection());
    server->write("X-Note: no request line\r\nUser-Agent: nohead\r\nContent-Length: 0\r\n\r\n" +
                  jsonRequest("/push", "{\"broken\":", "badjson") +
                  jsonRequest("/push", "{\"n\":1}", "good"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QStringList{"good"});
    pause(200);
    EXPECT_TRUE(server->readAll().isEmpty());  // nothing the server did not ask for
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

    ASSERT_TRUE(client.post_sync(request, response, 3000));
    EXPECT_FALSE(request.uuid.isEmpty());
    EXPECT_EQ(response.uuid, request.uuid);
    EXPECT_EQ(response.extract_jsonobject().value("result").toObject().value("echo")["q"], 5);
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
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    MCore::TcpCliReactor client;
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, peer.serverPort()));
    ASSERT_TRUE(peer.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> accepted(peer.nextPendingConnection());
    // While the caller waits for "T_1", the reply to "T_15" arrives first.
    QTimer::singleShot(100, [&] {
        for (const QByteArray id : {"T_15", "T_1"}) {
            const QByteArray body =
                "{\"code\":0,\"msg\":\"OK\",\"result\":{\"for\":\"" + id + "\"}}";
            accepted->write("HTTP/1.1 200 OK\r\nUser-Agent: " + id +
                            "\r\nContent-Type: application/json\r\nContent-Length: " +
                            QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
    });
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

TEST(Reactor, TaskIdsAndTheTaskSweep) {
    CTask_FormData a;
    CTask_FormData b;
    MCore::TcpReactor::assignTaskId(a);
    MCore::TcpReactor::assignTaskId(b);
    EXPECT_TRUE(a.uuid.startsWith("dezivodo#"));
    EXPECT_EQ(b.uuid.section('_', -1).toInt(), a.uuid.section('_', -1).toInt() + 1);

    auto& clock = testsupport::recorder();
    clock.setNow(QDateTime::currentDateTime());
    MCore::TcpServReactor reactor;
    CTask_FormData old;
    old.uuid = "old";
    reactor.append_TcpTask(old);
    reactor.append_TcpTask_Async(old);
    clock.advanceMs(1);
    reactor.append_TcpTask(QStringLiteral("young"));
    clock.advanceMs(60000);
    reactor.sweepTasks();
    EXPECT_FALSE(reactor.isAliveTcpTask("old"));
    TcpTsk_Info info;
    EXPECT_FALSE(reactor.isAliveTcpTask_Async("old", info));
    EXPECT_TRUE(reactor.isAliveTcpTask("young"));  // exactly 60000 ms old
    clock.setNow(QDateTime());
}

TEST(ReactorLifecycle, StopClosesEveryConnectionAndClientsReconnect) {
    EchoService service;
    ASSERT_TRUE(service.start());
    const quint16 port = service.port();
    RawClient raw[2];
    for (RawClient& client : raw) ASSERT_TRUE(client.connectTo(port));
    MCore::TcpCliReactor client;
    ASSERT_TRUE(client.reAction(QHostAddress::LocalHost, port));
    EXPECT_GT(client.getActFinallyTime(), 0);
    ASSERT_TRUE(testsupport::waitFor([&] { return service.reactor()->sessionCount() == 3; }));

    service.reactor()->deinitialize();
    EXPECT_FALSE(service.reactor()->isRunning());
    EXPECT_EQ(service.reactor()->sessionCount(), 0);
    for (RawClient& closed : raw) EXPECT_TRUE(closed.waitClosed());
    ASSERT_TRUE(testsupport::waitFor([&] { return !client.hasSession(); }));
    EXPECT_TRUE(client.getAliveSession().isEmpty());
    EXPECT_TRUE(client.isRunning());  // running, without connection
    MCore::TcpCliReactor refused;
    EXPECT_FALSE(refused.reAction(QHostAddress::LocalHost, port));
    EXPECT_FALSE(refused.isRunning());

    // Starting again on the same port works (twice: the first listener is gone each time).
    EXPECT_TRUE(service.startReactor(QHostAddress::LocalHost, port));
    EXPECT_TRUE(service.startReactor(QHostAddress::LocalHost, port));
    EXPECT_TRUE(servesAnotherClient(port));
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

TEST(ServiceBases, AsyncRequestsAreRememberedAndRepliesFromAnyThreadArrive) {
    PlainService server(MCT_SERVER);
    ASSERT_TRUE(server.startReactor(QHostAddress::LocalHost, 0));
    PlainService client(MCT_CLIENT);
    ASSERT_TRUE(client.startReactor(QHostAddress::LocalHost, server.reactor()->localPort()));

    QStringList ids;
    for (int i = 0; i < 3; ++i) {
        CTask_FormData request;
        request.url = "/tick";
        EXPECT_TRUE(client.reactor()->post_async(request));
        ids << request.uuid;
    }
    ASSERT_TRUE(testsupport::waitFor([&] { return server.requests.size() == 3; }));
    // The replies are posted from a thread of their own; they reach the peer through the
    // reactor thread.
    auto reactor = server.reactor();
    const QList<CTask_FormData> requests = server.requests;
    QThread* worker = QThread::create([reactor, requests] {
        for (const CTask_FormData& request : requests) {
            CTask_FormData reply;
            reply.uuid = request.uuid;
            reply.sessionId = request.sessionId;
            reactor->post_async(reply);
        }
    });
    worker->start();
    ASSERT_TRUE(worker->wait(3000));
    delete worker;
    ASSERT_TRUE(testsupport::waitFor([&] { return client.responses.size() == 3; }));
    EXPECT_EQ(client.responses[2].uuid, ids[2]);
    // Requests are remembered in the async table; replies, which expect no answer, are not.
    EXPECT_EQ(client.reactor()->asyncTaskCount(), 3);
    TcpTsk_Info info;
    EXPECT_TRUE(client.reactor()->isAliveTcpTask_Async(ids[0], info));
    EXPECT_EQ(info.url, "/tick");
    EXPECT_EQ(server.reactor()->asyncTaskCount(), 0);
    EXPECT_EQ(server.reactor()->syncTaskCount(), 0);

    PlainService unknown(static_cast<MCT_TYPE>(2));
    EXPECT_FALSE(unknown.startReactor(QHostAddress::LocalHost, 0));
    EXPECT_EQ(unknown.reactor(), nullptr);
}

TEST(SessionQueuedMode, HandsWaitingMessagesOnInOrderAndDropsWhatCannotBeDecoded) {
    Session session(nullptr, nullptr, 7);
    QStringList seen;  // "request <url>" or "reply <task id>", in arrival order
    // Directly connected, as the reactor connects: handlers run on the session's own thread.
    QObject::connect(&session, &Session::sigRequest, [&](const CTask_FormData& r) {
        EXPECT_EQ(QThread::currentThread(), session.thread());
        seen << "request " + r.url;
    });
    QObject::connect(&session, &Session::sigResponse_sync,
                     [&seen](const CTask_FormData& r) { seen << "reply " + r.uuid; });
    const auto message = [](const QByteArray& head, const QByteArray& body) {
        SCI_ExecObj_Recv m(head + "\r\nContent-Type: application/json\r\nContent-Length: " +
                               QByteArray::number(body.size()),
                           7);
        m.addBody(body);
        return m;
    };
    const struct {
        QByteArray head, body;
    } queued[] = {
        {"POST /first HTTP/1.1\r\nUser-Agent: a", "{}"},
        {"POST /broken HTTP/1.1\r\nUser-Agent: b", "{"},  // invalid JSON: dropped
        {"HTTP/1.1 200 OK\r\nUser-Agent: c", "{}"},
        {"POST /last HTTP/1.1\r\nUser-Agent: d", "{}"},
    };
    for (const auto& q : queued) session.queueMessage(message(q.head, q.body));
    session.analyseBuffer_Setup2();
    session.analyseBuffer_Setup2();  // already running: no second thread
    ASSERT_TRUE(testsupport::waitFor([&seen] { return seen.size() >= 3; }));
    EXPECT_EQ(seen, (QStringList{"request /first", "reply c", "request /last"}));

    // What is queued later is handed on too, whether the thread still runs or has ended.
    session.queueMessage(message("POST /again HTTP/1.1\r\nUser-Agent: e", "{}"));
    session.analyseBuffer_Setup2();
    ASSERT_TRUE(testsupport::waitFor([&seen] { return seen.size() >= 4; }));
    EXPECT_EQ(seen.last(), "request /again");
}
