// Life cycle and camera control of a camera view on a scripted camera: the calling order on
// open, refused cameras, the setters and their parameter source, the grabbing rules, loss and
// reconnection.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTimer>
#include <algorithm>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "roimetatype.h"
#include "viewtestsupport.h"

using namespace viewtest;
using testcamera::ScriptedCamera;

namespace {

// The calls of interest, without grabs and frame-rate polls.
QStringList controlCalls(const ScriptedCamera& camera) {
    QStringList calls = camera.calls();
    calls.removeAll(QStringLiteral("grab"));
    calls.removeAll(QStringLiteral("getFps"));
    return calls;
}

}  // namespace

class ViewLifeCycle : public ViewTest {};

TEST_F(ViewLifeCycle, OpensInTheOrderPluginsRelyOn) {
    para.exposeTime[0] = 120;
    para.gamma[0] = 7;
    para.isHMirror[0] = 1;
    ScriptedCamera* camera = newCamera(64, 48);
    auto view = makeView(camera);
    ASSERT_TRUE(view->isOpen);
    const QStringList expected = {"setColor(false)", "open",       "getImageSize", "setParams",
                                  "cameraType",      "setData(0)", "start",        "setParams"};
    EXPECT_EQ(controlCalls(*camera), expected);
    // Every buffer is sized from the camera's answer.
    EXPECT_EQ(view->context.grabBuf.size(), size_t(64 * 48));
    EXPECT_EQ(view->showBuf.size(), size_t(64 * 48));
    EXPECT_EQ(view->displayBuf.size(), size_t(64 * 48 * 4));
    EXPECT_EQ(view->context.resultMask.size(), size_t(64 * 48));

    // The plug-ins' keys and JSON types, "gammma" as they spell it.
    const QJsonObject sent = camera->lastParams();
    EXPECT_EQ(sent.size(), 10);
    EXPECT_EQ(sent.value("exposetime").toInt(), 120);
    EXPECT_EQ(sent.value("gammma").toInt(), 7);
    EXPECT_TRUE(sent.value("HMirror").isBool());
    EXPECT_TRUE(sent.value("HMirror").toBool());

    // The thermal contract: the live regions as a "CammerSingleton *".
    const QVariant data = camera->lastData();
    EXPECT_EQ(data.userType(), QMetaType::type("CammerSingleton *"));
    EXPECT_EQ(data.value<CammerSingleton*>(), view->liveParam);
    camera->setTemperature(37);
    EXPECT_EQ(view->HotCameraGetTemperature(1, 9), 37);
    EXPECT_EQ(camera->lastData().toJsonObject(), QJsonObject({{"detect", 1}, {"funcNO", 9}}));

    // Colour operation asks for four-byte pixels before opening.
    gisColor = 1;
    ScriptedCamera* colour = newCamera(30, 20);
    auto colourView = makeView(colour, 1);
    ASSERT_TRUE(colourView->isOpen);
    EXPECT_EQ(colour->calls().first(), "setColor(true)");
    EXPECT_EQ(colourView->showBuf.size(), size_t(30 * 20 * 4));
    EXPECT_EQ(colourView->context.grayBuf.size(), size_t(30 * 20));
}

