// Inserts per second into the operator log as the program configures it (rollback journal,
// full synchronisation: every record is on the disk when the insert returns), beside the
// same inserts with weaker settings that can lose the last records in a power cut. And the
// counter file written after every cycle: durably (synced, size read back) beside QSettings,
// which neither syncs nor notices a full disk.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include "counterstore.h"
#include "operationlog.h"

static void BM_OperationLogInsert(benchmark::State& state) {
    QTemporaryDir dir;
    OperationLog log(dir.path(), "bench");
    log.loadRecordDay(QDate(2026, 1, 1));
    for (auto _ : state) log.insert("08.00.00", "Primary", "Camera 1 Alarm");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OperationLogInsert)->Unit(benchmark::kMicrosecond)->UseRealTime();

static void BM_ReferenceInsert(benchmark::State& state) {
    static const char* const kModes[] = {"FULL", "NORMAL", "OFF"};
    const char* mode = kModes[state.range(0)];
    state.SetLabel(std::string("synchronous=") + mode + (state.range(1) ? " WAL" : " rollback"));
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "ref");
        db.setDatabaseName(dir.filePath("ref.db"));
        db.open();
        QSqlQuery q(db);
        if (state.range(1)) q.exec("PRAGMA journal_mode=WAL");
        q.exec(QString("PRAGMA synchronous=%1").arg(mode));
        q.exec("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)");
        q.prepare("INSERT INTO RECORD VALUES(?, ?, ?)");
        for (auto _ : state) {
            q.addBindValue(QStringLiteral("08.00.00"));
            q.addBindValue(QStringLiteral("Primary"));
            q.addBindValue(QStringLiteral("Camera 1 Alarm"));
            q.exec();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("ref");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceInsert)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

static void BM_CounterWrite(benchmark::State& state) {
    QTemporaryDir dir;
    const CounterStore store(dir.filePath("count.ini"));
    ProductionCounters counters;
    for (auto _ : state) {
        ++counters.syncNGNum;
        store.write(counters);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CounterWrite)->Unit(benchmark::kMicrosecond)->UseRealTime();

static void BM_ReferenceCounterWriteQSettings(benchmark::State& state) {
    QTemporaryDir dir;
    QVariantList list;
    for (int i = 0; i < 8; ++i) list << i;
    int n = 0;
    for (auto _ : state) {
        QSettings settings(dir.filePath("count.ini"), QSettings::IniFormat);
        for (const char* key :
             {"list_allnum", "list_failnum", "list_allcyclenum", "list_failcyclenum"})
            settings.setValue(key, list);
        settings.setValue("gSyncNGNum", ++n);
        settings.setValue("gSyncNGcycleNum", n);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceCounterWriteQSettings)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
