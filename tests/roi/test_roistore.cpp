#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QVariant>
#include <cstring>
#include <memory>
#include <random>

#include "cammersingleton.h"
#include "roirow.h"
#include "roitestutil.h"

namespace {

using roitest::TempDatabase;

std::unique_ptr<CammerSingleton> record(int camera = 0) {
    return std::make_unique<CammerSingleton>(camera);
}

std::unique_ptr<RoiMaskTable> maskTable() {
    return std::make_unique<RoiMaskTable>();
}

QRect coords(int x1, int y1, int x2, int y2) {
    QRect r;
    r.setCoords(x1, y1, x2, y2);
    return r;
}

void setRect(CammerSingleton& p, int g, int i, QRect r) {
    p.roiShapeType[g][i] = roi::kShapeRect;
    p.rects[g][i].showRect = r;
}

void setRing(CammerSingleton& p, int g, int i, QPoint c, int outer, int inner) {
    p.roiShapeType[g][i] = roi::kShapeRing;
    p.circles[g][i].center = c;
    p.circles[g][i].radius = outer;
    p.circles[g][i].innerRadius = inner;
    p.circles[g][i].UpdateRect();
}

void setPolygon(CammerSingleton& p, int g, int i, const QVector<QPoint>& points, bool hand) {
    p.roiShapeType[g][i] = roi::kShapePolygon;
    p.polygons[g][i] = RePolygon(points.size(), points.constData());
    p.polygons[g][i].SetHand(hand);
}

void setParams(CammerSingleton& p, int g, int i, int p1, int p2, int p3, int func) {
    p.roiParam1[g][i] = p1;
    p.roiParam2[g][i] = p2;
    p.roiParam3[g][i] = p3;
    p.roiFunc[g][i] = func;
}

// Everything a camera can hold: 8 detections x 100 ROIs of every shape, clicked and freehand
// polygons, random parameters, NG outputs and reserved values, all within the display.
void fillEverything(CammerSingleton& p, std::mt19937& random) {
    std::uniform_int_distribution<int> any(-100000, 100000);
    std::uniform_int_distribution<int> x(3, 1277), y(3, 1021), radius(1, 400), shape(0, 3);
    for (int g = 0; g < roi::kDetections; ++g) {
        p.roiCount[g] = roi::kMaxRois;
        for (int k = 0; k < roi::kSpareValues; ++k) p.detectSpare[g][k] = any(random);
        for (int i = 0; i < roi::kMaxRois; ++i) {
            setParams(p, g, i, any(random), any(random), any(random), i % 11);
            switch (shape(random)) {
                case 0: {
                    const int x1 = x(random), y1 = y(random);
                    setRect(p, g, i,
                            coords(x1, y1, std::min(1277, x1 + radius(random)),
                                   std::min(1021, y1 + radius(random))));
                    break;
                }
                case 1: {
                    const int outer = radius(random);
                    setRing(p, g, i, QPoint(x(random), y(random)), outer, outer / 3);
                    break;
                }
                case 2:
                    setPolygon(p, g, i, roitest::randomPolygon(random, 3 + i % 20, 3, 1021), false);
                    break;
                default:
                    setPolygon(p, g, i, roitest::freehandLoop(random, 200 + i, 640, 512, 100 + i),
                               true);
                    break;
            }
        }
    }
    for (int i = 0; i < roi::kMaxRois; ++i) p.roiNgOutput[i] = i % roi::kNgOutputs;
}

class RoiStore : public roitest::DisplayTest {
protected:
    TempDatabase store;

