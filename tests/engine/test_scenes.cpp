// The engine over drawn 1920 x 1080 mould shots with known answers: every region function with
// the editor's defaults for a new region and the factory settings, good shots (sensor noise,
// other light, the mould moved and turned) and one planted fault per shot, with no correction,
// position correction (translation, turned, over a wide area) and registration.
#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "enginerig.h"
#include "mouldscene.h"
#include "paramschema.h"
#include "roilimits.h"

using namespace enginetest;
using namespace mouldpictures;

namespace {

const QSize kShot(1920, 1080);
constexpr double kScale = 1920.0 / kWidth;  // scene to shot pixels

enum Fault {
    kGood = 0,
    kPartLeft = 1,
    kRunnerBlocked = 2,
    kFlashLine = 4,
    kPinMissing = 8,
    kCoreBroken = 16,
};

// The parameters the editor gives a new region of each function (alarm area and filter size
// come from the settings).
struct Params {
    int p1, p2, p3;
};
Params editorDefaults(int func, const WizardPara& para) {
    switch (func) {
        case roi::kFuncDefect:
            return {45, para.alarmArea, para.filterSize};
        case roi::kFuncSpot:
            return {80, 500, 50 << 8};  // grey 0 to 50
        case roi::kFuncIgnore:
            return {0, 0, 30};
        case roi::kFuncPosition:
            return {10, 0, 1};
        case roi::kFuncDarkArea:
            return {50, 100, 0};
        case roi::kFuncBrightArea:
            return {200, 100, 0};
        case roi::kFuncSimilarity:
            return {80, 0, 0};
        case roi::kFuncBrightCount:
        case roi::kFuncDarkCount:
            return {128, (100 << 16) | 1, 1};  // 1 to 100 blobs
        default:
            return {1, 1, 1};
    }
}

// A square of half side `half` about a scene point, or a scene rectangle, in shot pixels.
cv::Rect around(QPointF centre, double halfW, double halfH) {
    return cv::Rect(cv::Point(int(std::lround((centre.x() - halfW) * kScale)),
                              int(std::lround((centre.y() - halfH) * kScale))),
                    cv::Point(int(std::lround((centre.x() + halfW) * kScale)),
                              int(std::lround((centre.y() + halfH) * kScale))));
}

struct Region {
    const char* what;
    int func;
    cv::Rect rect;
    int failsOn;  // the faults that must make it NG
};

std::vector<Region> cavityRegions() {
    using namespace layout;
    const QPointF pin = kCavities[kMissingPinCavity] + kEjectorPins[kMissingPin];
    const QLineF& runner = kBlockedRunner;
    return {
        {"pocket with part", roi::kFuncDefect, around(kCavities[1], 130, 100), kPartLeft},
        {"pocket with flash", roi::kFuncDefect, around(kCavities[0], 130, 100), kFlashLine},
        {"cup ignored", roi::kFuncIgnore, around(kCavities[0], 30, 30), kGood},
        {"flash band", roi::kFuncBrightArea, around(kFlash.center(), 95, 9), kFlashLine},
        {"runner", roi::kFuncDarkArea,
         around((runner.p1() + runner.p2()) / 2, 12, runner.length() / 2 + 6), kRunnerBlocked},
        {"ejector pin", roi::kFuncBrightCount, around(pin, 15, 15), kPinMissing},
        {"screw socket", roi::kFuncSpot, around(kScrews[3], 12, 12), kGood},
        {"sprue hole", roi::kFuncDarkCount, around(kSprue, 13, 13), kGood},
        // 480 x 480: the part left and the blocked runner cover a few per cent of it.
        {"mould middle", roi::kFuncSimilarity, around({705, 400}, 160, 160),
         kPartLeft | kRunnerBlocked},
        {"good cup", roi::kFuncSimilarity, around(kCavities[2], 72, 72), kGood},
    };
}

std::vector<Region> coreRegions() {
    using namespace layout;
    return {
        {"core pin", roi::kFuncDefect, around(kCores[kBrokenCore], 70, 70), kCoreBroken},
        // 621 x 669, the broken pin less than a twentieth of it.
        {"middle column", roi::kFuncSimilarity, around({640, 400}, 207, 223), kCoreBroken},
        {"good core pin", roi::kFuncSimilarity, around(kCores[0], 70, 70), kGood},
    };
}

struct Shot {
    Fault fault;
    int brightness;
    double noise;
    int lightShift;
};
const Shot kCavityShots[] = {
    {kGood, 10, 4.0, 0},      {kGood, -10, 4.0, 0},        {kGood, 0, 3.0, 6},
    {kPartLeft, 0, 3.0, 0},   {kRunnerBlocked, 0, 3.0, 0}, {kFlashLine, 0, 3.0, 0},
    {kPinMissing, 0, 3.0, 0},
};
const Shot kCoreShots[] = {{kGood, 8, 4.0, 0}, {kGood, -6, 3.0, 4}, {kCoreBroken, 0, 3.0, 0}};
const Shot kTemplates[] = {{kGood, 0, 2.0, 0}, {kGood, 0, 2.0, 0}, {kGood, 0, 2.0, 4}};

cv::Mat toMat(const QImage& grey) {
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.bits()),
                   size_t(grey.bytesPerLine()))
        .clone();
}

enum Mould { kCavityHalf, kCoreHalf, kPlainInsert };

