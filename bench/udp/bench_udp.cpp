// Device text protocol parsing, each figure beside a reference measured in the same run:
// - a heartbeat datagram parsed into a record, beside the bare UTF-8 decode and split;
// - a configuration string read into a record, beside the bare match of its pattern, on a
//   real configuration and on datagrams made of group separators (the pattern backtracks).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <QRegularExpression>

#include "dtpprotocol.h"

namespace {

const QByteArray kHeartbeat = "<S;3;io-7f3a9c;10100000;00000001>";
const QString kConfig =
    "(M7);(io-1;192.168.1.20);(cam-1;192.168.1.30);(cam-2;192.168.1.31;cam-3;192.168.1.32)";

QString separators(int count) {
    return '(' + QString(");(").repeated(count) + 'x';
}

void BM_ParseHeartbeat(benchmark::State& state) {
    sockaddr_in sender{};
    for (auto _ : state)
        benchmark::DoNotOptimize(dtp::makeIoRecord(dtp::parse(kHeartbeat), sender));
}
BENCHMARK(BM_ParseHeartbeat);

void BM_Reference_DecodeAndSplit(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(QString::fromUtf8(kHeartbeat).split(QLatin1Char(';')));
}
BENCHMARK(BM_Reference_DecodeAndSplit);

void runParse(benchmark::State& state, const QString& text) {
    DTP_Procotol_Struct cfg;
    for (auto _ : state) benchmark::DoNotOptimize(ParseStr2CamCfg(text, cfg));
}

void runPattern(benchmark::State& state, const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("\\((.*)\\);\\((.*)\\);\\((.*)\\);\\((.*)\\)"));
    for (auto _ : state) benchmark::DoNotOptimize(pattern.match(text).hasMatch());
}

void BM_ParseConfig(benchmark::State& state) {
    runParse(state, kConfig);
}
BENCHMARK(BM_ParseConfig);
void BM_Reference_ConfigPattern(benchmark::State& state) {
    runPattern(state, kConfig);
}
BENCHMARK(BM_Reference_ConfigPattern);

// 680 separators fill a whole receive buffer.
void BM_ParseConfig_Separators(benchmark::State& state) {
    runParse(state, separators(state.range(0)));
}
BENCHMARK(BM_ParseConfig_Separators)->Arg(40)->Arg(680);
void BM_Reference_ConfigPattern_Separators(benchmark::State& state) {
    runPattern(state, separators(state.range(0)));
}
BENCHMARK(BM_Reference_ConfigPattern_Separators)->Arg(40)->Arg(680);

}  // namespace

BENCHMARK_MAIN();
