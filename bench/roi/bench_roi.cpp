// Save and load of a whole camera's ROIs (8 detections x 100 freehand polygons), polygon mask
// building and the editing copy's round (copied at the opening, given back at the closing),
// each beside a reference measured in the same run: a plain SQLite insert loop of the same
// rows, the pixel-by-pixel point-in-polygon mask, and the whole-record assignment.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "cammersingleton.h"
#include "globals.h"
#include "polygonmask.h"
#include "roirow.h"

namespace {

constexpr int kShowW = 1280, kShowH = 1024;
constexpr int kFrameW = 2592, kFrameH = 1944;
constexpr float kScaleX = float(kShowW) / kFrameW;
constexpr float kScaleY = float(kShowH) / kFrameH;

std::vector<QPoint> freehandLoop(std::mt19937& random, int n, int cx, int cy, int radius) {
    std::uniform_real_distribution<double> wobble(0.7, 1.3);
    std::vector<QPoint> points;
    double r = radius;
    for (int i = 0; i < n; ++i) {
        const double angle = 2.0 * M_PI * i / n;
        r = 0.9 * r + 0.1 * radius * wobble(random);
        points.emplace_back(int(std::lround(cx + r * std::cos(angle))),
                            int(std::lround(cy + r * std::sin(angle))));
    }
    return points;
}

// A camera whose 800 ROIs are all freehand polygons of `points` points, 30 to 120 display
// pixels in radius, spread over the display.
std::unique_ptr<CammerSingleton> freehandCamera(int points) {
    auto p = std::make_unique<CammerSingleton>(0);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> cx(130, kShowW - 130), cy(130, kShowH - 130),
        radius(30, 120);
    for (int g = 0; g < roi::kDetections; ++g) {
        p->roiCount[g] = roi::kMaxRois;
        for (int i = 0; i < roi::kMaxRois; ++i) {
            const auto loop = freehandLoop(random, points, cx(random), cy(random), radius(random));
            p->polygons[g][i] = RePolygon(int(loop.size()), loop.data());
            p->polygons[g][i].SetHand(true);
            p->roiShapeType[g][i] = roi::kShapePolygon;
            p->roiParam1[g][i] = 25;
            p->roiParam2[g][i] = 100;
            p->roiParam3[g][i] = 3;
        }
    }
    return p;
}

class Database {
public:
    Database() {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
        db.setDatabaseName(dir_.filePath("PARAM.db"));
        db.open();
    }
    ~Database() {
        QSqlDatabase::database("bench").close();
        QSqlDatabase::removeDatabase("bench");
    }
    QSqlDatabase db() const { return QSqlDatabase::database("bench"); }

private:
    QTemporaryDir dir_;
};

Database& database() {
    static Database instance;
    return instance;
}

void setDisplay() {
    gShowW = kShowW;
    gShowH = kShowH;
}

void BM_SaveCamera(benchmark::State& state) {
    setDisplay();
    auto camera = freehandCamera(int(state.range(0)));
    QSqlDatabase db = database().db();
    camera->SaveDatatoFile(db);  // rows exist: every save updates 808 rows
    for (auto _ : state) {
        if (!camera->SaveDatatoFile(db)) state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * roi::kDetections * roi::kMaxRois);
}

void BM_SaveCameraIntoNewTable(benchmark::State& state) {
    setDisplay();
    auto camera = freehandCamera(int(state.range(0)));
    QSqlDatabase db = database().db();
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(db).exec("drop table if exists cammer0");
        state.ResumeTiming();
        if (!camera->SaveDatatoFile(db)) state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * roi::kDetections * roi::kMaxRois);
}

// Reference: the same rows written by a plain prepared insert loop in one transaction.
void BM_ReferencePlainInsertLoop(benchmark::State& state) {
    setDisplay();
    auto camera = freehandCamera(int(state.range(0)));
    QSqlDatabase db = database().db();
    camera->SaveDatatoFile(db);
    std::vector<std::pair<QString, QString>> rows;
    {
        QSqlQuery all(db);
        all.exec("select name, value from cammer0");
        while (all.next()) rows.emplace_back(all.value(0).toString(), all.value(1).toString());
    }
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(db).exec("drop table if exists plain");
        QSqlQuery(db).exec("create table plain (name text, value text)");
        state.ResumeTiming();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare("insert into plain (name, value) values (?, ?)");
        for (const auto& row : rows) {
            insert.bindValue(0, row.first);
            insert.bindValue(1, row.second);
            insert.exec();
        }
        db.commit();
    }
    state.SetItemsProcessed(state.iterations() * roi::kDetections * roi::kMaxRois);
}

