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
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "execobjrecv.h"
#include "httpmanager.h"
#include "loopbackload.h"
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

int runLoopbackComparison(int seconds, int connections) {
    if (!benchload::toolsAvailable()) {
        std::printf("loopback comparison skipped: wrk or nginx is not installed\n");
        return 0;
    }
    BenchService service;
    if (!service.startReactor(QHostAddress::LocalHost, 0)) {
        std::printf("loopback comparison failed: the service does not listen\n");
        return 1;
    }
    const quint16 corePort = service.reactor()->localPort();
    const QByteArray reply =
        benchload::fetchReplyBody(corePort, kRequestHead + "\r\n\r\n" + kRequestBody);
    if (reply.isEmpty()) {
        std::printf("loopback comparison failed: no reply from the service\n");
        return 1;
    }
    const QString path = "/v18/http/get_product_infos";
    benchload::NginxReference nginx(path, reply);
    const QString script = nginx.postScript(kRequestBody);

    std::printf(
        "\nloopback, POST of a %d-byte JSON request, %d-byte JSON reply, "
        "wrk -t1 -c%d -d%ds\n",
        int(kRequestBody.size()), int(reply.size()), connections, seconds);
    const benchload::WrkFigures core =
        benchload::runWrk(QStringLiteral("http://127.0.0.1:%1%2").arg(corePort).arg(path), script,
                          seconds, connections);
    benchload::WrkFigures reference;
    if (nginx.ok())
        reference =
            benchload::runWrk(QStringLiteral("http://127.0.0.1:%1%2").arg(nginx.port()).arg(path),
                              script, seconds, connections);
    else
        reference.error = nginx.error();
    benchload::printHeader();
    benchload::printRow("message core service", core);
    benchload::printRow("nginx, same reply as file", reference);
    benchload::printRatio("ratio core / nginx", core, reference);
    return core.ok && reference.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(benchload::quietHandler);
    const int seconds = benchload::intFlag(argc, argv, "seconds", 3);
    const int connections = benchload::intFlag(argc, argv, "connections", 16);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return runLoopbackComparison(seconds, connections);
}
