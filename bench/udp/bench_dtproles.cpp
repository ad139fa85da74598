// The camera role's handling of one heartbeat on its listening thread (parse, acceptance,
// permission rule over the cell, IO words, log gate; the answer's send left out), beside the
// bare parse of the same datagram into a record, measured in the same run.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "dtp_interaction_manager.h"
#include "dtpprotocol.h"

namespace {

const QByteArray kHeartbeat = "<S;3;io-1;10100000;00000000>";

// The main camera of a cell with three sub cameras; its answers go nowhere.
class QuietCamera : public DTP_Interaction_Manager {
public:
    QuietCamera() : DTP_Interaction_Manager("cam-1") {
        ParseStr2CamCfg(
            "(M7);(io-1;10.0.0.2);(cam-1;10.0.0.3);"
            "(cam-2;10.0.0.4;cam-3;10.0.0.5;cam-4;10.0.0.6)",
            cellCfg);
    }

protected:
    DTP_INTER_ERROR sendMessage(const QString&, quint16, const QByteArray&,
                                const QString&) override {
        return kDtpNoAnswer;
    }
};

sockaddr_in ioBox() {
    sockaddr_in from{};
    inet_pton(AF_INET, "10.0.0.2", &from.sin_addr);
    return from;
}

void BM_CameraTakesHeartbeat(benchmark::State& state) {
    QuietCamera camera;
    const sockaddr_in from = ioBox();
    for (auto _ : state) benchmark::DoNotOptimize(camera.AnalysisRecvMessage(from, kHeartbeat));
}
BENCHMARK(BM_CameraTakesHeartbeat);

void BM_Reference_ParseHeartbeat(benchmark::State& state) {
    const sockaddr_in from = ioBox();
    for (auto _ : state)
        benchmark::DoNotOptimize(dtp::makeCameraRecord(dtp::parse(kHeartbeat), from));
}
BENCHMARK(BM_Reference_ParseHeartbeat);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