    void createTable(const QString& table = QStringLiteral("cammer0")) {
        ASSERT_TRUE(
            store.exec(QStringLiteral("create table %1 (name text, value text)").arg(table)));
    }
    void put(const QString& name, const QString& value,
             const QString& table = QStringLiteral("cammer0")) {
        QSqlQuery query(store.db());
        query.prepare(QStringLiteral("insert into %1 values (?, ?)").arg(table));
        query.addBindValue(name);
        query.addBindValue(value);
        ASSERT_TRUE(query.exec());
    }
    QMap<QString, QString> allRows(const QString& table = QStringLiteral("cammer0")) {
        QMap<QString, QString> rows;
        QSqlQuery query(store.db());
        EXPECT_TRUE(query.exec(QStringLiteral("select name, value from %1").arg(table)));
        while (query.next()) rows.insert(query.value(0).toString(), query.value(1).toString());
        return rows;
    }
};

}  // namespace

TEST_F(RoiStore, LoadReadsRowsAndAddsMissingDetectionRows) {
    createTable();
    put("detect0", "2 0 0 0 0 0 0 0 0");
    put("ROI0-0", "3 25 100 0 1 0 0 50 50 100 100");
    put("ROI0-1", "3 25 100 0 258 1 3 10 10 60 10 35 50 ");
    auto p = record();
    auto masks = maskTable();
    const RoiLoadResult result = p->LoadDatafromFile(store.db(), 1.0f, 1.0f, masks.get());
    EXPECT_TRUE(result.tableRead);
    EXPECT_TRUE(result.badCountDetections.isEmpty());

    EXPECT_EQ(p->roiCount[0], 2);
    for (int g = 1; g < roi::kDetections; ++g) {
        EXPECT_EQ(p->roiCount[g], 0);
        EXPECT_EQ(store.value("cammer0", roi::detectRowName(g)), "0") << g;
    }
    EXPECT_EQ(p->roiShapeType[0][0], roi::kShapeRect);
    EXPECT_EQ(p->rects[0][0].showRect, coords(50, 50, 100, 100));
    EXPECT_EQ((*masks)[0][0].size(), cv::Size(51, 51));
    EXPECT_EQ(cv::countNonZero((*masks)[0][0]), 51 * 51);

    const RePolygon& triangle = p->polygons[0][1];
    EXPECT_EQ(p->roiShapeType[0][1], roi::kShapePolygon);
    EXPECT_TRUE(triangle.getHand());
    ASSERT_EQ(triangle.count, 3);
    EXPECT_EQ(triangle.points[2], QPoint(35, 50));
    EXPECT_EQ(p->roiNgOutput[1], 1);
    EXPECT_EQ((*masks)[0][1].size(), cv::Size(50, 40));
    EXPECT_EQ(cv::norm((*masks)[0][1], triangle.UpdateMask(), cv::NORM_INF), 0.0);
}

TEST_F(RoiStore, CountsOutsideTheRangeEmptyTheDetectionAndAreReported) {
    createTable();
    put("detect3", "150 0 0 0 0 0 0 0 0");
    put("detect5", "-1");
    put("ROI3-0", "3 25 100 0 1 0 0 50 50 100 100");
    auto p = record();
    const RoiLoadResult result = p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(result.badCountDetections, QVector<int>({3, 5}));
    EXPECT_EQ(p->roiCount[3], 0);
    EXPECT_EQ(p->roiCount[5], 0);
}

