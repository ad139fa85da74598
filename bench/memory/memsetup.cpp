// Prepares a working folder (laid out by mouldmon-workdir-init) for the memory benchmark: the
// product step is switched on, so that both steps run, and every simulation camera gets 100
// regions in each of the two steps (defect and similarity areas; rectangles, rings and
// polygons) and 10 templates per step, drawn from its own picture under slightly different
// light so that its picture passes.
//
// Usage: mouldmon-memsetup FOLDER PICTURE-ROOT WIDTHxHEIGHT
//   PICTURE-ROOT holds one sub-folder per camera with grey/*.png (name order = camera order);
//   WIDTHxHEIGHT is the program's display area the regions are laid out for.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSqlDatabase>
#include <QtMath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cammersingleton.h"
#include "commandline.h"
#include "failpicture.h"
#include "globals.h"
#include "templatefiles.h"
#include "wizardpara.h"

namespace {

constexpr int kSteps = 2;
constexpr int kRegions = 100;
constexpr int kTemplates = 10;
constexpr int kGrid = 10;  // regions laid out in a 10 x 10 grid
constexpr int kPolygonPoints = 48;
constexpr const char* kConnection = "memsetup";

void setRegion(CammerSingleton& p, int step, int i, int cellW, int cellH) {
    const int x = (i % kGrid) * cellW + cellW / 4;
    const int y = (i / kGrid) * cellH + cellH / 4;
    const int w = cellW / 2, h = cellH / 2;
    const bool similarity = i % 5 == 4;
    p.roiFunc[step][i] = similarity ? roi::kFuncSimilarity : roi::kFuncDefect;
    p.roiParam1[step][i] = similarity ? 30 : 25;
    p.roiParam2[step][i] = 100000;
    p.roiParam3[step][i] = 3;
    p.roiNgOutput[i] = 0;
    if (i % 10 == 8) {
        RePolygon& poly = p.polygons[step][i];
        poly.count = kPolygonPoints;
        for (int k = 0; k < kPolygonPoints; ++k) {
            const double a = 2 * M_PI * k / kPolygonPoints;
            poly.points[k] =
                QPoint(x + w / 2 + int(w / 2 * std::cos(a)), y + h / 2 + int(h / 2 * std::sin(a)));
        }
        p.roiShapeType[step][i] = roi::kShapePolygon;
    } else if (i % 10 == 9) {
        Circle& ring = p.circles[step][i];
        ring.center = QPoint(x + w / 2, y + h / 2);
        ring.radius = std::min(w, h) / 2;
        ring.innerRadius = ring.radius / 3;
        p.roiShapeType[step][i] = roi::kShapeRing;
    } else {
        p.rects[step][i].showRect.setCoords(x, y, x + w, y + h);
        p.roiShapeType[step][i] = roi::kShapeRect;
    }
}

bool writeTemplates(int camera, const QImage& picture) {
    for (int step = 0; step < kSteps; ++step) {
        for (int t = 0; t < kTemplates; ++t) {
            QImage light = picture.copy();
            const int shift = (t % 3) - 1;  // -1, 0, +1 grey levels
            for (int y = 0; y < light.height(); ++y) {
                uchar* row = light.scanLine(y);
                for (int x = 0; x < light.width(); ++x)
                    row[x] = uchar(qBound(0, int(row[x]) + shift, 255));
            }
            QByteArray packed(light.width() * light.height(), Qt::Uninitialized);
            for (int y = 0; y < light.height(); ++y)
                std::memcpy(packed.data() + y * light.width(), light.constScanLine(y),
                            size_t(light.width()));
            failimage::FrameView view;
            view.bytes = reinterpret_cast<const uchar*>(packed.constData());
            view.width = light.width();
            view.height = light.height();
            const QString path = failimage::templatePath(camera, step, t);
            QDir().mkpath(QFileInfo(path).path());
            if (!failimage::saveFrameBmp(path, view)) return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prepares a working folder for the memory benchmark: both steps on, 100 regions in each\n"
        "step and 10 templates per step for every simulation camera."));
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The working folder."),
                                 QStringLiteral("FOLDER"));
    parser.addPositionalArgument(
        QStringLiteral("pictures"),
        QStringLiteral("One sub-folder per camera with grey/*.png (name order = camera order)."),
        QStringLiteral("PICTURE-ROOT"));
    parser.addPositionalArgument(QStringLiteral("size"),
                                 QStringLiteral("The display area the regions are laid out for."),
                                 QStringLiteral("WIDTHxHEIGHT"));
    const int status = cli::read(parser, 3);
    if (status != cli::kGoOn) return status;
    const QStringList args = parser.positionalArguments();
    if (args.size() < 3) return cli::refuse(QStringLiteral("three arguments are needed"));
    const QStringList size = args[2].split('x');
    gShowW = size.value(0).toInt();
    gShowH = size.value(1).toInt();
    const QDir root(args[1]);
    if (!QDir::setCurrent(args[0]) || gShowW <= 0 || gShowH <= 0) {
        std::fputs("no such folder or no display size\n", stderr);
        return 1;
    }
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
        db.setDatabaseName(QStringLiteral("PARAM.db"));
        ok = db.open();
        auto para = std::make_unique<WizardPara>();
        ok = ok && para->LoadDatafromFile(db);
        para->detectProdEnable = 1;
        para->tempNum = kTemplates;
        para->detectModeNext = para->detectMode;
        ok = ok && para->SaveDatatoFile(db);
        const QStringList cameras = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (int c = 0; ok && c < cameras.size(); ++c) {
            const QDir grey(root.filePath(cameras.at(c) + QStringLiteral("/grey")));
            const QStringList files =
                grey.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
            const QImage picture =
                QImage(grey.filePath(files.value(0))).convertToFormat(QImage::Format_Grayscale8);
            if (picture.isNull() || !writeTemplates(c, picture)) {
                ok = false;
                break;
            }
            auto p = std::make_unique<CammerSingleton>(c);
            p->LoadDatafromFile(db, 1.0f, 1.0f, nullptr);
            for (int step = 0; step < kSteps; ++step) {
                p->roiCount[step] = kRegions;
                for (int i = 0; i < kRegions; ++i)
                    setRegion(*p, step, i, gShowW / kGrid, gShowH / kGrid);
            }
            ok = p->SaveDatatoFile(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
    if (!ok) std::fputs("the working folder could not be prepared\n", stderr);
    return ok ? 0 : 1;
}