TEST_F(ViewLifeCycle, RefusedCamerasLeaveTheViewUnopened) {
    ScriptedCamera* refusing = newCamera(64, 48);
    refusing->setOpenResult(false);
    // A camera that opens but cannot say its frame size cannot be used.
    ScriptedCamera* sizeless = newCamera(0, 0);
    const struct {
        ScriptedCamera* camera;
        QStringList calls;
    } rows[] = {{refusing, {"setColor(false)", "open"}},
                {sizeless, {"setColor(false)", "open", "getImageSize", "close"}},
                {nullptr, {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.calls.join(',').toStdString());
        auto view = makeView(row.camera);
        EXPECT_FALSE(view->isOpen);
        EXPECT_EQ(view->recong, nullptr);
        EXPECT_TRUE(view->showBuf.empty());
        // Guarded operations do nothing on an unopened camera.
        view->SetExposeTime();
        view->CameraChangeTrig(true);
        EXPECT_FALSE(view->CameraStart());
        EXPECT_FALSE(view->UpdateImage());
        if (row.camera) {
            EXPECT_EQ(controlCalls(*row.camera), row.calls);
        }
    }
}

TEST_F(ViewLifeCycle, SettersApplyTheEditedCopyWhileTheSettingsScreenIsVisible) {
    ScriptedCamera* camera = newCamera(16, 8);
    auto view = makeView(camera, 1);
    for (auto [p, base] : {std::pair<WizardPara*, int>{&para, 10}, {&paraBak, 20}}) {
        p->exposeTime[1] = base;
        p->adjustPlus[1] = base + 1;
        p->sharp[1] = base + 2;
        p->contrast[1] = base + 3;
        p->gamma[1] = base + 4;
        p->speed = base / 10 + 4;
    }
    paraBak.isWDR = 1;
    paraBak.isHMirror[1] = 1;
    para.isVMirror[1] = 1;

    camera->clearCalls();
    view->SetExposeTime();
    view->SetAdjustPlus();
    EXPECT_EQ(camera->calls(), QStringList({"setExposeTime(10)", "setGain(11)"}));

    settingsShown = true;
    camera->clearCalls();
    for (auto set :
         {&CammerWidget::SetExposeTime, &CammerWidget::SetAdjustPlus, &CammerWidget::SetSharp,
          &CammerWidget::SetContrast, &CammerWidget::SetGamma, &CammerWidget::SetWDR,
          &CammerWidget::SetHMirror, &CammerWidget::SetVMirror, &CammerWidget::SetSpeed})
        (view.get()->*set)();
    view->CameraChangeTrig(true);
    // Mirrors and WDR stop the camera around the change; the speed is always the live one.
    const QStringList expected = {"setExposeTime(20)", "setGain(21)",  "setSharp(22)",
                                  "setContrast(23)",   "setGamma(24)", "stop",
                                  "setWDR(true)",      "start",        "stop",
                                  "setHMirror(true)",  "start",        "stop",
                                  "setVMirror(false)", "start",        "stop",
                                  "setSpeed(5)",       "start",        "setExternalTrigger(true)"};
    EXPECT_EQ(controlCalls(*camera), expected);

    // White balance only in colour operation.
    gisColor = 1;
    camera->clearCalls();
    view->SetExposeTime();
    EXPECT_EQ(camera->calls(), QStringList({"setExposeTime(20)", "whiteBalance"}));

    // Restored defaults land in the edited copy; only five values and the speed are taken.
    camera->setDefaults(QJsonObject{{"exposeTime", 40}, {"gamma", 44}, {"isHMirror", 0}});
    view->RestoreDefaultSettings();
    EXPECT_EQ(camera->callCount("restoreDefaultSettings(1)"), 1);
    EXPECT_EQ(paraBak.exposeTime[1], 40);
    EXPECT_EQ(paraBak.gamma[1], 44);
    EXPECT_EQ(paraBak.speed, 6);         // as sent: the plug-in kept it
    EXPECT_EQ(paraBak.isHMirror[1], 1);  // not taken back
    EXPECT_EQ(para.exposeTime[1], 10);   // the live copy is not touched
}

TEST_F(ViewLifeCycle, GrabbedFramesAreShownOnlyWhenTheRulesAllow) {
    ScriptedCamera* camera = newCamera(8, 4);
    auto view = makeView(camera);
    const auto grab = [&](uchar value) {
        camera->pushFilledFrame(value);
        EXPECT_TRUE(view->UpdateImage());
        EXPECT_EQ(view->context.grabBuf[5], value);
        return int(view->showBuf[0]);
    };
    EXPECT_EQ(grab(10), 10);
    EXPECT_FALSE(view->UpdateImage());  // no newer frame: false, the last one stays
    gSource = 0;                        // editing on the templates: the shown frame stays
    EXPECT_EQ(grab(20), 10);
    gSource = 1;
    EXPECT_EQ(grab(30), 30);
    para.sysUsage = 1;  // external trigger: the cycle shows the inspected frame
    EXPECT_EQ(grab(40), 30);
    // Switched to the external trigger, a frame the free run took before is no triggered one.
    camera->pushFilledFrame(45);
    view->CameraChangeTrig(true);
    EXPECT_FALSE(view->UpdateImage());
    para.sysUsage = 0;
    para.noRefreshAfterAlarm = 1;
    host.resultState = 2;  // frozen on the NG alarm
    EXPECT_EQ(grab(50), 30);
    host.resultState = 1;
    EXPECT_EQ(grab(60), 60);

    // Manual capture only on on-demand cameras.
    view->ManualUpdateImage();
    EXPECT_EQ(camera->callCount("softwareTrigger"), 0);
    ScriptedCamera* onDemand = newCamera(8, 4);
    onDemand->setType(0);
    auto manual = makeView(onDemand, 1);
    manual->ManualUpdateImage();
    EXPECT_EQ(onDemand->callCount("softwareTrigger"), 1);
}

TEST_F(ViewLifeCycle, DetectionsPreparedByModeAndTheRecentNgRing) {
    gDNum = 0;
    EXPECT_EQ(makeView(newCamera(8, 4))->preparedDetections(), 0);
    para.detectMode = 3;  // eight steps of their own, whatever gDNum says
    gDNum = 3;
    auto multi = makeView(newCamera(8, 4), 1);
    EXPECT_EQ(multi->preparedDetections(), 8);
    EXPECT_EQ(multi->context.templateBuf[7].size(), size_t(3));
    EXPECT_EQ(multi->context.ignoreMask[7].size(), size_t(32));
    ASSERT_EQ(multi->recentNgBuf[7].size(), size_t(10));
    // A slot nothing was kept in yet shows as the zeroed frame it stands for.
    std::fill(multi->showBuf.begin(), multi->showBuf.end(), uchar(5));
    multi->showFrame(multi->recentNgBuf[6][3]);
    EXPECT_EQ(std::count(multi->showBuf.begin(), multi->showBuf.end(), uchar(0)), 32);

    for (int n = 0; n < 11; ++n) {
        std::fill(multi->context.alignedBuf.begin(), multi->context.alignedBuf.end(), uchar(n + 1));
        multi->keepRecentNg(7);
    }
    EXPECT_EQ(multi->recentNgCount[7], 11);
    EXPECT_EQ(multi->recentNgBuf[7][0][0], 11);  // the eleventh replaced the first
    EXPECT_EQ(multi->recentNgBuf[7][1][0], 2);
    EXPECT_EQ(multi->recentNgBuf[7][9][0], 10);
    EXPECT_EQ(multi->recentNgCount[6], 0);
}

TEST_F(ViewLifeCycle, LossIsHandledQueuedAndRecoveredOnTheViewsTimer) {
    ScriptedCamera* camera = newCamera(8, 4);
    camera->setReconnectResults({false, true});
    auto view = makeView(camera, 2);
    camera->clearCalls();

    camera->raiseLossFromThread();
    // Delivered queued in the GUI thread; the slot returns at once.
    ASSERT_TRUE(testsupport::waitFor([&] { return !view->isConnected; }, 2000));
    EXPECT_TRUE(view->isReconnecting());
    EXPECT_EQ(lostCalls, 1);
    EXPECT_EQ(records, QStringList({"Camera 3 lost for the 1 time!"}));
    EXPECT_EQ(camera->callCount("reconnect"), 0);

    // Reported again while waiting: nothing more happens.
    camera->raiseLoss();
    QCoreApplication::processEvents();
    EXPECT_EQ(view->lossCount, 1);
    // The program keeps running meanwhile: grabs still reach the camera.
    view->UpdateImage();
    EXPECT_EQ(camera->callCount("grab"), 1);

    ASSERT_TRUE(testsupport::waitFor([&] { return view->isConnected; }, 5000));
    EXPECT_FALSE(view->isReconnecting());
    EXPECT_EQ(controlCalls(*camera),
              QStringList({"release", "reconnect", "reconnect", "setParams"}));

    // A loss raised inside a grab is handled after the grab returns; it is the second one.
    camera->raiseLossOnNextGrab();
    camera->pushFilledFrame(5);
    EXPECT_TRUE(view->UpdateImage());
    EXPECT_TRUE(view->isConnected);
    EXPECT_EQ(camera->callCount("release"), 1);
    ASSERT_TRUE(testsupport::waitFor([&] { return view->lossCount == 2; }, 2000));
    EXPECT_EQ(records.last(), "Camera 3 lost for the 2 time!");
    EXPECT_EQ(camera->callCount("release"), 2);
    EXPECT_TRUE(testsupport::waitFor([&] { return view->isConnected; }, 3000));
}

// The simulation camera, unplugged and plugged in again between two openings, comes back in
// free run as a real camera does after a power cycle: its view sets the external trigger again,
// so nothing comes without an edge and the next opening's edge takes exactly one picture.
TEST_F(ViewLifeCycle, AReconnectedCameraIsSetToTheExternalTriggerAgain) {
    QDir folder(work.file(QStringLiteral("sim")));
    for (int k = 0; k < 2; ++k) {
        QImage picture(8, 4, QImage::Format_Grayscale8);
        picture.fill(40 * k);
        ASSERT_TRUE(folder.mkpath("cam/grey") &&
                    picture.save(folder.filePath(QStringLiteral("cam/grey/%1.png").arg(k))));
    }
    const QString wire = folder.filePath("iosim.trigger");
    const auto openings = [&](int count) {
        QFile file(wire);
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(count) + '\n') > 0;
    };
    qputenv("MOULDMON_SIM_PICTURES", folder.path().toLocal8Bit());
    qputenv("MOULDMON_SIM_TRIGGER", wire.toLocal8Bit());
    QPluginLoader loader(QStringLiteral(SIMCAMERA_PLUGIN));
    auto* plugin = qobject_cast<CameraInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr);
    cameraview::CameraViewHooks h = hooks();
    h.createCamera = [plugin](const _cameraInfo& info) { return plugin->createCamera(info); };
    para.sysUsage = 1;
    CammerWidget view(nullptr, 0, plugin->findCameras().value(0), h);
    qunsetenv("MOULDMON_SIM_PICTURES");
    qunsetenv("MOULDMON_SIM_TRIGGER");
    ASSERT_TRUE(view.isOpen);
    const auto fresh = [&] {
        int frames = 0;
        while (frames < 3 && view.UpdateImage()) ++frames;
        return frames;
    };
    EXPECT_EQ(fresh(), 0) << "none at the start";
    ASSERT_TRUE(openings(1));
    EXPECT_EQ(fresh(), 1);

    QFile plug(folder.filePath("cam/unplugged"));
    ASSERT_TRUE(plug.open(QIODevice::WriteOnly));
    plug.close();
    EXPECT_EQ(fresh(), 0);
    ASSERT_TRUE(testsupport::waitFor([&] { return !view.isConnected; }, 2000));
    ASSERT_TRUE(plug.remove());
    ASSERT_TRUE(testsupport::waitFor([&] { return view.isConnected; }, 5000));
    int fps = -1;
    view.camera->getFps(&fps);
    EXPECT_EQ(fps, 0) << "on the external trigger again, not in free run";
    EXPECT_EQ(fresh(), 0) << "nothing after the return without an edge";
    ASSERT_TRUE(openings(2));
    EXPECT_EQ(fresh(), 1) << "the next opening's picture";
    EXPECT_EQ(view.context.grabBuf[0], 0) << "the camera's next picture";
}