void BM_LoadCamera(benchmark::State& state) {
    setDisplay();
    auto camera = freehandCamera(int(state.range(0)));
    QSqlDatabase db = database().db();
    camera->SaveDatatoFile(db);
    auto loaded = std::make_unique<CammerSingleton>(0);
    auto masks = std::make_unique<RoiMaskTable>();
    const bool withMasks = state.range(1) != 0;
    for (auto _ : state) {
        loaded->LoadDatafromFile(db, kScaleX, kScaleY, withMasks ? masks.get() : nullptr);
    }
    state.SetItemsProcessed(state.iterations() * roi::kDetections * roi::kMaxRois);
}

// Reference: reading the same rows with a plain select loop, no parsing.
void BM_ReferencePlainSelectLoop(benchmark::State& state) {
    setDisplay();
    auto camera = freehandCamera(int(state.range(0)));
    QSqlDatabase db = database().db();
    camera->SaveDatatoFile(db);
    for (auto _ : state) {
        QSqlQuery all(db);
        all.setForwardOnly(true);
        all.exec("select name, value from cammer0");
        qint64 bytes = 0;
        while (all.next()) bytes += all.value(1).toString().size();
        benchmark::DoNotOptimize(bytes);
    }
}

std::vector<QPoint> imageLoop(int points) {
    std::mt19937 random(9);
    return freehandLoop(random, points, 400, 400, 200);  // about 400 x 400 image pixels
}

QRect areaOf(const std::vector<QPoint>& points) {
    int x1 = points[0].x(), y1 = points[0].y(), x2 = x1, y2 = y1;
    for (const QPoint& p : points) {
        x1 = std::min(x1, p.x());
        y1 = std::min(y1, p.y());
        x2 = std::max(x2, p.x());
        y2 = std::max(y2, p.y());
    }
    QRect r;
    r.setCoords(x1, y1, x2 - 1, y2 - 1);
    return r;
}

void BM_PolygonMask(benchmark::State& state) {
    const auto points = imageLoop(int(state.range(0)));
    const QRect area = areaOf(points);
    for (auto _ : state) {
        cv::Mat mask = roi::polygonInteriorMask(points.data(), int(points.size()), area);
        benchmark::DoNotOptimize(mask.data);
    }
}

// Reference: one point-in-polygon test per pixel.
void BM_ReferencePointTestMask(benchmark::State& state) {
    const auto points = imageLoop(int(state.range(0)));
    const QRect area = areaOf(points);
    std::vector<cv::Point> contour;
    for (const QPoint& p : points) contour.emplace_back(p.x(), p.y());
    for (auto _ : state) {
        cv::Mat mask(area.height(), area.width(), CV_8UC1, cv::Scalar(0));
        for (int r = 0; r < mask.rows; ++r)
            for (int c = 0; c < mask.cols; ++c)
                if (cv::pointPolygonTest(contour,
                                         cv::Point2f(float(area.left() + c), float(area.top() + r)),
                                         false) > 0)
                    mask.at<uchar>(r, c) = 255;
        benchmark::DoNotOptimize(mask.data);
    }
}

// Two steps of 100 rectangles, as the areas of most cameras are.
std::unique_ptr<CammerSingleton> rectangleCamera() {
    auto p = std::make_unique<CammerSingleton>(0);
    for (int g = 0; g < 2; ++g) {
        p->roiCount[g] = roi::kMaxRois;
        for (int i = 0; i < roi::kMaxRois; ++i) {
            p->roiShapeType[g][i] = roi::kShapeRect;
            p->rects[g][i].showRect.setRect(10 + (i % 10) * 120, 10 + (i / 10) * 100, 60, 50);
        }
    }
    return p;
}

std::unique_ptr<CammerSingleton> cameraOfKind(int64_t kind) {
    return kind == 0 ? rectangleCamera() : freehandCamera(500);
}

// The editing page's round: the opening copies the live areas page by page, the closing gives
// the copy back. Arg 0: rectangles, 1: 800 freehand polygons of 500 points.
void BM_EditCopyRound(benchmark::State& state) {
    const auto live = cameraOfKind(state.range(0));
    auto edit = std::make_unique<CammerSingleton>(0);
    for (auto _ : state) {
        edit->copyFrom(*live);
        benchmark::DoNotOptimize(edit->roiCount);
        edit->reset();
    }
}

// Reference: the whole-record assignment into a copy that is kept (all its pages resident).
void BM_ReferenceWholeAssignment(benchmark::State& state) {
    const auto live = cameraOfKind(state.range(0));
    auto edit = std::make_unique<CammerSingleton>(0);
    for (auto _ : state) {
        *edit = *live;
        benchmark::DoNotOptimize(edit->roiCount);
    }
}

}  // namespace

BENCHMARK(BM_EditCopyRound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceWholeAssignment)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCamera)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCameraIntoNewTable)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePlainInsertLoop)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCamera)
    ->Args({500, 1})
    ->Args({500, 0})
    ->Args({4000, 1})
    ->Args({4000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePlainSelectLoop)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolygonMask)->Arg(500)->Arg(8000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePointTestMask)->Arg(500)->Arg(8000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
