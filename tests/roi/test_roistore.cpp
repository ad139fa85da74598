#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <random>
#include <tuple>

#include "cammersingleton.h"
#include "roiframe.h"
#include "roirow.h"
#include "roitestutil.h"

namespace {

using roitest::coords;

std::unique_ptr<CammerSingleton> record(int camera = 0) {
    return std::make_unique<CammerSingleton>(camera);
}

std::unique_ptr<RoiMaskTable> maskTable() {
    return std::make_unique<RoiMaskTable>();
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

const QVector<QPoint> kTriangle = {QPoint(10, 10), QPoint(60, 10), QPoint(35, 50)};

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
    void createTable(const QVector<QPair<QString, QString>>& rows) {
        store.createTable("cammer0", rows);
    }
    QString value(const QString& name) { return store.value("cammer0", name); }
    QMap<QString, QString> allRows() { return store.rows("cammer0"); }

    roitest::TempDatabase store;
};

}  // namespace

TEST_F(RoiStore, LoadReportsBadCountsAndAddsMissingDetectionRows) {
    createTable({{"detect0", "1 0 0 0 0 0 0 0 0"},
                 {"ROI0-0", "3 25 100 0 258 1 3 10 10 60 10 35 50 "},
                 {"detect3", "150 0 0 0 0 0 0 0 0"},
                 {"detect5", "-1"},
                 {"ROI3-0", "3 25 100 0 1 0 0 50 50 100 100"}});
    auto p = record();
    const RoiLoadResult result = p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_TRUE(result.tableRead);
    // Counts outside 0..100 empty their detection and are reported.
    EXPECT_EQ(result.badCountDetections, QVector<int>({3, 5}));
    EXPECT_EQ(p->roiCount[0], 1);
    for (int g = 1; g < roi::kDetections; ++g) {
        EXPECT_EQ(p->roiCount[g], 0) << g;
        if (g != 3 && g != 5) {
            EXPECT_EQ(value(roi::detectRowName(g)), "0") << g;
        }
    }
    EXPECT_EQ(p->polygons[0][0].count, 3);
}

TEST_F(RoiStore, UnusableRowsFallBackToDefaultsAndSwappedCornersGiveAnEmptyMask) {
    createTable({{"detect0", "8 1 2 3 4 5 6 7 8"},
                 // ROI0-0 is missing.
                 {"ROI0-1", "9 9 9 5 2 2 0 10 10 20 20 30 30"},     // polygon without points
                 {"ROI0-2", "9 9 9 5 2 2 9000 10 10 20 20 30 30"},  // too many points
                 {"ROI0-3", "4 x 7 5 1 7 0 -5 2 5000 1023"},        // clamped, bad NG, non-numeric
                 {"ROI0-4", "3 25 100 6 4 2 0 640 500 2621470"},    // ring m = 40 x 65536 + 30
                 {"ROI0-5", "1 2"},                                 // shape type 0: unknown
                 {"ROI0-6", "3 25 100 0 1 0 0 300 300 100 100"},    // corners swapped
                 {"ROI0-7", "3 25 100 0 4 0 0 10 10 60000"}});      // huge ring radius
    auto p = record();
    auto masks = maskTable();
    const cv::Mat marker(1, 1, CV_8UC1, cv::Scalar(7));
    (*masks)[0][5] = marker;
    p->LoadDatafromFile(store.db(), 1.0f, 1.0f, masks.get());

    ASSERT_EQ(p->roiCount[0], 8);
    EXPECT_EQ(p->detectSpare[0][7], 8);
    for (int i : {0, 1, 2}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p->roiShapeType[0][i], roi::kShapeRect);
        EXPECT_EQ(p->rects[0][i].showRect, coords(50, 50, 100, 100));
        EXPECT_EQ(std::make_tuple(p->roiParam1[0][i], p->roiParam2[0][i], p->roiParam3[0][i],
                                  p->roiFunc[0][i], p->roiNgOutput[i]),
                  std::make_tuple(25, 100, 3, 0, 0));
        EXPECT_EQ((*masks)[0][i].size(), cv::Size(51, 51));
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

    EXPECT_TRUE((*masks)[0][6].empty());
    EXPECT_TRUE(p->buildMask(0, 6).empty());

    EXPECT_EQ(p->circles[0][7].radius, 1640);  // within the display diagonal, not 60000
    EXPECT_EQ(p->circles[0][7].center, QPoint(10, 10));
}

