// The engine over drawn 1920 x 1080 mould shots with known answers: every region function with
// the editor's defaults for a new region and the factory settings, good shots (sensor noise,
// other light, the mould moved and turned) and one planted fault per shot, with no correction,
// position correction (translation, turned, over a wide area) and registration.
#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <array>
#include <map>

#include "enginerig.h"
#include "mouldscene.h"
#include "paramschema.h"
#include "roilimits.h"

using namespace enginetest;
using namespace mouldpictures;
using namespace mouldpictures::layout;

namespace {

const QSize kShot(1920, 1080);
enum Fault {
    kGood = 0,
    kPartLeft = 1,
    kRunnerBlocked = 2,
    kFlashLine = 4,
    kPinGone = 8,
    kCoreGone = 16
};
enum Mould { kCavityHalf, kCoreHalf, kPlainInsert };

// The editor's parameters for a new region (0 for alarm area and filter size: the settings').
int editorDefault(int func, int k) {
    static const std::map<int, std::array<int, 3>> defaults = {
        {roi::kFuncDefect, {45, 0, 0}},
        {roi::kFuncSpot, {80, 500, 50 << 8}},
        {roi::kFuncIgnore, {0, 0, 30}},
        {roi::kFuncPosition, {10, 0, 1}},
        {roi::kFuncDarkArea, {50, 100, 0}},
        {roi::kFuncBrightArea, {200, 100, 0}},
        {roi::kFuncSimilarity, {80, 0, 0}},
        {roi::kFuncBrightCount, {128, 0x640001, 1}},
        {roi::kFuncDarkCount, {128, 0x640001, 1}},
        {roi::kFuncRegistration, {1, 1, 1}}};
    return defaults.at(func)[size_t(k)];
}

// A rectangle of half sides (w, h) about a scene point, in shot pixels.
cv::Rect around(QPointF c, double w, double h) {
    const double s = double(kShot.width()) / kWidth;
    return cv::Rect(cv::Point(int((c.x() - w) * s), int((c.y() - h) * s)),
                    cv::Point(int((c.x() + w) * s), int((c.y() + h) * s)));
}

struct Region {
    const char* what;
    int func;
    cv::Rect rect;
    int failsOn;  // the faults that must make it NG
};
const QPointF kPinPlace = kCavities[kMissingPinCavity] + kEjectorPins[kMissingPin];
const Region kCavityRegions[] = {
    {"pocket with part", roi::kFuncDefect, around(kCavities[1], 130, 100), kPartLeft},
    {"pocket with flash", roi::kFuncDefect, around(kCavities[0], 130, 100), kFlashLine},
    {"cup ignored", roi::kFuncIgnore, around(kCavities[0], 30, 30), kGood},
    {"flash band", roi::kFuncBrightArea, around(kFlash.center(), 95, 9), kFlashLine},
    {"runner", roi::kFuncDarkArea, around(kBlockedRunner.center(), 12, 51), kRunnerBlocked},
    {"ejector pin", roi::kFuncBrightCount, around(kPinPlace, 15, 15), kPinGone},
    {"screw socket", roi::kFuncSpot, around(kScrews[3], 12, 12), kGood},
    {"sprue hole", roi::kFuncDarkCount, around(kSprue, 13, 13), kGood},
    // 480 x 480: the part left and the blocked runner cover a few per cent of it.
    {"mould middle", roi::kFuncSimilarity, around({705, 400}, 160, 160),
     kPartLeft | kRunnerBlocked},
    {"good cup", roi::kFuncSimilarity, around(kCavities[2], 72, 72), kGood},
};
const Region kCoreRegions[] = {
    {"core pin", roi::kFuncDefect, around(kCores[kBrokenCore], 70, 70), kCoreGone},
    // 621 x 669, the broken pin less than a twentieth of it.
    {"middle column", roi::kFuncSimilarity, around({640, 400}, 207, 223), kCoreGone},
    {"good core pin", roi::kFuncSimilarity, around(kCores[0], 70, 70), kGood},
};

struct Shot {
    int fault, brightness;
    double noise;
    int lightShift;
};
const Shot kCavityShots[] = {{kGood, 10, 4, 0},    {kGood, -10, 4, 0},        {kGood, 0, 3, 6},
                             {kPartLeft, 0, 3, 0}, {kRunnerBlocked, 0, 3, 0}, {kFlashLine, 0, 3, 0},
                             {kPinGone, 0, 3, 0}};
const Shot kCoreShots[] = {{kGood, 8, 4, 0}, {kGood, -6, 3, 4}, {kCoreGone, 0, 3, 0}};
const Shot kTemplates[] = {{kGood, 0, 2, 0}, {kGood, 0, 2, 0}, {kGood, 0, 2, 4}};

cv::Mat draw(Mould mould, const Shot& shot, const Pose& pose, unsigned seed) {
    QImage picture;
    if (mould == kCavityHalf) {
        CavityScene s{
            shot.lightShift,          shot.fault == kPartLeft, shot.fault == kRunnerBlocked,
            shot.fault == kFlashLine, shot.fault == kPinGone,  pose};
        picture = drawCavityHalf(s, kShot);
    } else if (mould == kCoreHalf) {
        picture = drawCoreHalf({shot.lightShift, shot.fault == kCoreGone, pose}, kShot);
    } else {
        picture = drawPlainInsert({shot.lightShift, pose}, kShot);
    }
    const QImage grey = sensorShot(picture, shot.brightness, shot.noise, seed);
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.bits()),
                   size_t(grey.bytesPerLine()))
        .clone();
}

