// Camera discovery packets and the force-IP plan, each figure beside a reference measured in
// the same run:
// - a DISCOVERY_ACK read into its record with its key text, beside a bare copy of the record;
// - a DISCOVERY_ACK built, beside a bare buffer of its size filled from a record;
// - the plan for 8 cameras on a foreign subnet (each needs a free address), beside the bare
//   network comparison of the same 8 cameras.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "gvcpclient.h"
#include "netif.h"

namespace {

constexpr int kCameras = 8;

const QByteArray& ack() {
    static const QByteArray packet =
        gvcp_ack_discover("cam-7f3a9c", "192.168.1.10", "192.168.1.20", "255.255.255.0",
                          "192.168.1.1", "02:00:0a:0b:0c:0d");
    return packet;
}

void BM_ReadDiscoveryAck(benchmark::State& state) {
    for (auto _ : state) {
        const gvcp::Ack read = gvcp::readAck(ack().constData(), ack().size());
        benchmark::DoNotOptimize(gvcp::fieldText(read.discovery.id));
    }
}
BENCHMARK(BM_ReadDiscoveryAck);

void BM_Reference_CopyRecord(benchmark::State& state) {
    for (auto _ : state) {
        gvcp_discover_ack_payload record;
        std::memcpy(&record, ack().constData() + gvcp::kHeaderBytes, sizeof record);
        benchmark::DoNotOptimize(QString::fromUtf8(record.id));
    }
}
BENCHMARK(BM_Reference_CopyRecord);

void BM_BuildDiscoveryAck(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(gvcp_ack_discover("cam-7f3a9c", "192.168.1.10", "192.168.1.20",
                                                   "255.255.255.0", "192.168.1.1",
                                                   "02:00:0a:0b:0c:0d"));
}
BENCHMARK(BM_BuildDiscoveryAck);

void BM_Reference_FillBuffer(benchmark::State& state) {
    const gvcp_discover_ack_payload record{};
    for (auto _ : state) {
        QByteArray bytes(gvcp::kHeaderBytes + int(sizeof record), '\0');
        std::memcpy(bytes.data() + gvcp::kHeaderBytes, &record, sizeof record);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_Reference_FillBuffer);

struct Scene {
    QMap<QString, gvcp_discover_ack_payload> cameras;
    QMap<QString, NetBase> nets;
    Scene() {
        nets.insert("02:00:00:00:00:01",
                    {"eth0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "02:00:00:00:00:01"});
        for (int i = 0; i < kCameras; ++i) {
            gvcp_discover_ack_payload record{};
            record.ip = inet_addr(QString("10.0.0.%1").arg(i + 5).toLatin1().constData());
            record.mask = inet_addr("255.0.0.0");
            record.host_ip = inet_addr("192.168.1.10");
            cameras.insert(QString("cam-%1").arg(i), record);
        }
    }
};

void BM_PlanForceIp(benchmark::State& state) {
    const Scene scene;
    for (auto _ : state) benchmark::DoNotOptimize(gvcp::planForceIp(scene.cameras, scene.nets));
}
BENCHMARK(BM_PlanForceIp);

void BM_Reference_CompareNetworks(benchmark::State& state) {
    const Scene scene;
    for (auto _ : state) {
        int same = 0;
        for (const gvcp_discover_ack_payload& record : scene.cameras)
            same += getSubNet(nint2string(record.ip), nint2string(record.mask)) ==
                    getSubNet(nint2string(record.host_ip), "255.255.255.0");
        benchmark::DoNotOptimize(same);
    }
}
BENCHMARK(BM_Reference_CompareNetworks);

}  // namespace

BENCHMARK_MAIN();