TEST_F(ViewLifeCycle, RegionsComeFromTheCamerasTable) {
    // 640 x 480 frames on the 1280 x 960 display: two display pixels per image pixel.
    auto stored = std::make_unique<CammerSingleton>(0);
    stored->roiCount[0] = 1;
    stored->roiShapeType[0][0] = 1;
    stored->rects[0][0].showRect = QRect(QPoint(100, 60), QPoint(299, 159));
    ASSERT_TRUE(stored->SaveDatatoFile(db));

    auto view = makeView(newCamera(640, 480));
    ASSERT_TRUE(view->isOpen);
    EXPECT_EQ(view->liveParam->roiImageRect(0, 0), QRect(QPoint(50, 30), QPoint(149, 79)));
    const cv::Mat& mask = view->context.roiMask[0][0];
    EXPECT_EQ(mask.cols, 100);
    EXPECT_EQ(mask.rows, 50);
    EXPECT_EQ(view->editParam->roiCount[0], 0);  // the editing copy is filled by the page
}

TEST_F(ViewLifeCycle, AlarmBlinkPhases) {
    auto view = makeView(newCamera(8, 4));
    // NG blinks; phase 2 (ignore points on show) stays; OK ends the blinking.
    view->isOK = false;
    view->showAlarmTimer->start(1000);
    std::vector<int> phases;
    for (int start : {0, 1, 2}) {
        view->alarmBlink = start;
        view->TimerShowAlarm();
        phases.push_back(view->alarmBlink);
    }
    EXPECT_EQ(phases, std::vector<int>({1, 0, 2}));
    view->isOK = true;
    view->TimerShowAlarm();
    EXPECT_EQ(view->alarmBlink, 0);
    EXPECT_FALSE(view->showAlarmTimer->isActive());
}
