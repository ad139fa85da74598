#include "viewtestsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QtEndian>

#include "globals.h"
#include "languagetable.h"

namespace viewtest {

namespace {

const char* const kConnection = "viewtest";

void put16(QByteArray& out, quint16 v) {
    const quint16 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, quint32 v) {
    const quint32 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

}  // namespace

QVector<QRgb> greyPalette(int entries) {
    QVector<QRgb> palette;
    for (int i = 0; i < entries; ++i) {
        const int v = entries == 1 ? 0 : i * 255 / (entries - 1);
        palette << qRgb(v, v, v);
    }
    return palette;
}

bool writeIndexedBmp(const QString& path, int width, int height, int bitsPerPixel,
                     const QVector<QRgb>& palette, const std::function<int(int, int)>& pixel) {
    const int rowBytes = ((width * bitsPerPixel + 31) / 32) * 4;
    const int paletteBytes = palette.size() * 4;
    const int offset = 14 + 40 + paletteBytes;
    QByteArray out;
    out.append("BM", 2);
    put32(out, quint32(offset + rowBytes * height));
    put32(out, 0);
    put32(out, quint32(offset));
    put32(out, 40);
    put32(out, quint32(width));
    put32(out, quint32(height));
    put16(out, 1);
    put16(out, quint16(bitsPerPixel));
    put32(out, 0);
    put32(out, quint32(rowBytes * height));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, quint32(palette.size()));
    put32(out, 0);
    for (QRgb c : palette) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const int v = pixel(x, y);
            const int bit = x * bitsPerPixel;
            const int shift = 8 - bitsPerPixel - (bit % 8);
            row[bit / 8] = char(uchar(row[bit / 8]) | uchar(v << shift));
        }
        out.append(row);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

struct ViewTest::Saved {
    int showW = gShowW;
    int showH = gShowH;
    int dNum = gDNum;
    int tempNum = gTempNum;
    int color = gisColor;
    int grayHue = gisGrayHue;
    int cameras = numCamera;
    int source = gSource;
    int language = gLan;
    bool tempAlarm = gisTempAlarm;
    WizardPara* para = gpWPara;
    WizardPara* paraBak = gpWParaBak;
};

ViewTest::ViewTest() = default;
ViewTest::~ViewTest() = default;

void ViewTest::SetUp() {
    saved_ = std::make_unique<Saved>();
    static bool filled = false;
    if (!filled) {
        fillLanguageTable();
        filled = true;
    }
    gLan = 1;
    gShowW = 1280;
    gShowH = 960;
    gDNum = 2;
    gTempNum = 3;
    gisColor = 0;
    gisGrayHue = 1;
    numCamera = 1;
    gSource = -1;
    gisTempAlarm = false;
    gpWPara = &para;
    gpWParaBak = &paraBak;
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
    db.setDatabaseName(work.file(QStringLiteral("PARAM.db")));
    ASSERT_TRUE(db.open());
}

void ViewTest::TearDown() {
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
    gShowW = saved_->showW;
    gShowH = saved_->showH;
    gDNum = saved_->dNum;
    gTempNum = saved_->tempNum;
    gisColor = saved_->color;
    gisGrayHue = saved_->grayHue;
    numCamera = saved_->cameras;
    gSource = saved_->source;
    gLan = saved_->language;
    gisTempAlarm = saved_->tempAlarm;
    gpWPara = saved_->para;
    gpWParaBak = saved_->paraBak;
}

cameraview::CameraViewHooks ViewTest::hooks() {
    cameraview::CameraViewHooks h;
    h.paramDatabase = [this] { return db; };
    h.insertRecord = [this](const QString& text) { records << text; };
    h.lostCamera = [this] { ++lostCalls; };
    h.settingsVisible = [this] { return settingsShown; };
    h.hostState = [this] { return host; };
    h.recordPicture = [this] { return recordShown; };
    h.startDrawHint = [this](int ms) { hintStarts.push_back(ms); };
    return h;
}

testcamera::ScriptedCamera* ViewTest::newCamera(int width, int height) {
    cameras.push_back(std::make_unique<testcamera::ScriptedCamera>(width, height));
    return cameras.back().get();
}

std::unique_ptr<CammerWidget> ViewTest::makeView(testcamera::ScriptedCamera* camera, int cameraNo,
                                                 QWidget* parent) {
    cameraview::CameraViewHooks h = hooks();
    h.createCamera = [camera](const _cameraInfo&) -> CameraInterface* { return camera; };
    const _cameraInfo info = testcamera::makeCameraInfo(QStringLiteral("Scripted"),
                                                        QStringLiteral("SN-VIEW-%1").arg(cameraNo));
    return std::make_unique<CammerWidget>(parent, cameraNo, info, h);
}

QImage ViewTest::render(CammerWidget& view, bool withBackground) {
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    view.render(&image, QPoint(), QRegion(),
                withBackground ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    return image;
}

}  // namespace viewtest