TEST_F(RoiStore, SaveWritesTheRowFormatAndDeletesSurplusRows) {
    auto p = record(2);
    p->roiCount[0] = 3;
    for (int k = 0; k < roi::kSpareValues; ++k) p->detectSpare[0][k] = k + 1;
    setParams(*p, 0, 0, 25, 100, 3, 0);
    setRect(*p, 0, 0, coords(50, 50, 100, 100));
    setParams(*p, 0, 1, 25, 100, 3, 0);
    setPolygon(*p, 0, 1, kTriangle, true);
    p->roiNgOutput[1] = 1;
    setParams(*p, 0, 2, 7, 8, 9, 6);
    setRing(*p, 0, 2, QPoint(300, 200), 30, 40);  // inner limited to 30
    p->roiNgOutput[2] = 3;
    QString error;
    ASSERT_TRUE(p->SaveDatatoFile(store.db(), &error)) << error.toStdString();

    EXPECT_TRUE(store.db().tables().contains("cammer2"));  // created for a new camera
    EXPECT_EQ(store.value("cammer2", "detect0"), "3 1 2 3 4 5 6 7 8");
    EXPECT_EQ(store.value("cammer2", "detect1"), "0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(store.value("cammer2", "ROI0-0"), "3 25 100 0 1 0 0 50 50 100 100");
    EXPECT_EQ(store.value("cammer2", "ROI0-1"), "3 25 100 0 258 1 3 10 10 60 10 35 50 ");
    EXPECT_EQ(store.value("cammer2", "ROI0-2"),
              QString("9 7 8 6 4 3 0 300 200 %1").arg(30 * 65536 + 30));

    p->polygons[0][1].SetHand(false);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_EQ(store.value("cammer2", "ROI0-1"), "3 25 100 0 2 1 3 10 10 60 10 35 50 ");
    // A plain polygon row clears the freehand flag of the record it is loaded into.
    p->polygons[0][1].SetHand(true);
    p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_FALSE(p->polygons[0][1].getHand());

    // Shrinking a detection deletes its surplus rows.
    p->roiCount[0] = 1;
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_EQ(store.value("cammer2", "detect0"), "1 1 2 3 4 5 6 7 8");
    EXPECT_EQ(store.rows("cammer2").keys(),
              QStringList({"ROI0-0", "detect0", "detect1", "detect2", "detect3", "detect4",
                           "detect5", "detect6", "detect7"}));
}

TEST_F(RoiStore, NgOutputIsSharedByRoiNumberAcrossDetections) {
    const QString plain = "3 25 100 0 1 0 0 50 50 100 100";
    createTable({{"detect0", "1"},
                 {"detect4", "1"},
                 {"ROI0-0", "3 25 100 0 1 1 0 50 50 100 100"},
                 {"ROI4-0", plain}});
    auto p = record();
    p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(p->roiNgOutput[0], 0);  // detection 4's row was read last
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    EXPECT_EQ(value("ROI0-0"), plain);
    EXPECT_EQ(value("ROI4-0"), plain);
}

TEST_F(RoiStore, LoadOnAnEmptyDatabaseCreatesTheCameraTable) {
    auto p = record(5);
    const RoiLoadResult result = p->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_TRUE(result.tableRead);
    EXPECT_EQ(store.rows("cammer5").size(), roi::kDetections);
    for (int g = 0; g < roi::kDetections; ++g) EXPECT_EQ(p->roiCount[g], 0);
}

TEST_F(RoiStore, EveryShapeOfAWholeCameraRoundTrips) {
    std::mt19937 random(2024);
    auto original = record(1);
    fillEverything(*original, random);
    QString error;
    ASSERT_TRUE(original->SaveDatatoFile(store.db(), &error)) << error.toStdString();
    EXPECT_EQ(store.rows("cammer1").size(), roi::kDetections * (roi::kMaxRois + 1));

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
    const auto before = store.rows("cammer1");
    ASSERT_TRUE(loaded->SaveDatatoFile(store.db()));
    EXPECT_EQ(store.rows("cammer1"), before);
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
    EXPECT_EQ(value("detect2").section(' ', 0, 0), "10");
    EXPECT_TRUE(value("ROI2-10").isNull());
}

TEST_F(RoiStore, TablesWithoutRowIdsAndDuplicateNamesAreHandled) {
    ASSERT_TRUE(
        store.exec("create table cammer0 (name text primary key, value text) without rowid"));
    auto p = record();
    p->roiCount[0] = 2;
    setRect(*p, 0, 0, coords(10, 10, 30, 30));
    setPolygon(*p, 0, 1, kTriangle, false);
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    p->roiCount[0] = 1;
    ASSERT_TRUE(p->SaveDatatoFile(store.db()));
    auto loaded = record();
    EXPECT_TRUE(loaded->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr).tableRead);
    EXPECT_TRUE(p->sameParameters(*loaded));
    EXPECT_EQ(allRows().keys().size(), roi::kDetections + 1);
    EXPECT_FALSE(allRows().contains("ROI0-1"));

    // A plain table holding a name twice: the first row is read, the save writes both.
    store.createTable("cammer1", {{"detect0", "1"},
                                  {"ROI0-0", "3 25 100 0 1 0 0 20 20 40 40"},
                                  {"ROI0-0", "3 25 100 0 1 0 0 60 60 80 80"}});
    auto twice = record(1);
    twice->LoadDatafromFile(store.db(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(twice->rects[0][0].showRect, coords(20, 20, 40, 40));
    twice->roiParam1[0][0] = 33;
    ASSERT_TRUE(twice->SaveDatatoFile(store.db()));
    QSqlQuery query(store.db());
    ASSERT_TRUE(query.exec("select value from cammer1 where name = 'ROI0-0'"));
    int rows = 0;
    for (; query.next(); ++rows)
        EXPECT_EQ(query.value(0).toString(), "3 33 100 0 1 0 0 20 20 40 40");
    EXPECT_EQ(rows, 2);
}

TEST_F(RoiStore, SaveAndLoadWithoutAnOpenDatabaseFail) {
    auto p = record();
    QString error;
    EXPECT_FALSE(p->SaveDatatoFile(QSqlDatabase(), &error));
    EXPECT_FALSE(error.isEmpty());
    const RoiLoadResult result = p->LoadDatafromFile(QSqlDatabase(), 1.0f, 1.0f, nullptr);
    EXPECT_FALSE(result.tableRead);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST_F(RoiStore, SaveIntoAConnectionWithoutAFileFails) {
    auto p = record();
    QString error;
    {
        QSqlDatabase nofile = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "nofile");
        ASSERT_TRUE(nofile.open());
        EXPECT_FALSE(p->SaveDatatoFile(nofile, &error));
    }
    QSqlDatabase::removeDatabase("nofile");
    EXPECT_FALSE(error.isEmpty());
}

TEST(RoiRecord, ComparesParametersOnly) {
    std::mt19937 random(3);
    auto a = record();
    fillEverything(*a, random);
    auto b = record();
    *b = *a;  // the whole-record copy used to commit an edit
    // Selection, hover and points past the count are not parameter data.
    b->rects[0][0].SetSelected(true);
    b->rects[0][0].hitHandle = 3;
    b->polygons[1][1].points[roi::kMaxPolygonPoints - 1] = QPoint(1, 1);
    b->setSelectRoi(0, 5);
    EXPECT_TRUE(a->sameParameters(*b));

    setPolygon(*a, 3, 3, {QPoint(5, 5), QPoint(50, 5), QPoint(5, 50)}, false);
    const std::function<void(CammerSingleton&)> changes[] = {
        [](CammerSingleton& c) { c.roiNgOutput[7] = (c.roiNgOutput[7] + 1) % roi::kNgOutputs; },
        [](CammerSingleton& c) { c.detectSpare[6][2] += 1; },
        [](CammerSingleton& c) { c.polygons[3][3].points[1] = QPoint(51, 5); },
        [](CammerSingleton& c) { c.polygons[3][3].SetHand(true); }};
    for (const auto& change : changes) {
        *b = *a;
        change(*b);
        EXPECT_FALSE(a->sameParameters(*b)) << &change - changes;
    }
}

TEST(RoiRecord, SyncAddsTheChangeToRoisOfTheSameFunction) {
    auto p = record();
    p->roiCount[2] = 4;
    const int funcs[4] = {1, 1, 4, 1};
    for (int i = 0; i < 4; ++i) setParams(*p, 2, i, 10 + i, 20 + i, 30 + i, funcs[i]);
    p->setSelectRoi(2, 0);
    EXPECT_EQ(p->selFunc, 1);
    p->roiParam1[2][0] += 5;
    p->roiParam3[2][0] -= 2;
    // The ROI itself keeps its value, another function is left alone; a second sync without
    // a change since adds nothing.
    for (int round = 0; round < 2; ++round) {
        p->syncParam(2, 0);
        EXPECT_EQ(p->roiParam1[2][0], 15);
        EXPECT_EQ(p->roiParam1[2][1], 16);
        EXPECT_EQ(p->roiParam3[2][1], 29);
        EXPECT_EQ(p->roiParam1[2][3], 18);
        EXPECT_EQ(p->roiParam1[2][2], 12);
    }
    p->setSelectRoi(2, 4);  // outside the count: the selection stays
    EXPECT_EQ(p->selRoi, 0);
    p->setSelectRoi(9, 2);
    EXPECT_EQ(p->selRoi, 0);
    p->syncParam(-1, 0);
}

// Where a ROI meets the camera frame: display 1280 x 1024 over a 2560 x 2048 frame.
class RoiFrame : public RoiStore {
protected:
    void load(const QStringList& roiRows) {
        QVector<QPair<QString, QString>> rows{{"detect0", QString::number(roiRows.size())}};
        for (int i = 0; i < roiRows.size(); ++i) rows.append({roi::roiRowName(0, i), roiRows[i]});
        createTable(rows);
        param->LoadDatafromFile(store.db(), 0.5f, 0.5f, masks.get());
    }
    // What the engine does with a ROI: the frame's pixels under the mask.
    int maskedPixels(int i, const cv::Mat& frame) {
        const roi::RoiPixels pixels = roi::roiPixels(*param, 0, i, frame, (*masks)[0][size_t(i)]);
        if (pixels.isEmpty()) return -1;
        cv::Mat out;
        cv::bitwise_and(pixels.image, pixels.mask, out);
        return cv::countNonZero(out);
    }

    const cv::Size frameSize{2560, 2048};
    std::unique_ptr<CammerSingleton> param = record();
    std::unique_ptr<RoiMaskTable> masks = maskTable();
};

TEST_F(RoiFrame, RingsReachingPastTheFrameEdgeAreCutWithTheirMask) {
    load({"3 25 100 0 4 0 0 3 500 200",      // centre on the left margin, radius 200
          "3 25 100 0 4 0 0 1277 1021 300",  // bottom-right corner
          "3 25 100 0 4 0 0 640 3 100"});    // top edge
    const cv::Mat frame(frameSize, CV_8UC1, cv::Scalar(255));
    const Circle& left = param->circles[0][0];
    EXPECT_EQ(left.radius, 200);  // the stored radius is kept
    EXPECT_LT(left.imageRect.left(), 0);
    const imaging::ClippedArea area = roi::roiFrameArea(*param, 0, 0, frameSize);
    EXPECT_EQ(area.inFrame.x, 0);
    EXPECT_EQ(area.inMask.x, -left.imageRect.left());
    EXPECT_EQ(area.inFrame.size(), area.inMask.size());

    for (int i = 0; i < 3; ++i) {
        const int inside = maskedPixels(i, frame);
        ASSERT_GT(inside, 0) << i;
        // The pixels counted are those of the mask that fall inside the frame.
        const cv::Mat& mask = (*masks)[0][size_t(i)];
        const imaging::ClippedArea a = roi::roiFrameArea(*param, 0, i, frameSize);
        EXPECT_EQ(inside, cv::countNonZero(mask(a.inMask))) << i;
        EXPECT_LT(inside, cv::countNonZero(mask)) << i;
    }
}

TEST_F(RoiFrame, RegionsOutsideOrWithoutMatchingMaskGiveNothing) {
    load({"3 25 100 0 1 0 0 50 50 100 100"});
    const cv::Mat small(20, 20, CV_8UC1, cv::Scalar(255));  // a frame the ROI does not reach
    EXPECT_EQ(maskedPixels(0, small), -1);
    const cv::Mat frame(frameSize, CV_8UC1, cv::Scalar(255));
    const cv::Mat wrongMask(3, 3, CV_8UC1, cv::Scalar(255));
    EXPECT_TRUE(roi::roiPixels(*param, 0, 0, frame, wrongMask).isEmpty());
    EXPECT_EQ(maskedPixels(0, frame), 102 * 102);  // inside: the whole rectangle
}
