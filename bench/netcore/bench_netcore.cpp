// Message core performance.
//
// 1. Google Benchmark: decoding a small JSON request and writing its reply, each beside the
//    bare JSON work (QJsonDocument) the core cannot avoid.
// 2. Loopback service: requests per second and latency of small JSON POSTs to a service on the
//    core, measured with wrk, beside a private nginx serving the same reply from a file in the
//    same run, so the figure reads as a ratio.
//
// Usage: bench_netcore [--seconds=N] [--connections=N] [google benchmark flags]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "execobjrecv.h"
#include "httpmanager.h"
#include "wireformat.h"

namespace {

const QByteArray kRequestBody = R"({"camera":2,"detect":1,"query":"product_infos"})";
const QByteArray kRequestHead =
    "POST /v18/http/get_product_infos HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: bench-1\r\n"
    "Content-Type: application/json\r\nContent-Length: " +
    QByteArray::number(kRequestBody.size());

QJsonObject replyObject() {
    QJsonObject result;
    result.insert("camera_count", 2);
    result.insert("run_status", 1);
    result.insert("detect_status", 0);
    result.insert("detect_all", 12345);
    result.insert("detect_ng", 17);
    return result;
}

// --- micro-benchmarks ---

void BM_DecodeJsonRequest(benchmark::State& state) {
    for (auto _ : state) {
        SCI_ExecObj_Recv message(kRequestHead, 1);
        message.addBody(kRequestBody);
        benchmark::DoNotOptimize(message.analysisIntegrality());
        benchmark::DoNotOptimize(message.getFormData());
    }
}
BENCHMARK(BM_DecodeJsonRequest);

void BM_Reference_JsonParseOnly(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(QJsonDocument::fromJson(kRequestBody).object());
}
BENCHMARK(BM_Reference_JsonParseOnly);

void BM_ComposeJsonReply(benchmark::State& state) {
    CTask_FormData reply;
    reply.uuid = "dezivodo#20240105_134501_007_12";
    reply.values.insert("result", QVariant::fromValue(replyObject()));
    for (auto _ : state) {
        const QByteArray body = wire::replyJsonBody(reply, 0, QStringLiteral("OK"));
        benchmark::DoNotOptimize(
            wire::head(wire::kStatusLine, reply, wire::kJsonType, body.size()) + body);
    }
}
BENCHMARK(BM_ComposeJsonReply);

void BM_Reference_JsonWriteOnly(benchmark::State& state) {
    QJsonObject reply{{"code", 0}, {"msg", "OK"}, {"result", replyObject()}};
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}
BENCHMARK(BM_Reference_JsonWriteOnly);

// --- loopback comparison ---

class BenchService : public HttpManager {
public:
    BenchService() : HttpManager(MCT_SERVER) {
        routes_.insert(
            QStringLiteral("/v18/http/get_product_infos"), [this](CTask_FormData request) {
                CTask_FormData reply;
                reply.uuid = request.uuid;
                reply.sessionId = request.sessionId;
                reply.values.insert(QStringLiteral("result"), QVariant::fromValue(replyObject()));
                reactor()->post_async(reply);
            });
    }
    void SlotRecvResponse_Async(CTask_FormData) override {}
};

struct WrkFigures {
    bool ok = false;
    double requestsPerSecond = 0;
    QString average, p50, p99;
    QString error;
};

// Runs wrk while this thread keeps serving the service's events.
WrkFigures runWrk(const QString& url, const QString& script, int seconds, int connections) {
    WrkFigures figures;
    QProcess wrk;
    wrk.setProcessChannelMode(QProcess::MergedChannels);
    wrk.start("wrk", {"-t1", QStringLiteral("-c%1").arg(connections),
                      QStringLiteral("-d%1s").arg(seconds), "--latency", "-s", script, url});
    QEventLoop loop;
    QObject::connect(&wrk, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QTimer::singleShot((seconds + 20) * 1000, &loop, &QEventLoop::quit);
    if (wrk.state() != QProcess::NotRunning) loop.exec();
    if (wrk.state() != QProcess::NotRunning) {
        wrk.kill();
        wrk.waitForFinished(2000);
        figures.error = "wrk did not finish";
        return figures;
    }
    const QString output = QString::fromUtf8(wrk.readAll());
    const auto grab = [&](const QString& pattern) {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption)
            .match(output)
            .captured(1);
    };
    figures.requestsPerSecond = grab(R"(^Requests/sec:\s+([0-9.]+))").toDouble();
    figures.average = grab(R"(^\s+Latency\s+(\S+))");
    figures.p50 = grab(R"(^\s+50%\s+(\S+))");
    figures.p99 = grab(R"(^\s+99%\s+(\S+))");
    const QString errors = grab(R"(^\s+(Socket errors:.*)$)");
    const QString non2xx = grab(R"(^\s+(Non-2xx or 3xx responses:.*)$)");
    figures.ok = figures.requestsPerSecond > 0 && non2xx.isEmpty();
    figures.error = (errors + " " + non2xx).trimmed();
    if (figures.requestsPerSecond <= 0) figures.error = output.left(400);
    return figures;
}

quint16 freeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

// The exact reply the service gives to the benchmark request.
QByteArray fetchReplyBody(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QByteArray received;
    socket.write(kRequestHead + "\r\n\r\n" + kRequestBody);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        received += socket.readAll();
        const int end = received.indexOf("\r\n\r\n");
        const QRegularExpressionMatch length =
            QRegularExpression("Content-Length: (\\d+)").match(QString::fromUtf8(received));
        if (end >= 0 && length.hasMatch() &&
            received.size() >= end + 4 + length.captured(1).toInt())
            return received.mid(end + 4);
        QThread::msleep(1);
    }
    return QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

int runLoopbackComparison(int seconds, int connections) {
    for (const char* tool : {"wrk", "nginx"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty() &&
            QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"}).isEmpty()) {
            std::printf("loopback comparison skipped: %s is not installed\n", tool);
            return 0;
        }
    }
    BenchService service;
    if (!service.startReactor(QHostAddress::LocalHost, 0)) {
        std::printf("loopback comparison failed: the service does not listen\n");
        return 1;
    }
    const quint16 corePort = service.reactor()->localPort();
    const QByteArray reply = fetchReplyBody(corePort);
    if (reply.isEmpty()) {
        std::printf("loopback comparison failed: no reply from the service\n");
        return 1;
    }

    QTemporaryDir dir;
    const QString root = dir.path();
    const quint16 nginxPort = freeLoopbackPort();
    QDir(root).mkpath("www/v18/http");
    writeFile(root + "/www/v18/http/get_product_infos", reply);
    const QString script = root + "/post.lua";
    writeFile(script,
              "wrk.method = \"POST\"\n"
              "wrk.body = '" +
                  kRequestBody +
                  "'\n"
                  "wrk.headers[\"Content-Type\"] = \"application/json\"\n"
                  "wrk.headers[\"User-Agent\"] = \"bench\"\n");
    // A private nginx: own prefix, own port on loopback, one worker, no system files.
    const QString config =
        QStringLiteral(
            "daemon off;\nuser root;\nworker_processes 1;\npid %1/nginx.pid;\n"
            "error_log %1/error.log warn;\nevents { worker_connections 1024; }\n"
            "http {\n  access_log off;\n  default_type application/json;\n"
            "  keepalive_requests 100000000;\n"
            "  client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
            "  fastcgi_temp_path %1/fastcgi; uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
            "  server {\n    listen 127.0.0.1:%2;\n    root %1/www;\n"
            "    location / { error_page 405 =200 $uri; }\n  }\n}\n")
            .arg(root)
            .arg(nginxPort);
    writeFile(root + "/nginx.conf", config.toUtf8());
    QProcess nginx;
    nginx.setProcessChannelMode(QProcess::MergedChannels);
    nginx.start("nginx", {"-p", root, "-e", root + "/error.log", "-c", root + "/nginx.conf"});
    QTcpSocket probe;
    QElapsedTimer started;
    started.start();
    bool nginxUp = false;
    while (!nginxUp && started.elapsed() < 5000 && nginx.state() != QProcess::NotRunning) {
        probe.connectToHost(QHostAddress::LocalHost, nginxPort);
        nginxUp = probe.waitForConnected(100);
        probe.abort();
    }

    const QString path = "/v18/http/get_product_infos";
    std::printf(
        "\nloopback, POST of a %d-byte JSON request, %d-byte JSON reply, "
        "wrk -t1 -c%d -d%ds\n",
        int(kRequestBody.size()), int(reply.size()), connections, seconds);
    const WrkFigures core = runWrk(QStringLiteral("http://127.0.0.1:%1%2").arg(corePort).arg(path),
                                   script, seconds, connections);
    WrkFigures reference;
    if (nginxUp)
        reference = runWrk(QStringLiteral("http://127.0.0.1:%1%2").arg(nginxPort).arg(path), script,
                           seconds, connections);
    else
        reference.error = "nginx did not start: " + QString::fromUtf8(nginx.readAll());
    nginx.terminate();
    if (!nginx.waitForFinished(3000)) {
        nginx.kill();
        nginx.waitForFinished(1000);
    }

    const auto row = [](const char* name, const WrkFigures& f) {
        std::printf("%-28s %12.0f %10s %10s %10s  %s\n", name, f.requestsPerSecond,
                    qPrintable(f.average), qPrintable(f.p50), qPrintable(f.p99),
                    qPrintable(f.error));
    };
    std::printf("%-28s %12s %10s %10s %10s\n", "", "requests/s", "avg", "p50", "p99");
    row("message core service", core);
    row("nginx, same reply as file", reference);
    if (core.requestsPerSecond > 0 && reference.requestsPerSecond > 0)
        std::printf("%-28s %12.2f\n", "ratio core / nginx",
                    core.requestsPerSecond / reference.requestsPerSecond);
    return core.ok && reference.ok ? 0 : 1;
}

int intFlag(int& argc, char** argv, const char* name, int fallback) {
    const QByteArray prefix = QByteArray("--") + name + "=";
    int value = fallback;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]).startsWith(prefix))
            value = QByteArray(argv[i]).mid(prefix.size()).toInt();
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return value > 0 ? value : fallback;
}

// Per-request info lines would measure the terminal; warnings still show.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietHandler);
    const int seconds = intFlag(argc, argv, "seconds", 3);
    const int connections = intFlag(argc, argv, "connections", 16);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return runLoopbackComparison(seconds, connections);
}