TEST_F(RoiStore, UnusableRowsFallBackToDefaults) {
    createTable();
    put("detect0", "6 1 2 3 4 5 6 7 8");
    // ROI0-0 is missing.
    put("ROI0-1", "9 9 9 5 2 2 0 10 10 20 20 30 30");     // polygon without points
    put("ROI0-2", "9 9 9 5 2 2 9000 10 10 20 20 30 30");  // too many points
    put("ROI0-3", "4 x 7 5 1 7 0 -5 2 5000 1023");        // clamped, bad NG, non-numeric
    put("ROI0-4", "3 25 100 6 4 2 0 640 500 2621470");    // ring m = 40 x 65536 + 30
    put("ROI0-5", "1 2");                                 // shape type 0: unknown
    auto p = record();
    auto masks = maskTable();
    const cv::Mat marker(1, 1, CV_8UC1, cv::Scalar(7));
    (*masks)[0][5] = marker;
    p->LoadDatafromFile(store.db(), 1.0f, 1.0f, masks.get());

    ASSERT_EQ(p->roiCount[0], 6);
    EXPECT_EQ(p->detectSpare[0][7], 8);
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(p->roiShapeType[0][i], roi::kShapeRect) << i;
        EXPECT_EQ(p->rects[0][i].showRect, coords(50, 50, 100, 100)) << i;
        EXPECT_EQ(p->roiParam1[0][i], 25) << i;
        EXPECT_EQ(p->roiParam2[0][i], 100) << i;
        EXPECT_EQ(p->roiParam3[0][i], 3) << i;
        EXPECT_EQ(p->roiFunc[0][i], 0) << i;
        EXPECT_EQ(p->roiNgOutput[i], 0) << i;
        EXPECT_EQ((*masks)[0][i].size(), cv::Size(51, 51)) << i;
    }
    EXPECT_EQ(p->roiParam1[0][3], 0);  // "x"
    EXPECT_EQ(p->roiParam3[0][3], 4);
    EXPECT_EQ(p->roiNgOutput[3], 0);  // 7 is no NG output
    EXPECT_EQ(p->rects[0][3].showRect, coords(3, 3, 1277, 1021));

    const Circle& ring = p->circles[0][4];
    EXPECT_EQ(ring.radius, 30);
    EXPECT_EQ(ring.innerRadius, 30);  // 40 limited to the outer radius
    EXPECT_EQ(p->roiNgOutput[4], 2);
    EXPECT_EQ((*masks)[0][4].size(), cv::Size(60, 60));
    EXPECT_EQ(cv::countNonZero((*masks)[0][4]), 0);

    EXPECT_EQ(p->roiShapeType[0][5], 0);  // kept as read; nothing derived
    EXPECT_EQ(p->roiParam3[0][5], 1);
    EXPECT_EQ((*masks)[0][5].data, marker.data);
}

TEST_F(RoiStore, SwappedRectangleCornersGiveAnEmptyMask) {
    createTable();
    put("detect0", "1");
    put("ROI0-0", "3 25 100 0 1 0 0 300 300 100 100");
    auto p = record();
    auto masks = maskTable();
    p->LoadDatafromFile(store.db(), 0.5f, 0.5f, masks.get());
    EXPECT_TRUE((*masks)[0][0].empty());
    EXPECT_TRUE(p->buildMask(0, 0).empty());
}

TEST_F(RoiStore, HugeStoredRingRadiusIsKeptWithinTheDisplayDiagonal) {
    createTable();
    put("detect0", "1");
    put("ROI0-0", "3 25 100 0 4 0 0 10 10 60000");
    auto p = record();
    p->LoadDatafromFile(store.db(), 0.5f, 0.5f, nullptr);
    EXPECT_EQ(p->circles[0][0].radius, 1640);  // ceil(hypot(1280, 1024))
    EXPECT_EQ(p->circles[0][0].center, QPoint(10, 10));
}

TEST_F(RoiStore, SaveWritesTheRowFormat) {
    auto p = record(2);
    p->roiCount[0] = 3;
    for (int k = 0; k < roi::kSpareValues; ++k) p->detectSpare[0][k] = k + 1;
    setParams(*p, 0, 0, 25, 100, 3, 0);
    setRect(*p, 0, 0, coords(50, 50, 100, 100));
    setParams(*p, 0, 1, 25, 100, 3, 0);
    setPolygon(*p, 0, 1, {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)}, true);
    p->roiNgOutput[1] = 1;
    setParams(*p, 0, 2, 7, 8, 9, 6);
    setRing(*p, 0, 2, QPoint(300, 200), 30, 40);  // inner limited to 30
    p->roiNgOutput[2] = 3;
    QString error;
    ASSERT_TRUE(p->SaveDatatoFile(store.db(), &error)) << error.toStdString();

    EXPECT_TRUE(store.hasTable("cammer2"));  // created for a new camera
    EXPECT_EQ(store.value("cammer2", "detect0"), "3 1 2 3 4 5 6 7 8");
    EXPECT_EQ(store.value("cammer2", "detect1"), "0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(store.value("cammer2", "ROI0-0"), "3 25 100 0 1 0 0 50 50 100 100");
    EXPECT_EQ(store.value("cammer2", "ROI0-1"), "3 25 100 0 258 1 3 10 10 60 10 35 50 ");
    EXPECT_EQ(store.value("cammer2", "ROI0-2"),
              QString("9 7 8 6 4 3 0 300 200 %1").arg(30 * 65536 + 30));

    p->polygons[0][1].SetHand(false);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_EQ(store.value("cammer2", "ROI0-1"), "3 25 100 0 2 1 3 10 10 60 10 35 50 ");
}

