#include "mouldscene.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace mouldpictures {

namespace {

// The drawing is made for kWidth x kHeight and scaled to the wanted size.
constexpr QRectF kPlate(150, 40, 980, 640);
using layout::kSprue;

// Light falls from the upper left: raised parts are bright there, recesses dark.
QRadialGradient raised(QPointF centre, qreal radius, QColor light, QColor dark) {
    QRadialGradient g(centre, radius, centre - QPointF(radius * 0.45, radius * 0.45));
    g.setColorAt(0.0, light);
    g.setColorAt(1.0, dark);
    return g;
}

QRadialGradient recessed(QPointF centre, qreal radius, QColor light, QColor dark) {
    QRadialGradient g(centre, radius, centre + QPointF(radius * 0.4, radius * 0.4));
    g.setColorAt(0.0, light);
    g.setColorAt(1.0, dark);
    return g;
}

const QColor kMachine(38, 41, 45);

void drawMachine(QPainter& p) {
    p.fillRect(QRectF(0, 0, kWidth, kHeight), kMachine);
    // Tie bars: chrome cylinders at both sides.
    for (qreal x : {40.0, 1170.0}) {
        QLinearGradient g(x, 0, x + 70, 0);
        g.setColorAt(0.0, QColor(70, 74, 78));
        g.setColorAt(0.35, QColor(225, 228, 231));
        g.setColorAt(1.0, QColor(60, 63, 67));
        p.fillRect(QRectF(x, 0, 70, kHeight), g);
    }
}

void drawPlate(QPainter& p, QColor light, QColor dark) {
    QLinearGradient g(kPlate.topLeft(), kPlate.bottomRight());
    g.setColorAt(0.0, light);
    g.setColorAt(1.0, dark);
    p.setPen(QPen(QColor(52, 56, 60), 4));
    p.setBrush(g);
    p.drawRect(kPlate);
    // Grinding marks.
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    for (qreal y = kPlate.top() + 6; y < kPlate.bottom() - 4; y += 4)
        p.drawLine(QPointF(kPlate.left() + 4, y), QPointF(kPlate.right() - 4, y));
    // Bevel: lit upper and left edge.
    p.setPen(QPen(QColor(235, 238, 241, 160), 3));
    p.drawLine(kPlate.topLeft() + QPointF(3, 3), kPlate.topRight() + QPointF(-3, 3));
    p.drawLine(kPlate.topLeft() + QPointF(3, 3), kPlate.bottomLeft() + QPointF(3, -3));
}

void drawScrews(QPainter& p) {
    for (const QPointF& c : layout::kScrews) {
        p.setPen(QPen(QColor(60, 64, 68), 2));
        p.setBrush(raised(c, 15, QColor(200, 205, 210), QColor(110, 116, 122)));
        p.drawEllipse(c, 15, 15);
        QPolygonF hexagon;
        for (int i = 0; i < 6; ++i)
            hexagon << c + QPointF(7 * qCos(i * M_PI / 3), 7 * qSin(i * M_PI / 3));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(35, 37, 40));
        p.drawPolygon(hexagon);
    }
}

