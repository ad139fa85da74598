// The simulation camera plug-in: its cameras, and the exact frames it serves from its
// pictures in grey and in colour.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "camerainterface.h"
#include "testsupport.h"

namespace {

const QString kShipped = QStringLiteral(SIMCAMERA_PICTURES);

// Sets or unsets MOULDMON_SIM_PICTURES for a scope.
class PictureFolder {
public:
    explicit PictureFolder(const QString& folder) {
        if (folder.isEmpty())
            qunsetenv("MOULDMON_SIM_PICTURES");
        else
            qputenv("MOULDMON_SIM_PICTURES", folder.toLocal8Bit());
    }
    ~PictureFolder() { qunsetenv("MOULDMON_SIM_PICTURES"); }
};

CameraInterface* simPlugin() {
    static QPluginLoader loader(QStringLiteral(SIMCAMERA_PLUGIN));
    return qobject_cast<CameraInterface*>(loader.instance());
}

// The frame a picture file must give: grey 1 byte a pixel, colour R, G, B, A; no row padding.
QByteArray expectedFrame(const QString& path, bool colour) {
    QImage image(path);
    if (image.isNull()) return {};
    image = image.convertToFormat(colour ? QImage::Format_RGBA8888 : QImage::Format_Grayscale8);
    QByteArray frame;
    const int rowBytes = image.width() * (colour ? 4 : 1);
    for (int y = 0; y < image.height(); ++y)
        frame.append(reinterpret_cast<const char*>(image.constScanLine(y)), rowBytes);
    return frame;
}

struct OpenCamera {
    CameraInterface* camera = nullptr;
    int width = 0;
    int height = 0;
    QByteArray buffer;
    bool grab() { return camera->grabImage(reinterpret_cast<uchar*>(buffer.data())); }
};

OpenCamera openCamera(const _cameraInfo& info, bool colour, bool freeRun = false) {
    OpenCamera open;
    open.camera = simPlugin()->createCamera(info);
    if (!open.camera) return open;
    open.camera->setColor(colour);
    if (!open.camera->open()) {
        open.camera = nullptr;
        return open;
    }
    open.camera->getImageSize(&open.width, &open.height);
    open.buffer = QByteArray(open.width * open.height * (colour ? 4 : 1), '\0');
    // With the external trigger on, frames change only by software trigger: no timing.
    open.camera->setExternalTrigger(!freeRun);
    open.camera->start();
    return open;
}

void writeGrey(const QString& path, int width, int height, int seed) {
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.scanLine(y)[x] = uchar(seed + 17 * x + 3 * y);
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(image.save(path));
}

}  // namespace

TEST(SimCamera, IsASimulationPluginWithStableSerials) {
    PictureFolder folder{QString()};  // the pictures beside the plug-in
    CameraInterface* plugin = simPlugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->cameraType(), 0);
    EXPECT_EQ(plugin->pluginName(), QStringLiteral("SimCamera"));
    const QVector<_cameraInfo> cameras = plugin->findCameras();
    ASSERT_EQ(cameras.size(), 2);
    EXPECT_EQ(cameras[0].serialText(), QStringLiteral("SIMCAM-mould-a"));
    EXPECT_EQ(cameras[1].serialText(), QStringLiteral("SIMCAM-mould-b"));
    EXPECT_EQ(cameras[1].pluginName, QStringLiteral("SimCamera"));
    const QVector<_cameraInfo> again = plugin->findCameras();
    ASSERT_EQ(again.size(), 2);
    EXPECT_EQ(std::memcmp(again[0].serialNumber, cameras[0].serialNumber, 288), 0);
}

TEST(SimCamera, ServesTheExactBytesOfItsPicturesInGreyAndColour) {
    PictureFolder folder{QString()};
    const QVector<_cameraInfo> cameras = simPlugin()->findCameras();
    ASSERT_EQ(cameras.size(), 2);
    for (const _cameraInfo& info : cameras) {
        const QString name = info.serialText().mid(int(strlen("SIMCAM-")));
        for (bool colour : {false, true}) {
            SCOPED_TRACE((name + (colour ? " colour" : " grey")).toStdString());
            const QDir dir(kShipped + "/" + name + (colour ? "/colour" : "/grey"));
            const QStringList files = dir.entryList({"*.png"}, QDir::Files, QDir::Name);
            ASSERT_EQ(files.size(), 3);
            OpenCamera cam = openCamera(info, colour);
            ASSERT_NE(cam.camera, nullptr);
            EXPECT_EQ(QSize(cam.width, cam.height), QImage(dir.filePath(files[0])).size());
            EXPECT_LE(cam.width, 1280);
            EXPECT_LE(cam.height, 720);

            ASSERT_TRUE(cam.grab());
            EXPECT_EQ(cam.buffer, expectedFrame(dir.filePath(files[0]), colour));
            EXPECT_FALSE(cam.grab());  // no new frame without a trigger
            for (int i = 1; i <= 3; ++i) {
                cam.camera->softwareTrigger();
                ASSERT_TRUE(cam.grab());
                EXPECT_EQ(cam.buffer, expectedFrame(dir.filePath(files[i % 3]), colour)) << i;
            }
        }
    }
}