TEST_F(RoiStore, FreehandFlagSurvivesAndIsClearedByAPlainPolygonRow) {
    auto p = record();
    p->roiCount[0] = 1;
    setPolygon(*p, 0, 0, {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)}, true);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    auto loaded = record();
    loaded->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_TRUE(loaded->polygons[0][0].getHand());
    EXPECT_EQ(loaded->roiShapeType[0][0], roi::kShapePolygon);

    ASSERT_TRUE(
        store.exec("update cammer0 set value = '3 25 100 0 2 0 3 10 10 60 10 35 50 ' "
                   "where name = 'ROI0-0'"));
    loaded->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);  // reload into the same record
    EXPECT_FALSE(loaded->polygons[0][0].getHand());
}

TEST_F(RoiStore, ShrinkingADetectionDeletesItsSurplusRows) {
    auto p = record();
    p->roiCount[1] = 5;
    for (int i = 0; i < 5; ++i) setRect(*p, 1, i, coords(10 + i, 10, 40 + i, 40));
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_FALSE(store.value("cammer0", "ROI1-4").isNull());
    p->roiCount[1] = 3;
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_TRUE(store.value("cammer0", "ROI1-3").isNull());
    EXPECT_TRUE(store.value("cammer0", "ROI1-4").isNull());
    EXPECT_EQ(store.value("cammer0", "ROI1-2"), "0 0 0 0 1 0 0 12 10 42 40");
    EXPECT_EQ(store.value("cammer0", "detect1"), "3 0 0 0 0 0 0 0 0");
}

TEST_F(RoiStore, NgOutputIsSharedByRoiNumberAcrossDetections) {
    createTable();
    put("detect0", "3");
    put("detect4", "3");
    for (int i = 0; i < 3; ++i) {
        put(roi::roiRowName(0, i), QString("3 25 100 0 1 %1 0 50 50 100 100").arg(i == 2 ? 1 : 0));
        put(roi::roiRowName(4, i), "3 25 100 0 1 0 0 50 50 100 100");
    }
    auto p = record();
    p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(p->roiNgOutput[2], 0);  // detection 4's row was read last
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_EQ(store.value("cammer0", "ROI0-2"), "3 25 100 0 1 0 0 50 50 100 100");
    EXPECT_EQ(store.value("cammer0", "ROI4-2"), "3 25 100 0 1 0 0 50 50 100 100");
}

TEST_F(RoiStore, LoadOnAnEmptyDatabaseCreatesTheCameraTable) {
    auto p = record(5);
    const RoiLoadResult result = p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_TRUE(result.tableRead);
    EXPECT_TRUE(store.hasTable("cammer5"));
    EXPECT_EQ(store.names("cammer5").size(), roi::kDetections);
    for (int g = 0; g < roi::kDetections; ++g) EXPECT_EQ(p->roiCount[g], 0);
}

