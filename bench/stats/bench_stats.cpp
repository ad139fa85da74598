// Cost of the statistics work that runs on the panel: saving a full day (8 cameras x 8
// stages) from the store, and counting one stage result. Each is printed beside a reference
// measured in the same run: a plain SQLite upsert of the same bytes on an open connection,
// and plain counter increments. Choosing the day files of a one-year export is printed beside a
// plain listing of the archive folder.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <array>

#include "exportselection.h"
#include "globals.h"
#include "resstatisticsdatabase.h"
#include "resstatisticsparam.h"
#include "statisticsjson.h"

namespace {

constexpr int kCameras = 8;
constexpr int kStages = 8;

CountGroupList fullDay() {
    CountGroupList day = stats::newDay("2024-05-01", "default", kCameras, kStages);
    int value = 1;
    for (CountCamera& camera : day.groups[0].cameras)
        for (CountDetect& record : camera.detects)
            for (int slot = 0; slot < stats::kHourSlots; ++slot) {
                record.OK[slot] = 1000 + value++ % 997;
                record.NG[slot] = value % 13;
            }
    return day;
}

void BM_SaveDay(benchmark::State& state) {
    numCamera = kCameras;
    gDNum = kStages;
    ResStatisticsDatabase store(nullptr);
    CountGroupList day = fullDay();
    for (auto _ : state) {
        ++day.groups[0].cameras[0].detects[0].OK[0];  // a changed day is written
        store.slotSaveRecord(day.date, stats::dayToJson(day, kStages), false);
    }
    state.SetBytesProcessed(state.iterations() *
                            stats::documentText(stats::dayToJson(day, kStages)).size());
}
BENCHMARK(BM_SaveDay)->Unit(benchmark::kMillisecond);

void BM_SaveDayUnchanged(benchmark::State& state) {
    numCamera = kCameras;
    gDNum = kStages;
    ResStatisticsDatabase store(nullptr);
    const QJsonObject json = stats::dayToJson(fullDay(), kStages);
    store.slotSaveRecord("2024-05-01", json, false);
    for (auto _ : state) store.slotSaveRecord("2024-05-01", json, false);
}
BENCHMARK(BM_SaveDayUnchanged)->Unit(benchmark::kMillisecond);

void BM_DayToJsonText(benchmark::State& state) {
    const CountGroupList day = fullDay();
    for (auto _ : state)
        benchmark::DoNotOptimize(stats::documentText(stats::dayToJson(day, kStages)));
}
BENCHMARK(BM_DayToJsonText)->Unit(benchmark::kMillisecond);

// Reference: the same bytes upserted on a connection that stays open.
void BM_ReferencePlainSqliteUpsert(benchmark::State& state) {
    const QString text =
        QString::fromUtf8(stats::documentText(stats::dayToJson(fullDay(), kStages)));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "benchref");
        db.setDatabaseName("reference.db");
        db.open();
        QSqlQuery query(db);
        query.exec(
            "CREATE TABLE IF NOT EXISTS resstatistics (name TEXT UNIQUE, value1 TEXT, "
            "value2 TEXT)");
        query.prepare(
            "INSERT INTO resstatistics (name, value1, value2) VALUES (:n, :v1, '') ON "
            "CONFLICT(name) DO UPDATE SET value1 = excluded.value1");
        for (auto _ : state) {
            query.bindValue(":n", "statisticsjson");
            query.bindValue(":v1", text);
            if (!query.exec()) state.SkipWithError("upsert failed");
        }
        state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("benchref");
}
BENCHMARK(BM_ReferencePlainSqliteUpsert)->Unit(benchmark::kMillisecond);

void BM_AddRecord(benchmark::State& state) {
    numCamera = kCameras;
    gDNum = kStages;
    QFile::remove("ResStatistics.db");
    ResStatisticsParam model;
    const QList<bool> results{true, true, false, true, true, true, true, true};
    int stage = 0;
    for (auto _ : state) {
        model.addRecord(stage, 0, results, "default");
        stage = (stage + 1) % kStages;
    }
}
BENCHMARK(BM_AddRecord)->Unit(benchmark::kMicrosecond);

// Reference: the slot increments of one stage result on plain arrays, without sums.
void BM_ReferencePlainIncrements(benchmark::State& state) {
    std::array<std::array<std::array<int, 24>, kStages + 1>, kCameras + 1> ok{};
    const std::array<bool, kCameras> results{true, true, false, true, true, true, true, true};
    int stage = 0;
    for (auto _ : state) {
        bool all = true;
        for (int c = 0; c < kCameras; ++c) {
            ok[c][stage][3] += results[c];
            all = all && results[c];
        }
        ok[kCameras][stage][3] += all;
        benchmark::DoNotOptimize(ok);
        stage = (stage + 1) % kStages;
    }
}
BENCHMARK(BM_ReferencePlainIncrements)->Unit(benchmark::kMicrosecond);

// The day files of a one-year export, chosen from three years of archived days.
void archiveThreeYears() {
    QDir().mkpath("ResStatistics");
    const QDate last(2024, 3, 31);
    for (QDate day = last.addYears(-3); day <= last; day = day.addDays(1))
        QFile("ResStatistics/" + day.toString("yyyy-MM-dd") + ".db").open(QIODevice::WriteOnly);
}

void BM_ExportFilesOfAYear(benchmark::State& state) {
    archiveThreeYears();
    const QDate today(2024, 3, 31);
    const auto range = stats::presetRange(stats::PresetOneYear, today);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            stats::exportFiles("./ResStatistics", range.first, range.second, today));
}
BENCHMARK(BM_ExportFilesOfAYear)->Unit(benchmark::kMillisecond);

// Reference: listing the same archive folder by name.
void BM_ReferenceListArchive(benchmark::State& state) {
    archiveThreeYears();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            QDir("./ResStatistics")
                .entryList({"*.db"}, QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name));
}
BENCHMARK(BM_ReferenceListArchive)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
