// The rules of the alarm answers: the slot a new template takes, the step and interlock of a
// re-detection, the failed camera shown next, and the ignore points of a failed area.
#include <gtest/gtest.h>

#include "alarmrules.h"
#include "wizardpara.h"

using namespace cameraview;

namespace {

struct Aged {
    const char* name;
    int age;  // days before now: larger is older
};

std::vector<TemplateFile> files(std::initializer_list<Aged> list) {
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<TemplateFile> out;
    for (const Aged& f : list) out.push_back({QString::fromLatin1(f.name), now.addDays(-f.age)});
    return out;
}

}  // namespace

TEST(AlarmRules, TemplateSlotOfAFullLibrary) {
    struct Row {
        std::vector<TemplateFile> files;
        int slotCount;
        int slot;
        const char* removed;
        const char* why;
    };
    const Row rows[] = {
        {files({{"template0.bmp", 9}, {"template1.bmp", 5}, {"template2.bmp", 7}}), 3, 2, "",
         "the oldest but the reference"},
        {files({{"template0.bmp", 1}, {"template1.bmp", 5}, {"template2.bmp", 3}}), 3, 1, "",
         "the reference is never a candidate, however old or new"},
        {files({{"template0.bmp", 9}, {"template7.bmp", 8}, {"template1.bmp", 1}}), 3, 2,
         "template7.bmp", "a leftover past the slots is removed, the last slot used"},
        {files({{"template0.bmp", 9}}), 3, 2, "", "no other template: the last slot"},
        {files({{"template_copy.bmp", 20},
                {"template0.bmp", 9},
                {"template01.bmp", 8},
                {"template-1.bmp", 7},
                {"templateX.bmp", 6},
                {"template2.bmp", 1}}),
         4, 2, "", "names of no slot are never replaced"},
        {files({{"template0.bmp", 9}, {"template_copy.bmp", 8}}), 3, 2, "",
         "a copy older than every template is left alone"},
        {files({{"template2.bmp", 4}, {"template1.bmp", 4}}), 3, 1, "", "same age: by name"},
        {{}, 1, 0, "", "one slot"},
    };
    for (const Row& r : rows) {
        const ReplacedTemplate got = replacedTemplate(r.files, r.slotCount);
        EXPECT_EQ(got.slot, r.slot) << r.why;
        EXPECT_EQ(got.removeName, QString::fromLatin1(r.removed)) << r.why;
    }
    EXPECT_EQ(freeTemplateSlot({1, 0, 1, 0}), 1);
    EXPECT_EQ(freeTemplateSlot({1, 1}), -1);
}

TEST(AlarmRules, ReDetectionStepAndWithheldInterlockByMode) {
    struct Row {
        int mode, detect, detections;
        const char* options;  // set flags
        int step, last, output;
    };
    const Row rows[] = {
        {0, 1, 2, "", 1, 1, 0},
        {0, 0, 2, "", 0, 1, 1},
        {0, 1, 2, "cutClampOnMoldAlarm", 1, 1, -1},
        {0, 1, 2, "clampPulseOnMoldNG", 1, 1, -1},
        {0, 0, 2, "ejectorPulseOnProdNG", 0, 1, -1},
        {1, 3, 4, "", 1, 1, 0},
        {2, 2, 4, "", 0, 1, 1},
        {2, 2, 4, "cutEjectorOnProdAlarm", 0, 1, -1},
        {3, 1, 3, "", 1, 2, -1},
        {3, 2, 3, "", 2, 2, 0},
        {3, 0, 3, "", 0, 2, 1},
        {3, 0, 3, "noEjectorCtrlProd", 0, 2, -1},
        {3, 0, 1, "cutClampOnMoldAlarm", 0, 0, 1},
    };
    for (const Row& r : rows) {
        WizardPara p;
        const QString options = QString::fromLatin1(r.options);
        p.cutClampOnMoldAlarm = options == "cutClampOnMoldAlarm";
        p.clampPulseOnMoldNG = options == "clampPulseOnMoldNG";
        p.ejectorPulseOnProdNG = options == "ejectorPulseOnProdNG";
        p.cutEjectorOnProdAlarm = options == "cutEjectorOnProdAlarm";
        p.noEjectorCtrlProd = options == "noEjectorCtrlProd";
        const ReCheckStep s = reCheckStep(r.mode, r.detect, r.detections);
        EXPECT_EQ(std::make_tuple(s.step, s.last), std::make_tuple(r.step, r.last))
            << r.mode << " " << r.detect;
        EXPECT_EQ(reCheckWithheld(p, s.step, s.last), r.output) << r.mode << " " << r.options;
    }
}

TEST(AlarmRules, NextFailedCameraWrapsOnce) {
    EXPECT_EQ(nextFailedCamera({true, false, true}, 0), 1);
    EXPECT_EQ(nextFailedCamera({false, true, true}, 1), 0);
    EXPECT_EQ(nextFailedCamera({true, true}, 1), 1) << "none failed: where it started";
    EXPECT_EQ(nextFailedCamera({false}, 0), 0);
}

TEST(AlarmRules, IgnorePointsStayInsideTheFrame) {
    constexpr int W = 6, H = 4, kGuard = 16;
    std::vector<uchar> found(W * H, 0);
    for (int x = 0; x < W; ++x) found[size_t(3 * W + x)] = 1;  // the whole last row found
    found[size_t(1 * W + 2)] = found[size_t(2 * W + 4)] = 1;
    struct Row {
        std::vector<engine::DefectRect> rects;
        int marked;
        const char* why;
    };
    const Row rows[] = {
        {{{2, 1, 5, 3}}, 2, "right and bottom edges are not part of the box"},
        {{{2, 1, 4, 2}}, 1, "one row"},
        {{{4, 2, 40, 40}}, 3, "a box past the frame is cut to it"},
        {{{-5, -5, 3, 2}}, 1, "negative corners too"},
        {{{0, 0, 6, 4}, {0, 3, 6, 4}}, 8, "a pixel marked twice counts once"},
        {{{5, 1, 2, 3}}, 0, "an inverted box is empty"},
    };
    for (const Row& r : rows) {
        engine::DefectList defects;
        defects.count = int(r.rects.size());
        std::copy(r.rects.begin(), r.rects.end(), defects.rects.begin());
        std::vector<uchar> mask(W * H + kGuard, 0);
        EXPECT_EQ(ignoreDefectPixels(defects, found.data(), mask.data(), W, H), r.marked) << r.why;
        for (int k = 0; k < W * H; ++k)
            EXPECT_TRUE(!mask[size_t(k)] || found[size_t(k)]) << r.why << " pixel " << k;
        for (int k = 0; k < kGuard; ++k) EXPECT_EQ(mask[size_t(W * H + k)], 0) << r.why;
    }
}