TEST_F(RoiStore, EveryShapeOfAWholeCameraRoundTrips) {
    std::mt19937 random(2024);
    auto original = record(1);
    fillEverything(*original, random);
    QString error;
    ASSERT_TRUE(original->SaveDatatoFile(store.db(), &error)) << error.toStdString();
    EXPECT_EQ(store.names("cammer1").size(), roi::kDetections * (roi::kMaxRois + 1));

    auto loaded = record(1);
    auto masks = maskTable();
    const RoiLoadResult result = loaded->LoadDatafromFile(store.db(), 0.5f, 0.625f, masks.get());
    EXPECT_TRUE(result.tableRead);
    EXPECT_TRUE(result.badCountDetections.isEmpty());
    EXPECT_TRUE(original->sameParameters(*loaded));

    // Masks are those of the shapes at the view's scale.
    for (int g = 0; g < roi::kDetections; ++g)
        for (int i = 0; i < roi::kMaxRois; ++i) {
            const cv::Mat expected = original->finishRoi(g, i, 0.5f, 0.625f);
            const cv::Mat& got = (*masks)[g][i];
            ASSERT_EQ(got.size(), expected.size()) << g << "/" << i;
            ASSERT_EQ(got.size(), cv::Size(loaded->roiImageRect(g, i).width(),
                                           loaded->roiImageRect(g, i).height()));
            if (!got.empty()) {
                ASSERT_EQ(cv::norm(got, expected, cv::NORM_INF), 0.0);
            }
        }

    // Saving what was loaded writes the same table.
    const auto before = allRows("cammer1");
    ASSERT_TRUE(loaded->SaveDatatoFile(store.db()));
    EXPECT_EQ(allRows("cammer1"), before);
}

TEST_F(RoiStore, FailedSaveKeepsTheOldRowsAndReportsTheReason) {
    std::mt19937 random(77);
    auto p = record();
    fillEverything(*p, random);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    const auto before = allRows();

    // A statement in the middle of the save fails.
    ASSERT_TRUE(
        store.exec("create trigger refuse before update on cammer0 when "
                   "new.name = 'ROI5-50' begin select raise(abort, 'disk says no'); end"));
    p->roiCount[2] = 10;
    p->roiParam1[0][0] += 1;
    p->roiCount[7] = 0;
    QString error;
    EXPECT_FALSE(p->SaveDatatoFile(store.db(), &error));
    EXPECT_TRUE(error.contains("disk says no")) << error.toStdString();
    EXPECT_EQ(allRows(), before);

    // The connection is usable again once the cause is gone.
    ASSERT_TRUE(store.exec("drop trigger refuse"));
    EXPECT_TRUE(p->SaveDatatoFile(store.db(), &error)) << error.toStdString();
    EXPECT_EQ(store.value("cammer0", "detect2").section(' ', 0, 0), "10");
    EXPECT_TRUE(store.value("cammer0", "ROI2-10").isNull());
}

TEST_F(RoiStore, TablesWithoutRowIdsAndDuplicateNamesAreHandled) {
    ASSERT_TRUE(
        store.exec("create table cammer0 (name text primary key, value text) "
                   "without rowid"));
    auto p = record();
    p->roiCount[0] = 2;
    setRect(*p, 0, 0, coords(10, 10, 30, 30));
    setPolygon(*p, 0, 1, {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)}, false);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    p->roiCount[0] = 1;
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    auto loaded = record();
    EXPECT_TRUE(loaded->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr).tableRead);
    EXPECT_TRUE(p->sameParameters(*loaded));
    EXPECT_TRUE(store.value("cammer0", "ROI0-1").isNull());

    // A plain table holding a name twice: the first row is read, the save writes both.
    createTable("cammer1");
    put("detect0", "1", "cammer1");
    put("ROI0-0", "3 25 100 0 1 0 0 20 20 40 40", "cammer1");
    put("ROI0-0", "3 25 100 0 1 0 0 60 60 80 80", "cammer1");
    auto twice = record(1);
    twice->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(twice->rects[0][0].showRect, coords(20, 20, 40, 40));
    twice->roiParam1[0][0] = 33;
    ASSERT_TRUE(twice->SaveDatatoFile(store.db()));
    QSqlQuery query(store.db());
    ASSERT_TRUE(query.exec("select value from cammer1 where name = 'ROI0-0'"));
    int rows = 0;
    while (query.next()) {
        ++rows;
        EXPECT_EQ(query.value(0).toString(), "3 33 100 0 1 0 0 20 20 40 40");
    }
    EXPECT_EQ(rows, 2);
}