struct Scenario {
    const char* name;
    int motionCorrect, rotateAngle;
    cv::Rect positionArea;  // empty: none
    bool registration;
    Pose pose;
};
const cv::Rect kPositionArea(330, 150, 1260, 780);
const Scenario kScenarios[] = {
    {"no correction", -1, 0, {}, false, {}},
    {"translation", 0, 0, kPositionArea, false, {{24, -17}, 0.0}},
    {"translation and turn", 0, 5, kPositionArea, false, {{-19, 14}, 3.0}},
    {"wide area and turn", 0, 5, {200, 180, 1520, 720}, false, {{21, 16}, -2.5}},
    {"registration", -1, 0, {}, true, {{-14, -11}, 1.5}},
};

// One camera on the mould with the factory settings and the scenario's, trained on good shots.
struct Camera : Rig {
    Camera(Mould mould, const std::vector<Region>& regions, const Scenario& scenario)
        : Rig(kShot.width(), kShot.height(), false, true, 1, int(std::size(kTemplates))) {
        params::StoreContext store;
        params::ParamSchema::applyFactory(*para, store);
        para->detectEnable[0] = 1;
        para->motionCorrect = scenario.motionCorrect;
        para->rotateAngle = scenario.rotateAngle;
        para->angleCorrect = scenario.registration;
        for (const Region& r : regions) add(r.func, r.rect);
        if (!scenario.positionArea.empty()) add(roi::kFuncPosition, scenario.positionArea);
        if (scenario.registration) add(roi::kFuncRegistration, cv::Rect(240, 90, 1440, 900));
        for (size_t k = 0; k < std::size(kTemplates); ++k)
            setTemplate(0, int(k), draw(mould, kTemplates[k], {}, unsigned(100 + k)));
        build();
    }
    void add(int func, const cv::Rect& rect) {
        const int p2 = func == roi::kFuncDefect ? para->alarmArea : editorDefault(func, 1);
        const int p3 = func == roi::kFuncDefect ? para->filterSize : editorDefault(func, 2);
        addRect(0, func, rect, editorDefault(func, 0), p2, p3);
    }
};

void expectAnswers(Mould mould, const std::vector<Region>& regions, const std::vector<Shot>& shots,
                   const Scenario& scenario) {
    Camera camera(mould, regions, scenario);
    for (size_t k = 0; k < shots.size(); ++k) {
        SCOPED_TRACE(testing::Message() << scenario.name << ", shot " << k);
        const cv::Mat frame = draw(mould, shots[k], scenario.pose, unsigned(k + 1));
        EXPECT_EQ(camera.inspect(frame), shots[k].fault == kGood);
        if (scenario.registration) {
            EXPECT_GT(meanAbsDiff(camera.registered(), frame, kPositionArea), 1.0);
        }
        for (size_t i = 0; i < regions.size(); ++i)
            EXPECT_EQ(camera.ctx.roiOK[0][i], (regions[i].failsOn & shots[k].fault) ? 0 : 1)
                << regions[i].what << " measured " << camera.ctx.roiValue[0][i];
    }
}

class SceneTest : public testing::TestWithParam<Scenario> {};

TEST_P(SceneTest, EveryRegionAnswersAsPlanted) {
    using std::begin, std::end;
    expectAnswers(kCavityHalf, {begin(kCavityRegions), end(kCavityRegions)},
                  {begin(kCavityShots), end(kCavityShots)}, GetParam());
    expectAnswers(kCoreHalf, {begin(kCoreRegions), end(kCoreRegions)},
                  {begin(kCoreShots), end(kCoreShots)}, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Corrections, SceneTest, testing::ValuesIn(kScenarios));

QStringList gWarnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) gWarnings << text;
}

// A plain insert has too little on it to register: every shot is refused, said so in the log,
// and inspected as it was taken; position correction still puts it right.
TEST(SceneRegistration, APlainInsertIsRefusedAndCorrectedByPosition) {
    const Scenario scenario{"plain", 0, 0, kPositionArea, true, {{-16, 12}, 0.0}};
    gWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    Camera camera(kPlainInsert, {{"insert", roi::kFuncDefect, {420, 260, 1080, 560}, kGood}},
                  scenario);
    for (unsigned seed : {1u, 2u}) {
        const cv::Mat frame = draw(kPlainInsert, {kGood, int(seed) * 4, 3, 0}, scenario.pose, seed);
        EXPECT_TRUE(camera.inspect(frame));
        EXPECT_EQ(cv::norm(camera.registered(), frame, cv::NORM_INF), 0.0) << "not registered";
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(gWarnings.filter("registration template has").size(), 1);
    EXPECT_EQ(gWarnings.filter("registration refused").size(), 2);
}

}  // namespace