TEST(SimCamera, ColourFramesHoldRedInTheLowByte) {
    PictureFolder folder{QString()};
    const _cameraInfo info = simPlugin()->findCameras().value(0);
    OpenCamera cam = openCamera(info, true);
    ASSERT_NE(cam.camera, nullptr);
    ASSERT_TRUE(cam.grab());
    const QImage picture(kShipped + "/mould-a/colour/01-open.png");
    ASSERT_EQ(picture.size(), QSize(cam.width, cam.height));
    int mismatches = 0;
    int colouredPixels = 0;
    for (int y = 0; y < cam.height; ++y) {
        for (int x = 0; x < cam.width; ++x) {
            quint32 pixel = 0;  // as the views read it: one little-endian word a pixel
            std::memcpy(&pixel, cam.buffer.constData() + (y * cam.width + x) * 4, 4);
            const QRgb want = picture.pixel(x, y);
            const quint32 expected = quint32(qRed(want)) | quint32(qGreen(want)) << 8 |
                                     quint32(qBlue(want)) << 16 | 0xFF000000u;
            mismatches += pixel != expected ? 1 : 0;
            colouredPixels += qAbs(qRed(want) - qBlue(want)) > 60 ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(colouredPixels, 1000);  // red and blue really differ somewhere
}

TEST(SimCamera, ShippedFaultPicturesDifferWhereTheFaultIs) {
    for (const QString& camera :
         {QString("mould-a/grey/03-part-left.png"), QString("mould-b/grey/03-core-broken.png")}) {
        const QString dir = kShipped + "/" + camera.section('/', 0, 1);
        const QByteArray ok = expectedFrame(dir + "/01-open.png", false);
        const QByteArray light = expectedFrame(dir + "/02-open-light.png", false);
        const QByteArray fault = expectedFrame(kShipped + "/" + camera, false);
        ASSERT_EQ(ok.size(), fault.size());
        ASSERT_EQ(ok.size(), light.size());
        int faultPixels = 0;
        int lightPixels = 0;
        for (int i = 0; i < ok.size(); ++i) {
            faultPixels += qAbs(uchar(ok[i]) - uchar(fault[i])) > 40 ? 1 : 0;
            lightPixels += qAbs(uchar(ok[i]) - uchar(light[i])) > 20 ? 1 : 0;
        }
        EXPECT_GT(faultPixels, 2000) << camera.toStdString();  // a clearly visible fault
        EXPECT_EQ(lightPixels, 0) << camera.toStdString();     // only the light differs
    }
}

TEST(SimCamera, PicturesFromAChosenFolderWithoutRowPadding) {
    QTemporaryDir dir;
    // An odd width: image rows are padded in memory, frames must not be.
    writeGrey(dir.filePath("cam-x/grey/a.png"), 7, 3, 0);
    writeGrey(dir.filePath("cam-x/grey/b.png"), 7, 3, 100);
    writeGrey(dir.filePath("cam-x/grey/c-other-size.png"), 8, 3, 50);  // skipped
    QDir().mkpath(dir.filePath("empty/grey"));                         // no pictures: no camera
    PictureFolder folder(dir.path());

    const QVector<_cameraInfo> cameras = simPlugin()->findCameras();
    ASSERT_EQ(cameras.size(), 1);
    EXPECT_EQ(cameras[0].serialText(), QStringLiteral("SIMCAM-cam-x"));

    OpenCamera grey = openCamera(cameras[0], false);
    ASSERT_NE(grey.camera, nullptr);
    EXPECT_EQ(grey.width, 7);
    ASSERT_TRUE(grey.grab());
    QByteArray want;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) want.append(char(uchar(17 * x + 3 * y)));
    EXPECT_EQ(grey.buffer, want);
    grey.camera->softwareTrigger();
    grey.camera->softwareTrigger();  // two pictures only: back to the first
    ASSERT_TRUE(grey.grab());
    EXPECT_EQ(grey.buffer, want);

    // Without colour pictures, colour operation serves the grey ones as R = G = B, A = 255.
    OpenCamera colour = openCamera(cameras[0], true);
    ASSERT_NE(colour.camera, nullptr);
    ASSERT_TRUE(colour.grab());
    ASSERT_EQ(colour.buffer.size(), 7 * 3 * 4);
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(colour.buffer[i * 4], want[i]);
        EXPECT_EQ(colour.buffer[i * 4 + 1], want[i]);
        EXPECT_EQ(colour.buffer[i * 4 + 2], want[i]);
        EXPECT_EQ(uchar(colour.buffer[i * 4 + 3]), 255);
    }
}

TEST(SimCamera, FolderWithoutPicturesDoesNotOpen) {
    QTemporaryDir dir;
    _cameraInfo info;
    info.pluginName = QStringLiteral("SimCamera");
    info.setSerialText(QStringLiteral("SIMCAM-none"));
    info.properties.insert(QStringLiteral("folder"), dir.path());
    CameraInterface* camera = simPlugin()->createCamera(info);
    ASSERT_NE(camera, nullptr);
    EXPECT_FALSE(camera->open());
    EXPECT_EQ(simPlugin()->createCamera(_cameraInfo()), nullptr);  // not one of its cameras
}

TEST(SimCamera, FreeRunMakesNewFramesByItself) {
    PictureFolder folder{QString()};
    OpenCamera cam = openCamera(simPlugin()->findCameras().value(1), false, true);
    ASSERT_NE(cam.camera, nullptr);
    int fps = 0;
    cam.camera->getFps(&fps);
    EXPECT_GT(fps, 0);
    EXPECT_TRUE(cam.grab());
    EXPECT_TRUE(testsupport::waitFor([&] { return cam.grab(); }, 3000));
    cam.camera->stop();
    EXPECT_FALSE(cam.grab());
    cam.camera->getFps(&fps);
    EXPECT_EQ(fps, 0);
}