TEST_F(RoiStore, SaveWithoutAnOpenDatabaseFails) {
    auto p = record();
    QString error;
    EXPECT_FALSE(p->SaveDatatoFile(QSqlDatabase(), &error));
    EXPECT_FALSE(error.isEmpty());
    const RoiLoadResult result = p->LoadDatafromFile(QSqlDatabase(), 1.0f, 1.0f, nullptr);
    EXPECT_FALSE(result.tableRead);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST(RoiRecord, IsPlainDataAndComparesParametersOnly) {
    std::mt19937 random(3);
    auto a = record();
    fillEverything(*a, random);
    auto b = record();
    std::memcpy(static_cast<void*>(b.get()), a.get(), sizeof(CammerSingleton));
    EXPECT_EQ(std::memcmp(a.get(), b.get(), sizeof(CammerSingleton)), 0);
    EXPECT_TRUE(a->sameParameters(*b));

    *b = *a;  // the whole-record copy used to commit an edit
    EXPECT_TRUE(a->sameParameters(*b));

    // Selection, hover and points past the count are not parameter data.
    b->rects[0][0].SetSelected(true);
    b->rects[0][0].hitHandle = 3;
    b->polygons[1][1].points[roi::kMaxPolygonPoints - 1] = QPoint(1, 1);
    b->setSelectRoi(0, 5);
    EXPECT_TRUE(a->sameParameters(*b));

    auto c = record();
    *c = *a;
    c->roiNgOutput[7] = (c->roiNgOutput[7] + 1) % roi::kNgOutputs;
    EXPECT_FALSE(a->sameParameters(*c));
    *c = *a;
    c->detectSpare[6][2] += 1;
    EXPECT_FALSE(a->sameParameters(*c));
    *c = *a;
    c->roiShapeType[3][3] = roi::kShapePolygon;
    setPolygon(*c, 3, 3, {QPoint(5, 5), QPoint(50, 5), QPoint(5, 50)}, false);
    *a = *c;
    c->polygons[3][3].points[1] = QPoint(51, 5);
    EXPECT_FALSE(a->sameParameters(*c));
    c->polygons[3][3].points[1] = QPoint(50, 5);
    c->polygons[3][3].SetHand(true);
    EXPECT_FALSE(a->sameParameters(*c));
}

TEST(RoiRecord, SyncAddsTheChangeToRoisOfTheSameFunction) {
    auto p = record();
    p->roiCount[2] = 4;
    setParams(*p, 2, 0, 10, 20, 30, 1);
    setParams(*p, 2, 1, 11, 21, 31, 1);
    setParams(*p, 2, 2, 12, 22, 32, 4);
    setParams(*p, 2, 3, 13, 23, 33, 1);
    p->setSelectRoi(2, 0);
    EXPECT_EQ(p->selRoi, 0);
    EXPECT_EQ(p->selFunc, 1);
    p->roiParam1[2][0] += 5;
    p->roiParam3[2][0] -= 2;
    p->syncParam(2, 0);
    EXPECT_EQ(p->roiParam1[2][1], 16);
    EXPECT_EQ(p->roiParam3[2][1], 29);
    EXPECT_EQ(p->roiParam1[2][3], 18);
    EXPECT_EQ(p->roiParam1[2][2], 12);  // another function
    EXPECT_EQ(p->roiParam1[2][0], 15);  // the ROI itself keeps its value
    p->syncParam(2, 0);                 // nothing changed since: nothing added
    EXPECT_EQ(p->roiParam1[2][1], 16);
    EXPECT_EQ(p->roiParam1[2][3], 18);

    p->setSelectRoi(2, 4);  // outside the count: the selection stays
    EXPECT_EQ(p->selRoi, 0);
    p->setSelectRoi(9, 0);
    EXPECT_EQ(p->selRoi, 0);
    p->syncParam(-1, 0);
}
