// Draws mould pictures:
//   mouldpictures <folder>
// writes the pictures of the simulation camera: <folder>/<camera>/colour/NN-name.png (RGB) and
// <camera>/grey/NN-name.png (8-bit grey, the grey rendering of the same picture) for two
// cameras: "mould-a", the moving half with four cavities, and "mould-b", the fixed half with six
// core pins. Pictures 01 and 02 show a clean open mould (02 under slightly different light); 03
// shows a fault an inspection must catch: a moulded part left in a cavity (mould-a) and a
// broken-off core pin (mould-b).
//   mouldpictures --scenes <folder>
// writes 1920 x 1080 grey camera shots with known answers: <folder>/<mould>/NN-name.png, good
// and faulty, moved, turned, under other light and with sensor noise, and <folder>/answers.txt
// with one line per shot: file, fault (or "good"), shift x and y (pixels), angle (degrees,
// counter-clockwise as shown, about the picture centre), brightness and noise.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cstdio>
#include <functional>

#include "commandline.h"
#include "mouldscene.h"

using namespace mouldpictures;

namespace {

constexpr int kLightShift = 8;
const QSize kShotSize(1920, 1080);

bool save(const QDir& folder, const QString& camera, const QString& name, const QImage& image) {
    const QString colourDir = folder.filePath(camera + QStringLiteral("/colour"));
    const QString greyDir = folder.filePath(camera + QStringLiteral("/grey"));
    if (!QDir().mkpath(colourDir) || !QDir().mkpath(greyDir)) return false;
    const QString file = name + QStringLiteral(".png");
    const QImage colour = image.convertToFormat(QImage::Format_RGB888);
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    return colour.save(QDir(colourDir).filePath(file), "PNG", 0) &&
           grey.save(QDir(greyDir).filePath(file), "PNG", 0);
}

bool simulationPictures(const QDir& folder) {
    CavityScene light, partLeft;
    light.lightShift = kLightShift;
    partLeft.partLeft = true;
    CoreScene coreLight, coreBroken;
    coreLight.lightShift = kLightShift;
    coreBroken.coreMissing = true;
    return save(folder, "mould-a", "01-open", drawCavityHalf({})) &&
           save(folder, "mould-a", "02-open-light", drawCavityHalf(light)) &&
           save(folder, "mould-a", "03-part-left", drawCavityHalf(partLeft)) &&
           save(folder, "mould-b", "01-open", drawCoreHalf({})) &&
           save(folder, "mould-b", "02-open-light", drawCoreHalf(coreLight)) &&
           save(folder, "mould-b", "03-core-broken", drawCoreHalf(coreBroken));
}

struct Shot {
    QString mould;
    QString fault;  // "good" or the fault planted
    Pose pose;
    int brightness;
    double noise;
    std::function<QImage(const Pose&)> draw;
};

std::vector<Shot> scenes() {
    const auto cavity = [](void (*plant)(CavityScene&)) {
        return [plant](const Pose& pose) {
            CavityScene s;
            s.pose = pose;
            if (plant) plant(s);
            return drawCavityHalf(s, kShotSize);
        };
    };
    const auto core = [](bool broken) {
        return [broken](const Pose& pose) {
            CoreScene s;
            s.pose = pose;
            s.coreMissing = broken;
            return drawCoreHalf(s, kShotSize);
        };
    };
    const auto plain = [](const Pose& pose) {
        PlainScene s;
        s.pose = pose;
        return drawPlainInsert(s, kShotSize);
    };
    const Pose still, moved{{24, -17}, 0.0}, turned{{-19, 14}, 3.0};
    std::vector<Shot> shots;
    for (const Pose& pose : {still, moved, turned}) {
        shots.push_back({"mould-a", "good", pose, 10, 4.0, cavity(nullptr)});
        shots.push_back({"mould-a", "good", pose, -10, 4.0, cavity(nullptr)});
        shots.push_back({"mould-a", "part-left", pose, 0, 3.0,
                         cavity([](CavityScene& s) { s.partLeft = true; })});
        shots.push_back({"mould-a", "runner-blocked", pose, 0, 3.0,
                         cavity([](CavityScene& s) { s.runnerBlocked = true; })});
        shots.push_back(
            {"mould-a", "flash", pose, 0, 3.0, cavity([](CavityScene& s) { s.flash = true; })});
        shots.push_back({"mould-a", "pin-missing", pose, 0, 3.0,
                         cavity([](CavityScene& s) { s.pinMissing = true; })});
        shots.push_back({"mould-b", "good", pose, 6, 4.0, core(false)});
        shots.push_back({"mould-b", "core-broken", pose, 0, 3.0, core(true)});
        shots.push_back({"plain", "good", pose, 0, 3.0, plain});
    }
    return shots;
}

bool scenePictures(const QDir& folder) {
    QFile answers(folder.filePath(QStringLiteral("answers.txt")));
    if (!QDir().mkpath(folder.path()) || !answers.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&answers);
    int n = 0;
    for (const Shot& shot : scenes()) {
        ++n;
        const QString file = QStringLiteral("%1/%2-%3.png")
                                 .arg(shot.mould)
                                 .arg(n, 2, 10, QLatin1Char('0'))
                                 .arg(shot.fault);
        const QImage picture =
            sensorShot(shot.draw(shot.pose), shot.brightness, shot.noise, unsigned(n));
        if (!QDir().mkpath(folder.filePath(shot.mould)) ||
            !picture.save(folder.filePath(file), "PNG", 0))
            return false;
        out << file << ' ' << shot.fault << ' ' << shot.pose.shift.x() << ' ' << shot.pose.shift.y()
            << ' ' << shot.pose.angle << ' ' << shot.brightness << ' ' << shot.noise << '\n';
    }
    return out.status() == QTextStream::Ok;
}

}  // namespace

int main(int argc, char** argv) {
    // Shapes only, no text: painting on images needs no screen.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws the pictures of the simulation camera into FOLDER, or with --scenes the camera\n"
        "shots with known answers of the engine's tests."));
    parser.addOption({QStringLiteral("scenes"), QStringLiteral("Draw the scenes.")});
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where to write."),
                                 QStringLiteral("FOLDER"));
    const int status = cli::read(parser, 1);
    if (status != cli::kGoOn) return status;
    if (parser.positionalArguments().isEmpty()) return cli::refuse(QStringLiteral("no folder"));
    const QString path = parser.positionalArguments()[0];
    const QDir folder(path);
    const bool scenesWanted = parser.isSet(QStringLiteral("scenes"));
    if (!(scenesWanted ? scenePictures(folder) : simulationPictures(folder))) {
        std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
