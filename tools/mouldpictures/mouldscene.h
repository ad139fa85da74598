#pragma once
// Drawings of an open injection mould as a camera above the machine sees it, for the
// simulation camera. Everything is drawn from shapes (no text, no outside pictures), so the
// same program draws the same pictures everywhere.

#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QSize>

namespace mouldpictures {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Where the camera sees the mould: the picture turned by angle (degrees, counter-clockwise as
// shown) about its centre, then moved by shift (pixels of the picture).
struct Pose {
    QPointF shift;
    double angle = 0.0;
    bool isIdentity() const { return shift.isNull() && angle == 0.0; }
};

// The moving half with four cup cavities fed by a runner from the centre sprue.
struct CavityScene {
    int lightShift = 0;          // added to every light level: lighting that differs a little
    bool partLeft = false;       // a moulded cup and its runner left in the upper right cavity
    bool runnerBlocked = false;  // black plastic stuck in the runner to the lower right cavity
    bool flash = false;          // a thin line of white flash across the upper left pocket
    bool pinMissing = false;     // the lower right ejector pin of the lower left cavity gone
    Pose pose;
};

// The fixed half with six core pins and two slides.
struct CoreScene {
    int lightShift = 0;
    bool coreMissing = false;  // the lower middle core pin broken off
    Pose pose;
};

// A plain insert plate with little on it: too few corners and blobs to register on.
struct PlainScene {
    int lightShift = 0;
    Pose pose;
};

QImage drawCavityHalf(const CavityScene& scene, QSize size = QSize(kWidth, kHeight));
QImage drawCoreHalf(const CoreScene& scene, QSize size = QSize(kWidth, kHeight));
QImage drawPlainInsert(const PlainScene& scene, QSize size = QSize(kWidth, kHeight));

// What a grey camera delivers of a picture: 8-bit grey, every level raised by brightness, and
// Gaussian sensor noise of the given standard deviation (drawn from seed), saturated.
QImage sensorShot(const QImage& picture, int brightness, double noise, unsigned seed);

// Where things lie, in scene coordinates (kWidth x kHeight), for laying regions over them.
namespace layout {
const QPointF kCavities[4] = {{440, 220}, {840, 220}, {440, 500}, {840, 500}};
constexpr qreal kPocketHalfWidth = 130;
constexpr qreal kPocketHalfHeight = 100;
constexpr qreal kCupRadius = 72;
const QPointF kEjectorPins[4] = {{-95, -65}, {95, -65}, {-95, 65}, {95, 65}};  // from a cavity
constexpr qreal kEjectorPinRadius = 7;
const QPointF kSprue(640, 360);
constexpr qreal kSprueHoleRadius = 11;
const QPointF kScrews[6] = {{300, 68}, {300, 652}, {640, 68}, {640, 652}, {980, 68}, {980, 652}};
const QPointF kCores[6] = {{400, 250}, {640, 250}, {880, 250}, {400, 480}, {640, 480}, {880, 480}};
constexpr qreal kCoreRadius = 62;
constexpr int kBrokenCore = 4;
constexpr int kMissingPinCavity = 2;
constexpr int kMissingPin = 3;
// The blocked stretch of runner (to cavity 3) and the flash line (across cavity 0's pocket).
const QLineF kBlockedRunner(QPointF(695, 430), QPointF(695, 500));
constexpr qreal kBlockedRunnerWidth = 20;
const QLineF kFlash(QPointF(330, 306), QPointF(520, 302));
constexpr qreal kFlashWidth = 2.7;
}  // namespace layout

}  // namespace mouldpictures
