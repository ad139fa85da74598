// Clients we did not write talk to a service on the message core: curl and Python's
// http.client, over 127.0.0.1 and an ephemeral port.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "netcoretestutil.h"
#include "netlimits.h"
#include "testsupport.h"
#include "wireformat.h"

using testsupport::available;
using testsupport::runClient;

TEST(ForeignClients, CurlPostsJsonAndReadsTheReplies) {
    if (!available("curl")) GTEST_SKIP() << "curl is not installed";
    nettest::EchoService service;
    ASSERT_TRUE(service.start());
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(service.port());

    int code = -1;
    const QByteArray echo =
        runClient("curl",
                  {"-sS", "--max-time", "5", "-H", "Content-Type: application/json", "-d",
                   QStringLiteral("{\"word\":\"模具\",\"n\":3}"), base + "/echo"},
                  &code);
    ASSERT_EQ(code, 0);
    const QJsonObject reply = QJsonDocument::fromJson(echo).object();
    EXPECT_EQ(reply.value("code").toInt(), 0);
    EXPECT_EQ(reply.value("msg").toString(), "OK");
    const QJsonObject echoed = reply.value("result").toObject().value("echo").toObject();
    EXPECT_EQ(echoed.value("word").toString(), QStringLiteral("模具"));
    EXPECT_EQ(echoed.value("n").toInt(), 3);

    // Two requests on one kept-alive connection: an unknown url, then malformed JSON. curl
    // reads each reply by its Content-Length, so a wrong count would hang or cut it.
    const QByteArray notFound =
        runClient("curl",
                  {"-sS", "--max-time", "5", "-H", "Content-Type: application/json", "-d", "{}",
                   base + "/nowhere", "--next", "-sS", "--max-time", "5", "-H",
                   "Content-Type: application/json", "-d", "{\"open\":", base + "/echo"},
                  &code);
    ASSERT_EQ(code, 0);
    const QByteArray expected =
        "{\"code\":404,\"msg\":\"" + QByteArray(wire::kNotHandledMessage) + "\",\"result\":{}}";
    EXPECT_EQ(notFound, expected + expected);
    EXPECT_EQ(service.handled, 1);
}

TEST(ForeignClients, PythonHttpClientKeepsOneConnectionForSeveralRequests) {
    if (!available("python3")) GTEST_SKIP() << "python3 is not installed";
    nettest::EchoService service;
    ASSERT_TRUE(service.start());
    const char* script = R"(
import http.client, json, sys
conn = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]), timeout=5)
out = []
for path, body, ctype in [("/echo", json.dumps({"k": "值"}), "application/json"),
                          ("/echo", "not json", "application/json"),
                          ("/echo", "{}", "text/plain"),
                          ("/echo", json.dumps({"last": 1}), "application/json")]:
    conn.request("POST", path, body=body.encode("utf-8"), headers={"Content-Type": ctype})
    r = conn.getresponse()
    data = r.read()
    assert int(r.getheader("Content-Length")) == len(data)
    out.append({"status": r.status, "reply": json.loads(data.decode("utf-8"))})
conn.close()
print(json.dumps(out))
)";
    int code = -1;
    const QByteArray output =
        runClient("python3", {"-c", script, QString::number(service.port())}, &code);
    ASSERT_EQ(code, 0);
    const QJsonArray results = QJsonDocument::fromJson(output).array();
    ASSERT_EQ(results.size(), 4);
    for (const QJsonValue& result : results) EXPECT_EQ(result.toObject().value("status"), 200);
    const auto reply = [&](int i) { return results[i].toObject().value("reply").toObject(); };
    EXPECT_EQ(reply(0).value("result").toObject().value("echo").toObject().value("k").toString(),
              QStringLiteral("值"));
    EXPECT_EQ(reply(1).value("code").toInt(), 404);
    EXPECT_EQ(reply(2).value("code").toInt(), 404);
    EXPECT_EQ(reply(3).value("result").toObject().value("echo").toObject().value("last"), 1);
    EXPECT_EQ(service.handled, 2);
    // One connection served all four.
    EXPECT_EQ(service.requests[0].sessionId, service.requests[1].sessionId);
}

TEST(ForeignClients, SilentConnectionsAndConnectCloseBurstsLockNoClientOut) {
    if (!available("curl")) GTEST_SKIP() << "curl is not installed";
    nettest::EchoService service;
    ASSERT_TRUE(service.start());
    const quint16 port = service.port();
    const auto curlServed = [&] {
        int code = -1;
        const QByteArray reply =
            runClient("curl",
                      {"-sS", "--max-time", "5", "-H", "Content-Type: application/json", "-d",
                       "{\"n\":1}", QStringLiteral("http://127.0.0.1:%1/echo").arg(port)},
                      &code);
        return code == 0 && QJsonDocument::fromJson(reply).object().value("code") == 0;
    };
    // As many connections as the cap, silent but for a message half sent on the oldest (its
    // task is registered once the server has read its head).
    std::vector<std::unique_ptr<nettest::RawClient>> silent(netlimits::kMaxSessions);
    for (auto& connection : silent) {
        connection = std::make_unique<nettest::RawClient>();
        ASSERT_TRUE(connection->connectTo(port));
    }
    silent[0]->send(
        "POST /echo HTTP/1.1\r\nUser-Agent: half\r\nContent-Type: application/json\r\n"
        "Content-Length: 10\r\n\r\n{");
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return service.reactor()->sessionCount() == netlimits::kMaxSessions; }));
    ASSERT_TRUE(testsupport::waitFor([&] { return service.reactor()->isAliveTcpTask("half"); }));

    // The one idle the longest between messages makes room.
    EXPECT_TRUE(curlServed());
    EXPECT_TRUE(silent[1]->waitClosed());
    EXPECT_EQ(silent[0]->socket.state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(silent[2]->socket.state(), QAbstractSocket::ConnectedState);

    // Connections closed in a burst, before the server has seen them go, hold no place.
    for (int i = 0; i < 300; ++i) {
        QTcpSocket burst;
        burst.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(burst.waitForConnected(3000)) << i;
        burst.abort();
    }
    EXPECT_TRUE(curlServed());
    EXPECT_EQ(silent[2]->socket.state(), QAbstractSocket::ConnectedState);
}

TEST(ForeignClients, PythonHttpClientIdlePastTheLimitIsClosedWhileAnActiveOneStays) {
    if (!available("python3")) GTEST_SKIP() << "python3 is not installed";
    NetLimits limits;
    limits.idleTimeoutMs = 400;
    nettest::EchoService service;
    ASSERT_TRUE(service.start(limits));
    const char* script = R"(
import http.client, sys, time
def ask(conn):
    try:
        conn.request("POST", "/echo", body=b"{}", headers={"Content-Type": "application/json"})
        return conn.getresponse().read() != b""
    except (http.client.HTTPException, OSError):
        return False
port = int(sys.argv[1])
idle = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
active = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
first = ask(idle)
kept = True
for _ in range(8):
    time.sleep(0.1)
    kept = ask(active) and kept
print(first, kept, ask(idle))
)";
    int code = -1;
    const QByteArray output =
        runClient("python3", {"-c", script, QString::number(service.port())}, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(output.trimmed(), "True True False");
}
