// The simulation camera plug-in: its cameras, and the exact frames it serves from its
// pictures in grey and in colour.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "camerainterface.h"
#include "ioboardsimulator.h"
#include "testsupport.h"
#include "triggerwire.h"

namespace {

const QString kShipped = QStringLiteral(SIMCAMERA_PICTURES);

// Points the plug-in at a picture folder for a scope; empty: the folder beside the plug-in.
struct PictureFolder {
    explicit PictureFolder(const QString& folder) {
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
    if (open.camera) open.camera->setColor(colour);
    if (!open.camera || !open.camera->open()) return OpenCamera{};
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

TEST(SimCamera, ServesTheExactBytesOfItsPicturesInGreyAndColour) {
    PictureFolder folder{QString()};  // the pictures beside the plug-in
    ASSERT_NE(simPlugin(), nullptr);
    EXPECT_EQ(simPlugin()->cameraType(), 0);
    const QVector<_cameraInfo> cameras = simPlugin()->findCameras();
    ASSERT_EQ(cameras.size(), 2);
    // Named by their folders, so SN.db keeps them in order across restarts.
    EXPECT_EQ(cameras[0].serialText(), QStringLiteral("SIMCAM-mould-a"));
    EXPECT_EQ(cameras[1].serialText(), QStringLiteral("SIMCAM-mould-b"));
    int colouredPixels = 0;
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

            EXPECT_FALSE(cam.grab()) << "a triggered camera takes no frame at its start";
            EXPECT_EQ(cam.buffer, QByteArray(cam.buffer.size(), '\0')) << "and writes none";
            for (int i = 1; i <= 3; ++i) {
                cam.camera->softwareTrigger();
                ASSERT_TRUE(cam.grab());
                EXPECT_EQ(cam.buffer, expectedFrame(dir.filePath(files[i % 3]), colour)) << i;
            }
            for (int k = 0; colour && k + 3 < cam.buffer.size(); k += 4)
                colouredPixels += qAbs(uchar(cam.buffer[k]) - uchar(cam.buffer[k + 2])) > 60;
        }
    }
    EXPECT_GT(colouredPixels, 1000);  // red and blue differ, so a swap of them would show
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
    QByteArray want;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) want.append(char(uchar(17 * x + 3 * y)));
    grey.camera->softwareTrigger();
    grey.camera->softwareTrigger();  // two pictures only: back to the first
    ASSERT_TRUE(grey.grab());
    EXPECT_EQ(grey.buffer, want);

    // Without colour pictures, colour operation serves the grey ones as R = G = B, A = 255.
    OpenCamera colour = openCamera(cameras[0], true);
    ASSERT_NE(colour.camera, nullptr);
    colour.camera->softwareTrigger();
    colour.camera->softwareTrigger();
    ASSERT_TRUE(colour.grab());
    QByteArray wantColour;
    for (char v : want) wantColour.append(v).append(v).append(v).append('\xff');
    EXPECT_EQ(colour.buffer, wantColour);

