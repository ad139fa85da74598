#include "viewtestsupport.h"

#include <QDataStream>
#include <QFile>
#include <QSqlDatabase>
#include <tuple>

#include "globals.h"
#include "languagetable.h"

namespace viewtest {

namespace {

const char* const kConnection = "viewtest";

// The process globals a view reads; restored after every test.
auto tiedGlobals() {
    return std::tie(gShowW, gShowH, gDNum, gTempNum, gisColor, gisGrayHue, numCamera, gSource, gLan,
                    gisTempAlarm, gpWPara, gpWParaBak);
}

template <typename... T>
std::tuple<T...> copyOf(const std::tuple<T&...>& tied) {
    return tied;
}

}  // namespace

bool writeGreyBmp(const QString& path, int width, int height, int bitsPerPixel,
                  const std::function<int(int, int)>& pixel) {
    const int entries = 1 << bitsPerPixel;
    const quint32 rowBytes = quint32((width * bitsPerPixel + 31) / 32) * 4;
    const quint32 offset = 14 + 40 + quint32(entries) * 4;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    // File header, then the 40-byte info header: bottom-up rows, no compression, 72 dpi.
    out << quint8('B') << quint8('M') << quint32(offset + rowBytes * quint32(height)) << quint32(0)
        << offset;
    out << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(bitsPerPixel)
        << quint32(0) << quint32(rowBytes * quint32(height)) << qint32(2835) << qint32(2835)
        << quint32(entries) << quint32(0);
    for (int i = 0; i < entries; ++i) {
        const quint8 v = quint8(i * 255 / (entries - 1));
        out << v << v << v << quint8(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(int(rowBytes), '\0');
        for (int x = 0; x < width; ++x) {
            const int bit = x * bitsPerPixel;
            row[bit / 8] =
                char(uchar(row[bit / 8]) | uchar(pixel(x, y) << (8 - bitsPerPixel - bit % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return out.status() == QDataStream::Ok;
}

struct ViewTest::Saved {
    decltype(copyOf(tiedGlobals())) globals = tiedGlobals();
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
    // In the order of tiedGlobals.
    tiedGlobals() = std::make_tuple(1280, 960, 2, 3, 0, 1, 1, -1, 1, false, &para, &paraBak);
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
    db.setDatabaseName(work.file(QStringLiteral("PARAM.db")));
    ASSERT_TRUE(db.open());
}

void ViewTest::TearDown() {
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
    tiedGlobals() = saved_->globals;
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
    h.setDrawTool = [this](int tool) { host.drawTool = tool; };
    h.disarmCopy = [this] { host.copyAreaArmed = false; };
    h.editingPage = [this](cameraview::EditPageCall call) {
        pageCalls.push_back(call);
        if (onPageCall) onPageCall(call);
    };
    h.doubleTap = std::make_shared<cameraview::DoubleTapDetector>([this] { return clockMs; });
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
