// The ROI record as plain data in pages of its own: a copy is complete, a byte comparison and
// the parameter comparison see a change in any field (up to the last point of a full polygon
// in the last slot of the last step), and parts nobody wrote take no memory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "cammersingleton.h"
#include "residentmemory.h"

namespace {

using testsupport::residentBytesOfMapping;

constexpr int kLastStep = roi::kDetections - 1;
constexpr int kLastSlot = roi::kMaxRois - 1;
constexpr int kLastPoint = roi::kMaxPolygonPoints - 1;

bool sameBytes(const CammerSingleton& a, const CammerSingleton& b) {
    return std::memcmp(&a, &b, sizeof(CammerSingleton)) == 0;
}

// Areas in the first and the last slot of the first and the last step; the last one a polygon
// with every point it can hold.
std::unique_ptr<CammerSingleton> filled() {
    auto p = std::make_unique<CammerSingleton>(3);
    p->roiCount[0] = 1;
    p->roiCount[kLastStep] = roi::kMaxRois;
    p->roiShapeType[0][0] = roi::kShapeRect;
    p->rects[0][0].showRect.setCoords(10, 10, 50, 50);
    for (int i = 0; i < roi::kMaxRois; ++i) p->roiShapeType[kLastStep][i] = roi::kShapeRect;
    p->roiShapeType[kLastStep][kLastSlot] = roi::kShapePolygon;
    RePolygon& full = p->polygons[kLastStep][kLastSlot];
    full.count = roi::kMaxPolygonPoints;
    for (int k = 0; k < roi::kMaxPolygonPoints; ++k) full.points[k] = QPoint(k % 500, k / 500);
    return p;
}

}  // namespace

TEST(RoiRecordPages, FreshPagesGiveTheBytesOfAConstructionOnUsedMemory) {
    const auto fresh = std::make_unique<CammerSingleton>(5);
    // The same construction where every byte held something before.
    void* storage = std::aligned_alloc(4096, (sizeof(CammerSingleton) + 4095) / 4096 * 4096);
    ASSERT_NE(storage, nullptr);
    std::memset(storage, 0xA5, sizeof(CammerSingleton));
    auto* used = ::new (storage) CammerSingleton(5);
    EXPECT_TRUE(sameBytes(*fresh, *used));
    const RePolygon& last = fresh->polygons[kLastStep][kLastSlot];
    EXPECT_EQ(std::make_tuple(last.count, last.points[kLastPoint], last.showRect, last.hitNode,
                              last.scaleX),
              std::make_tuple(0, QPoint(0, 0), QRect(), -1, 1.0f));
    std::free(storage);
}

TEST(RoiRecordPages, CopyIsCompleteAndComparisonsSeeEveryField) {
    const auto original = filled();
    struct Row {
        const char* field;
        std::function<void(CammerSingleton&)> change;
        bool stored;  // the parameter comparison (what a save asks about) sees it too
    };
    const Row rows[] = {
        {"cameraNo", [](CammerSingleton& p) { p.cameraNo = 4; }, true},
        {"roiCount", [](CammerSingleton& p) { p.roiCount[kLastStep] = 99; }, true},
        {"roiParam1", [](CammerSingleton& p) { p.roiParam1[kLastStep][kLastSlot] = 7; }, true},
        {"roiParam2", [](CammerSingleton& p) { p.roiParam2[kLastStep][kLastSlot] = 7; }, true},
        {"roiParam3", [](CammerSingleton& p) { p.roiParam3[kLastStep][kLastSlot] = 7; }, true},
        {"roiFunc", [](CammerSingleton& p) { p.roiFunc[kLastStep][kLastSlot] = 6; }, true},
        {"rectangle", [](CammerSingleton& p) { p.rects[0][0].showRect.setRight(51); }, true},
        {"rectangle hit", [](CammerSingleton& p) { p.rects[0][0].hitHandle = 3; }, false},
        {"ring", [](CammerSingleton& p) { p.circles[kLastStep][kLastSlot].innerRadius = 2; },
         false},
        {"first polygon point", [](CammerSingleton& p) { p.polygons[0][0].points[0].rx() = 1; },
         false},
        {"last point of the full polygon",
         [](CammerSingleton& p) { p.polygons[kLastStep][kLastSlot].points[kLastPoint].ry() += 1; },
         true},
        {"last image point",
         [](CammerSingleton& p) {
             p.polygons[kLastStep][kLastSlot].imagePoints[kLastPoint].rx() = 9;
         },
         false},
        {"polygon hit", [](CammerSingleton& p) { p.polygons[kLastStep][kLastSlot].hitNode = 2; },
         false},
        {"freehand", [](CammerSingleton& p) { p.polygons[kLastStep][kLastSlot].SetHand(true); },
         true},
        {"shape type", [](CammerSingleton& p) { p.roiShapeType[0][0] = roi::kShapeRing; }, true},
        {"NG output", [](CammerSingleton& p) { p.roiNgOutput[kLastSlot] = 3; }, true},
        {"reserved value", [](CammerSingleton& p) { p.detectSpare[kLastStep][7] = 1; }, true},
        {"selRoi", [](CammerSingleton& p) { p.selRoi = 1; }, false},
        {"selFunc", [](CammerSingleton& p) { p.selFunc = 1; }, false},
        {"selParam1", [](CammerSingleton& p) { p.selParam1 = 1; }, false},
        {"selParam2", [](CammerSingleton& p) { p.selParam2 = 1; }, false},
        {"selParam3", [](CammerSingleton& p) { p.selParam3 = 1; }, false},
    };
    auto copy = std::make_unique<CammerSingleton>(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field);
        copy->copyFrom(*original);
        ASSERT_TRUE(sameBytes(*copy, *original)) << "the copy is complete";
        ASSERT_TRUE(copy->sameParameters(*original));
        row.change(*copy);
        EXPECT_FALSE(sameBytes(*copy, *original));
        EXPECT_EQ(copy->sameParameters(*original), !row.stored);
        // Copying back over a changed record restores every byte.
        auto back = std::make_unique<CammerSingleton>(0);
        back->copyFrom(*copy);
        EXPECT_TRUE(sameBytes(*back, *copy));
    }
}

TEST(RoiRecordPages, UnwrittenPartsTakeNoMemoryAndResetGivesTheRestBack) {
    const auto empty = std::make_unique<CammerSingleton>(3);
    const long long emptyBytes = residentBytesOfMapping(empty.get());
    ASSERT_GT(emptyBytes, 0);
    // One page per polygon slot (its rectangles and scale) and the small arrays, not 104 MB.
    EXPECT_LT(emptyBytes, (roi::kDetections * roi::kMaxRois + 64) * 4096LL);

    const auto live = filled();
    const long long liveBytes = residentBytesOfMapping(live.get());
    auto edit = std::make_unique<CammerSingleton>(3);
    edit->copyFrom(*live);
    EXPECT_TRUE(sameBytes(*edit, *live));
    EXPECT_LE(residentBytesOfMapping(edit.get()), liveBytes) << "only the written pages copied";
    edit->copyFrom(*live);
    EXPECT_LE(residentBytesOfMapping(edit.get()), liveBytes);

    edit->reset();
    EXPECT_TRUE(sameBytes(*edit, *empty)) << "as constructed for its camera";
    EXPECT_LE(residentBytesOfMapping(edit.get()), emptyBytes);
}
