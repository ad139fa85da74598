// Camera client transport on loopback against the stand-in camera: one picture exchange of the
// frame pump (multipart reply with a 64 x 48 picture and its header) beside the smallest
// exchange the same core makes (the parameter set as JSON), so the figure reads as the cost the
// picture adds. The pump's budget per pass is 50 ms (20 pictures a second).
//
// Usage: bench_camsdk [google benchmark flags]
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "fakesmartcamera.h"
#include "tcpmanager_client.h"

namespace {

struct Rig {
    Rig() {
        fakepeer::FakeSmartCamera::Options options;
        options.address = QHostAddress::LocalHost;
        options.paramPort = options.picturePort = 0;
        camera = std::make_unique<fakepeer::FakeSmartCamera>(options);
        ok = camera->start() && params.startReactor(QHostAddress::LocalHost, camera->paramPort()) &&
             pictures.startReactor(QHostAddress::LocalHost, camera->picturePort());
    }
    std::unique_ptr<fakepeer::FakeSmartCamera> camera;
    TcpManager_Client params, pictures;
    bool ok = false;
};

Rig& rig() {
    static Rig instance;
    return instance;
}

void BM_PumpPictureExchange(benchmark::State& state) {
    if (!rig().ok) return state.SkipWithError("no loopback camera");
    for (auto _ : state) {
        CTask_FormData reply;
        if (rig().pictures.act_getPicture_sync(reply, 500) != 0 || reply.mats.isEmpty())
            return state.SkipWithError("picture exchange failed");
        benchmark::DoNotOptimize(reply.mats.first().data);
    }
}
BENCHMARK(BM_PumpPictureExchange)->Unit(benchmark::kMicrosecond);

void BM_Reference_ParameterSetExchange(benchmark::State& state) {
    if (!rig().ok) return state.SkipWithError("no loopback camera");
    for (auto _ : state) {
        QJsonObject params;
        if (rig().params.act_getparams(params) != 0)
            return state.SkipWithError("parameter exchange failed");
        benchmark::DoNotOptimize(params);
    }
}
BENCHMARK(BM_Reference_ParameterSetExchange)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