cv::Mat draw(Mould mould, const Shot& shot, const Pose& pose, unsigned seed) {
    QImage picture;
    if (mould == kCavityHalf) {
        CavityScene s;
        s.lightShift = shot.lightShift;
        s.partLeft = shot.fault == kPartLeft;
        s.runnerBlocked = shot.fault == kRunnerBlocked;
        s.flash = shot.fault == kFlashLine;
        s.pinMissing = shot.fault == kPinMissing;
        s.pose = pose;
        picture = drawCavityHalf(s, kShot);
    } else if (mould == kCoreHalf) {
        CoreScene s;
        s.lightShift = shot.lightShift;
        s.coreMissing = shot.fault == kCoreBroken;
        s.pose = pose;
        picture = drawCoreHalf(s, kShot);
    } else {
        PlainScene s;
        s.lightShift = shot.lightShift;
        s.pose = pose;
        picture = drawPlainInsert(s, kShot);
    }
    return toMat(sensorShot(picture, shot.brightness, shot.noise, seed));
}

struct Scenario {
    const char* name;
    int motionCorrect;
    int rotateAngle;
    cv::Rect positionArea;  // empty: the default area
    bool registration;
    Pose pose;
};
const cv::Rect kPositionArea(330, 150, 1260, 780);
const cv::Rect kWideArea(200, 180, 1520, 720);
const Scenario kScenarios[] = {
    {"no correction", -1, 0, {}, false, {}},
    {"translation", 0, 0, kPositionArea, false, {{24, -17}, 0.0}},
    {"translation and turn", 0, 5, kPositionArea, false, {{-19, 14}, 3.0}},
    {"wide area and turn", 0, 5, kWideArea, false, {{21, 16}, -2.5}},
    {"registration", -1, 0, {}, true, {{-14, -11}, 1.5}},
};

QStringList gWarnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) gWarnings << text;
}

// One camera on the mould, trained on good shots, with the scenario's settings.
struct Camera {
    Camera(Mould mould, const std::vector<Region>& regions, const Scenario& scenario)
        : rig(kShot.width(), kShot.height(), false, true, 1, int(std::size(kTemplates))),
          regions(regions) {
        params::StoreContext store;
        params::ParamSchema::applyFactory(*rig.para, store);
        rig.para->detectEnable[0] = 1;
        rig.para->motionCorrect = scenario.motionCorrect;
        rig.para->rotateAngle = scenario.rotateAngle;
        rig.para->angleCorrect = scenario.registration ? 1 : 0;
        for (const Region& r : regions) add(r.func, r.rect);
        if (!scenario.positionArea.empty()) add(roi::kFuncPosition, scenario.positionArea);
        if (scenario.registration) add(roi::kFuncRegistration, cv::Rect(240, 90, 1440, 900));
        for (size_t k = 0; k < std::size(kTemplates); ++k)
            rig.setTemplate(0, int(k), draw(mould, kTemplates[k], {}, unsigned(100 + k)));
        rig.build();
    }
    void add(int func, const cv::Rect& rect) {
        const Params p = editorDefaults(func, *rig.para);
        rig.addRect(0, func, rect, p.p1, p.p2, p.p3);
    }
    Rig rig;
    std::vector<Region> regions;
};

// Inspects every shot of the mould posed as the scenario says and checks every region.
void expectAnswers(Mould mould, const std::vector<Region>& regions, const Shot* shots, size_t count,
                   const Scenario& scenario) {
    Camera camera(mould, regions, scenario);
    for (size_t k = 0; k < count; ++k) {
        const Shot& shot = shots[k];
        SCOPED_TRACE(testing::Message() << scenario.name << ", shot " << k);
        const cv::Mat frame = draw(mould, shot, scenario.pose, unsigned(k + 1));
        const bool ok = camera.rig.inspect(frame);
        EXPECT_EQ(ok, shot.fault == kGood);
        if (scenario.registration) {
            EXPECT_GT(meanAbsDiff(camera.rig.registered(), frame, kPositionArea), 1.0)
                << "registered";
        }
        for (size_t i = 0; i < regions.size(); ++i) {
            const bool fails = (regions[i].failsOn & shot.fault) != 0;
            EXPECT_EQ(camera.rig.ctx.roiOK[0][i], fails ? 0 : 1)
                << regions[i].what << " measured " << camera.rig.ctx.roiValue[0][i];
        }
    }
}

class SceneTest : public testing::TestWithParam<Scenario> {};

TEST_P(SceneTest, EveryRegionAnswersAsPlanted) {
    const Scenario& scenario = GetParam();
    expectAnswers(kCavityHalf, cavityRegions(), kCavityShots, std::size(kCavityShots), scenario);
    expectAnswers(kCoreHalf, coreRegions(), kCoreShots, std::size(kCoreShots), scenario);
}

INSTANTIATE_TEST_SUITE_P(Corrections, SceneTest, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             return std::to_string(info.index);
                         });

// A plain insert has too little on it to register: every shot is refused, said so in the log,
// and inspected as it was taken; position correction still puts it right.
TEST(SceneRegistration, APlainInsertIsRefusedAndCorrectedByPosition) {
    Scenario scenario = kScenarios[4];
    scenario.motionCorrect = 0;
    scenario.positionArea = kPositionArea;
    scenario.pose = {{-16, 12}, 0.0};
    const std::vector<Region> regions = {
        {"insert", roi::kFuncDefect, cv::Rect(420, 260, 1080, 560), kGood},
    };
    gWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    Camera camera(kPlainInsert, regions, scenario);
    for (unsigned seed : {1u, 2u}) {
        const cv::Mat frame =
            draw(kPlainInsert, {kGood, int(seed) * 4, 3.0, 0}, scenario.pose, seed);
        EXPECT_TRUE(camera.rig.inspect(frame));
        EXPECT_EQ(meanAbsDiff(camera.rig.registered(), frame, cv::Rect(0, 0, 1920, 1080)), 0.0);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(gWarnings.filter("registration template has").size(), 1)
        << gWarnings.join('\n').toStdString();
    EXPECT_EQ(gWarnings.filter("registration refused").size(), 2)
        << gWarnings.join('\n').toStdString();
}

}  // namespace
