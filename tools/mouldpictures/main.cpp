// Draws the pictures of the simulation camera:
//   mouldpictures <folder>
// writes <folder>/<camera>/colour/NN-name.png (RGB) and <camera>/grey/NN-name.png (8-bit grey,
// the grey rendering of the same picture) for two cameras: "mould-a", the moving half with
// four cavities, and "mould-b", the fixed half with six core pins. Pictures 01 and 02 show a
// clean open mould (02 under slightly different light); 03 shows a fault an inspection must
// catch: a moulded part left in a cavity (mould-a) and a broken-off core pin (mould-b).
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <cstdio>

#include "mouldscene.h"

using namespace mouldpictures;

namespace {

constexpr int kLightShift = 8;

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

}  // namespace

int main(int argc, char** argv) {
    // Shapes only, no text: painting on images needs no screen.
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mouldpictures <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    ok = ok && save(folder, "mould-a", "01-open", drawCavityHalf({}));
    ok = ok && save(folder, "mould-a", "02-open-light", drawCavityHalf({kLightShift, false}));
    ok = ok && save(folder, "mould-a", "03-part-left", drawCavityHalf({0, true}));
    ok = ok && save(folder, "mould-b", "01-open", drawCoreHalf({}));
    ok = ok && save(folder, "mould-b", "02-open-light", drawCoreHalf({kLightShift, false}));
    ok = ok && save(folder, "mould-b", "03-core-broken", drawCoreHalf({0, true}));
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