// Water connections on both sides of the plate, with their hoses.
void drawCoolingFittings(QPainter& p) {
    const QColor blue(47, 111, 214);
    const QColor red(210, 60, 44);
    int n = 0;
    for (qreal y : {180.0, 300.0, 420.0, 540.0}) {
        const QColor hose = n++ % 2 == 0 ? blue : red;
        for (bool left : {true, false}) {
            const qreal x = left ? kPlate.left() - 22 : kPlate.right() - 2;
            const qreal outer = left ? 110 : 1170;
            p.setPen(QPen(hose.darker(130), 14, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(left ? x : x + 24, y + 9),
                       QPointF(outer, y + 9 + (left ? 30 : -30)));
            p.setPen(QPen(hose.lighter(150), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(left ? x : x + 24, y + 5),
                       QPointF(outer, y + 5 + (left ? 30 : -30)));
            QLinearGradient g(x, y, x, y + 18);
            g.setColorAt(0.0, QColor(220, 200, 120));
            g.setColorAt(1.0, QColor(140, 110, 40));
            p.setPen(QPen(QColor(70, 60, 30), 1));
            p.setBrush(g);
            p.drawRect(QRectF(x, y, 24, 18));
        }
    }
}

// Applies a lighting difference: a shift that grows from the left to the right of the picture.
void shiftLight(QImage& image, int shift) {
    if (shift == 0) return;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int d = shift / 2 + shift * x / (2 * image.width());
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
}

QImage canvas(QSize size, const Pose& pose) {
    QImage image(size, QImage::Format_RGB32);
    // A moved mould uncovers the picture's corners: the machine behind it shows there.
    image.fill(pose.isIdentity() ? QColor(Qt::black) : kMachine);
    return image;
}

// Scenes are drawn in the fixed scene coordinates, scaled to the picture's size and posed.
void beginScene(QPainter& p, QImage& image, const Pose& pose) {
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(image.width() / 2.0, image.height() / 2.0);
    p.translate(centre + pose.shift);
    p.rotate(-pose.angle);  // Qt turns clockwise as shown
    p.translate(-centre);
    p.scale(qreal(image.width()) / kWidth, qreal(image.height()) / kHeight);
}

// --- the moving half -------------------------------------------------------------------

using layout::kCavities;

void drawGuideBushings(QPainter& p) {
    for (const QPointF c :
         {QPointF(200, 90), QPointF(1080, 90), QPointF(200, 630), QPointF(1080, 630)}) {
        p.setPen(QPen(QColor(70, 75, 80), 3));
        p.setBrush(raised(c, 36, QColor(210, 214, 218), QColor(120, 126, 132)));
        p.drawEllipse(c, 36, 36);
        p.setPen(Qt::NoPen);
        p.setBrush(recessed(c, 23, QColor(80, 84, 88), QColor(12, 13, 14)));
        p.drawEllipse(c, 23, 23);
    }
}

// The runner from the sprue to the gate of one cavity: out beside the sprue bushing, along the
// pockets and through the pocket wall into the cup.
QPainterPath runnerPath(QPointF cavity) {
    const qreal side = cavity.x() < kSprue.x() ? -1 : 1;
    const QPointF turn(kSprue.x() + side * 55, kSprue.y());
    QPainterPath path(kSprue);
    path.lineTo(turn);
    path.lineTo(QPointF(turn.x(), cavity.y()));
    path.lineTo(QPointF(cavity.x() - side * 72, cavity.y()));
    return path;
}

void drawRunners(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    for (const QPointF& cavity : kCavities) {
        p.setPen(QPen(QColor(150, 158, 166), 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(runnerPath(cavity));
        p.setPen(QPen(QColor(58, 63, 68), 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(runnerPath(cavity));
    }
}

void drawCavity(QPainter& p, QPointF c, int missingPin) {
    const QRectF pocket(c.x() - 130, c.y() - 100, 260, 200);
    p.setPen(QPen(QColor(60, 65, 70), 3));
    p.setBrush(recessed(c, 170, QColor(112, 120, 128), QColor(66, 72, 78)));
    p.drawRoundedRect(pocket, 18, 18);
    // Lit lower right inner edge of the pocket.
    p.setPen(QPen(QColor(200, 206, 212, 150), 3));
    p.drawLine(pocket.bottomLeft() + QPointF(18, -2), pocket.bottomRight() + QPointF(-18, -2));
    p.drawLine(pocket.topRight() + QPointF(-2, 18), pocket.bottomRight() + QPointF(-2, -18));
    // The cup's cavity with its core.
    p.setPen(QPen(QColor(40, 44, 48), 2));
    p.setBrush(recessed(c, 74, QColor(90, 96, 102), QColor(28, 31, 34)));
    p.drawEllipse(c, 72, 72);
    p.setPen(QPen(QColor(50, 54, 58), 2));
    p.setBrush(raised(c, 44, QColor(214, 220, 226), QColor(110, 118, 126)));
    p.drawEllipse(c, 42, 42);
    // Ejector pins.
    for (int i = 0; i < 4; ++i) {
        if (i == missingPin) continue;
        const QPointF pin = c + layout::kEjectorPins[i];
        p.setPen(QPen(QColor(30, 32, 35), 2));
        p.setBrush(raised(pin, 8, QColor(240, 242, 244), QColor(150, 156, 162)));
        p.drawEllipse(pin, layout::kEjectorPinRadius, layout::kEjectorPinRadius);
    }
}

void drawSprue(QPainter& p) {
    p.setPen(QPen(QColor(60, 64, 68), 3));
    p.setBrush(raised(kSprue, 42, QColor(220, 224, 228), QColor(120, 126, 132)));
    p.drawEllipse(kSprue, 40, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(recessed(kSprue, 12, QColor(70, 74, 78), QColor(10, 10, 12)));
    p.drawEllipse(kSprue, 11, 11);
}

// A yellow polypropylene cup still sitting on its core, with the piece of runner that broke
// off with it.
void drawLeftPart(QPainter& p) {
    const QColor plastic(242, 194, 48);
    const QPointF c = kCavities[1];
    QPainterPath stub;
    stub.moveTo(QPointF(kSprue.x() + 55, kSprue.y() - 60));
    stub.lineTo(QPointF(kSprue.x() + 55, c.y()));
    stub.lineTo(c);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(plastic.darker(125), 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(stub);
    p.setPen(QPen(plastic.darker(170), 3));
    p.setBrush(raised(c, 78, plastic.lighter(130), plastic.darker(150)));
    p.drawEllipse(c, 76, 76);
    p.setPen(QPen(plastic.darker(130), 2));
    p.setBrush(recessed(c, 48, plastic.lighter(110), plastic.darker(175)));
    p.drawEllipse(c, 46, 46);
}

// Black plastic that froze in the runner and was not ejected.
void drawBlockedRunner(QPainter& p) {
    p.setPen(QPen(QColor(24, 24, 26), layout::kBlockedRunnerWidth, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(layout::kBlockedRunner);
}

// A thin film of white plastic that ran into the parting line and stayed on the pocket floor.
void drawFlash(QPainter& p) {
    p.setPen(QPen(QColor(236, 236, 230), layout::kFlashWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(layout::kFlash);
}

// --- the fixed half --------------------------------------------------------------------

using layout::kBrokenCore;
using layout::kCores;

void drawLeaderPins(QPainter& p) {
    for (const QPointF c :
         {QPointF(200, 90), QPointF(1080, 90), QPointF(200, 630), QPointF(1080, 630)}) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawEllipse(c + QPointF(9, 9), 30, 30);
        p.setPen(QPen(QColor(70, 75, 80), 2));
        p.setBrush(raised(c, 30, QColor(245, 247, 249), QColor(130, 136, 142)));
        p.drawEllipse(c, 28, 28);
    }
}

void drawSlides(QPainter& p) {
    for (qreal x : {215.0, 975.0}) {
        const QRectF block(x, 300, 90, 130);
        QLinearGradient g(block.topLeft(), block.bottomRight());
        g.setColorAt(0.0, QColor(182, 176, 160));
        g.setColorAt(1.0, QColor(118, 112, 98));
        p.setPen(QPen(QColor(60, 58, 52), 3));
        p.setBrush(g);
        p.drawRect(block);
        // Angle pin and wear plate.
        p.setPen(QPen(QColor(225, 228, 231), 9, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(block.center() + QPointF(-22, -40), block.center() + QPointF(22, 40));
        p.setPen(QPen(QColor(90, 86, 76), 2));
        p.setBrush(QColor(150, 145, 130));
        p.drawRect(QRectF(x + 10, 440, 70, 16));
    }
}

void drawCore(QPainter& p, QPointF c) {
    p.setPen(QPen(QColor(55, 60, 65), 2));
    p.setBrush(recessed(c, 64, QColor(110, 116, 122), QColor(60, 65, 70)));
    p.drawEllipse(c, 62, 62);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawEllipse(c + QPointF(10, 10), 45, 45);
    p.setPen(QPen(QColor(60, 65, 70), 2));
    p.setBrush(raised(c, 47, QColor(236, 240, 244), QColor(120, 128, 136)));
    p.drawEllipse(c, 45, 45);
    p.setBrush(raised(c, 30, QColor(250, 251, 252), QColor(170, 176, 182)));
    p.drawEllipse(c, 28, 28);
    p.setPen(QPen(QColor(90, 96, 102), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 12, 12);
}

// What is left of a core pin that broke off: its bore and a rough fracture.
void drawBrokenCore(QPainter& p, QPointF c) {
    p.setPen(QPen(QColor(55, 60, 65), 2));
    p.setBrush(recessed(c, 64, QColor(110, 116, 122), QColor(60, 65, 70)));
    p.drawEllipse(c, 62, 62);
    QPolygonF fracture;
    for (int i = 0; i < 18; ++i) {
        const qreal r = 40 + (i % 3 == 0 ? 6 : (i % 3 == 1 ? -3 : 2));
        fracture << c + QPointF(r * qCos(i * M_PI / 9), r * qSin(i * M_PI / 9));
    }
    p.setPen(QPen(QColor(150, 155, 160), 2));
    p.setBrush(recessed(c, 44, QColor(70, 74, 78), QColor(22, 24, 26)));
    p.drawPolygon(fracture);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(175, 180, 186));
    p.drawPolygon(QPolygonF(
        {c + QPointF(-18, -6), c + QPointF(4, -16), c + QPointF(14, 2), c + QPointF(-6, 10)}));
}

void drawNozzles(QPainter& p) {
    for (const QPointF c : {QPointF(520, 365), QPointF(760, 365)}) {
        p.setPen(QPen(QColor(90, 50, 20), 2));
        p.setBrush(raised(c, 15, QColor(236, 160, 98), QColor(140, 72, 30)));
        p.drawEllipse(c, 14, 14);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 20, 12));
        p.drawEllipse(c, 4, 4);
    }
}

QImage finish(QImage image, QPainter& p, int lightShift) {
    p.end();
    shiftLight(image, lightShift);
    return image;
}

}  // namespace

QImage drawCavityHalf(const CavityScene& scene, QSize size) {
    QPainter p;
    QImage image = canvas(size, scene.pose);
    beginScene(p, image, scene.pose);
    drawMachine(p);
    drawCoolingFittings(p);
    drawPlate(p, QColor(186, 194, 202), QColor(128, 136, 146));
    drawScrews(p);
    drawGuideBushings(p);
    for (int i = 0; i < 4; ++i)
        drawCavity(p, kCavities[i],
                   scene.pinMissing && i == layout::kMissingPinCavity ? layout::kMissingPin : -1);
    drawRunners(p);
    drawSprue(p);
    if (scene.partLeft) drawLeftPart(p);
    if (scene.runnerBlocked) drawBlockedRunner(p);
    if (scene.flash) drawFlash(p);
    return finish(image, p, scene.lightShift);
}

QImage drawCoreHalf(const CoreScene& scene, QSize size) {
    QPainter p;
    QImage image = canvas(size, scene.pose);
    beginScene(p, image, scene.pose);
    drawMachine(p);
    drawCoolingFittings(p);
    drawPlate(p, QColor(180, 186, 192), QColor(120, 126, 134));
    drawScrews(p);
    drawLeaderPins(p);
    drawSlides(p);
    drawNozzles(p);
    for (int i = 0; i < 6; ++i) {
        if (scene.coreMissing && i == kBrokenCore)
            drawBrokenCore(p, kCores[i]);
        else
            drawCore(p, kCores[i]);
    }
    return finish(image, p, scene.lightShift);
}

QImage drawPlainInsert(const PlainScene& scene, QSize size) {
    QPainter p;
    QImage image = canvas(size, scene.pose);
    beginScene(p, image, scene.pose);
    drawMachine(p);
    // A ground insert plate under soft light: smooth shading, two screws and nothing else.
    QLinearGradient g(kPlate.topLeft(), kPlate.bottomRight());
    g.setColorAt(0.0, QColor(176, 182, 188));
    g.setColorAt(1.0, QColor(132, 138, 146));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(kPlate, 60, 60);
    for (const QPointF c : {QPointF(330, 360), QPointF(950, 360)}) {
        p.setBrush(raised(c, 26, QColor(170, 176, 182), QColor(138, 144, 150)));
        p.drawEllipse(c, 24, 24);
    }
    return finish(image, p, scene.lightShift);
}

QImage sensorShot(const QImage& picture, int brightness, double noise, unsigned seed) {
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    // Gaussian deviates drawn once and picked at random per pixel: drawing one per pixel of a
    // full-HD picture would take longer than the drawing itself.
    constexpr int kDeviates = 1 << 16;
    std::mt19937 random(seed);
    std::normal_distribution<float> gauss(0.0f, float(noise));
    std::vector<float> deviates(kDeviates, 0.0f);
    if (noise > 0)
        for (float& d : deviates) d = gauss(random);
    quint32 pick = seed | 1u;  // xorshift: cheap, and enough to pick deviates
    for (int y = 0; y < grey.height(); ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            pick ^= pick << 13;
            pick ^= pick >> 17;
            pick ^= pick << 5;
            const float level = line[x] + brightness + deviates[pick & (kDeviates - 1)];
            line[x] = uchar(std::clamp(int(std::lround(level)), 0, 255));
        }
    }
    return grey;
}

}  // namespace mouldpictures