    // A camera whose folder lost its pictures does not open; a foreign record makes none.
    _cameraInfo gone = cameras[0];
    gone.properties.insert(QStringLiteral("folder"), dir.filePath("empty"));
    CameraInterface* camera = simPlugin()->createCamera(gone);
    ASSERT_NE(camera, nullptr);
    EXPECT_FALSE(camera->open());
    EXPECT_EQ(simPlugin()->createCamera(_cameraInfo()), nullptr);
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

TEST(SimCamera, UnpluggedByAFileItReportsItsLossOnceAndComesBackInFreeRun) {
    QTemporaryDir dir;
    writeGrey(dir.filePath("cam-x/grey/a.png"), 4, 2, 0);
    writeGrey(dir.filePath("cam-x/grey/b.png"), 4, 2, 100);
    PictureFolder folder(dir.path());
    OpenCamera cam = openCamera(simPlugin()->findCameras().value(0), false);
    ASSERT_NE(cam.camera, nullptr);
    int losses = 0;
    QObject::connect(cam.camera, &CameraInterface::sigCameraLost, [&losses] { ++losses; });
    cam.camera->softwareTrigger();
    ASSERT_TRUE(cam.grab());
    const QByteArray first = cam.buffer;

    QFile plug(dir.filePath("cam-x/unplugged"));
    ASSERT_TRUE(plug.open(QIODevice::WriteOnly));
    plug.close();
    cam.camera->softwareTrigger();  // taken before the camera looks at its link
    EXPECT_FALSE(cam.grab()) << "an unplugged camera delivers nothing";
    EXPECT_FALSE(cam.grab());
    EXPECT_EQ(losses, 1) << "the loss is told once";
    EXPECT_EQ(cam.buffer, first) << "and writes nothing";
    cam.camera->release();
    EXPECT_FALSE(cam.camera->reconnect());
    cam.camera->softwareTrigger();  // an unplugged camera takes no trigger

    ASSERT_TRUE(plug.remove());
    EXPECT_TRUE(cam.camera->reconnect());
    EXPECT_FALSE(cam.grab()) << "the frame of the old link went with it";
    int fps = 0;
    cam.camera->getFps(&fps);
    EXPECT_GT(fps, 0) << "back in free run, as after a power cycle";
    cam.camera->setExternalTrigger(true);
    EXPECT_FALSE(cam.grab());
    cam.camera->softwareTrigger();
    EXPECT_TRUE(cam.grab());
    EXPECT_EQ(losses, 1);
}

// The IO-board simulator's wire: each rising edge of the mould-open input takes exactly one
// picture on every triggered camera; other inputs, the falling edge, edges before the start
// or while unplugged, and a simulator started again take none.
TEST(SimCamera, EachEdgeOfTheWiredInputTakesOnePictureOnEveryCamera) {
    QTemporaryDir dir;
    for (const char* name : {"cam-x", "cam-y"})
        for (int k = 0; k < 3; ++k)
            writeGrey(dir.filePath(QStringLiteral("%1/grey/%2.png").arg(name).arg(k)), 4, 2,
                      40 * k);
    PictureFolder folder(dir.path());
    const QString file = dir.filePath("iosim.trigger");
    qputenv("MOULDMON_SIM_TRIGGER", file.toLocal8Bit());
    auto wire = std::make_unique<iosim::TriggerWire>(file, iosim::kDefaultTriggerBit);
    ASSERT_TRUE(wire->start());
    iosim::IoBoardSimulator board;  // the inputs only: no terminal needed
    board.setInputObserver([&wire](quint32 before, quint32 after) {
        EXPECT_TRUE(wire->inputsChanged(before, after));
    });
    board.setInput(0, true);
    board.setInput(0, false);  // an edge before the cameras start is not theirs

    const QVector<_cameraInfo> infos = simPlugin()->findCameras();
    ASSERT_EQ(infos.size(), 2);
    std::vector<OpenCamera> cams;
    for (const _cameraInfo& info : infos) cams.push_back(openCamera(info, false));
    qunsetenv("MOULDMON_SIM_TRIGGER");
    const QByteArray noFrame(8, '\0');
    const auto frames = [&](int c) {
        int fresh = 0;
        while (fresh < 5 && cams[size_t(c)].grab()) ++fresh;
        return fresh;
    };
    const auto plug = [&](bool unplugged) {
        QFile marker(dir.filePath("cam-y/unplugged"));
        return unplugged ? marker.open(QIODevice::WriteOnly) : marker.remove();
    };
    const struct {
        const char* what;
        std::function<void()> act;
        int x, y;  // new frames of each camera
        int picture;
    } rows[] = {
        {"the start", [] {}, 0, 0, -1},
        {"another input", [&] { board.setInput(1, true); }, 0, 0, -1},
        {"mould open", [&] { board.setInput(0, true); }, 1, 1, 1},
        {"held high", [&] { board.setInputs(0x1); }, 0, 0, 1},
        {"mould closed", [&] { board.setInput(0, false); }, 0, 0, 1},
        {"two openings",
         [&] {
             board.setInput(0, true), board.setInput(0, false), board.setInput(0, true),
                 board.setInput(0, false);
         },
         1, 1, 0},
        {"camera 2 unplugged",
         [&] {
             ASSERT_TRUE(plug(true));
             board.setInput(0, true);
         },
         1, 0, 1},
        {"plugged in again",
         [&] {
             board.setInput(0, false);
             ASSERT_TRUE(plug(false));
             ASSERT_TRUE(cams[1].camera->reconnect());
             cams[1].camera->setParams({{"sysUsage", true}});  // as its view does
         },
         0, 0, -1},
        {"the next opening", [&] { board.setInput(0, true); }, 1, 1, -1},
        {"a simulator started again",
         [&] {
             board.setInput(0, false);
             wire = std::make_unique<iosim::TriggerWire>(file, iosim::kDefaultTriggerBit);
             ASSERT_TRUE(wire->start());
         },
         0, 0, -1},
        {"and its first opening", [&] { board.setInput(0, true); }, 1, 1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_EQ(frames(0), row.x);
        EXPECT_EQ(frames(1), row.y);
        if (row.picture >= 0) {
            EXPECT_EQ(cams[0].buffer.at(0), char(40 * row.picture)) << "picture " << row.picture;
        }
    }
    EXPECT_EQ(wire->edges(), 7u) << "the count went on across the simulator's restart";
}
