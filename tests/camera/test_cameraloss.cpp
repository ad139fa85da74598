// Delivery of a camera loss to its view: always queued, whichever thread raises it and even
// when it is raised inside a call into the camera.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "camerainterface.h"
#include "scriptedcamera.h"
#include "testsupport.h"

using testcamera::ScriptedCamera;

namespace {

class LossReceiver : public QObject {
    Q_OBJECT
public:
    int losses = 0;
    bool inGuiThread = true;
public slots:
    void SlotLoss() {
        ++losses;
        inGuiThread = inGuiThread && QThread::currentThread() == qApp->thread();
    }
};

}  // namespace

TEST(CameraLoss, LossRaisedInsideAGrabArrivesAfterTheGrab) {
    ScriptedCamera camera;
    LossReceiver view;
    ASSERT_TRUE(camera::connectCameraLoss(&camera, &view, SLOT(SlotLoss())));
    camera.setColor(false);
    camera.pushFilledFrame(9);
    camera.raiseLossOnNextGrab();
    QByteArray frame(camera.frameBytes(), '\0');
    EXPECT_TRUE(camera.grabImage(reinterpret_cast<uchar*>(frame.data())));
    EXPECT_EQ(view.losses, 0);  // not inside the plug-in's call
    EXPECT_TRUE(testsupport::waitFor([&] { return view.losses == 1; }, 2000));
    EXPECT_EQ(frame, QByteArray(camera.frameBytes(), '\x09'));
}

TEST(CameraLoss, LossFromAPluginThreadArrivesInTheGuiThread) {
    ScriptedCamera camera;
    LossReceiver view;
    int functorCalls = 0;
    bool functorInGui = false;
    camera::connectCameraLoss(&camera, &view, SLOT(SlotLoss()));
    camera::connectCameraLoss(&camera, &view, [&] {
        ++functorCalls;
        functorInGui = QThread::currentThread() == qApp->thread();
    });
    camera.raiseLossFromThread();
    camera.raiseLoss();
    EXPECT_EQ(view.losses, 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return view.losses == 2 && functorCalls == 2; }, 2000));
    EXPECT_TRUE(view.inGuiThread);
    EXPECT_TRUE(functorInGui);
}

TEST(CameraLoss, ScriptedCameraPlaysFramesAndRecordsCalls) {
    ScriptedCamera camera(4, 2);
    camera.setColor(true);
    camera.setReconnectResults({false, false, true});
    EXPECT_TRUE(camera.open());
    QByteArray frame(camera.frameBytes(), '\0');
    auto* buffer = reinterpret_cast<uchar*>(frame.data());
    camera.pushFrame(QByteArray("\x01\x02\x03"));  // short: the rest is zero
    camera.pushFilledFrame(0xAB);
    EXPECT_TRUE(camera.grabImage(buffer));
    EXPECT_EQ(frame, QByteArray("\x01\x02\x03", 3) + QByteArray(29, '\0'));
    EXPECT_TRUE(camera.grabImage(buffer));
    EXPECT_FALSE(camera.grabImage(buffer));  // nothing new: the last frame again
    EXPECT_EQ(frame, QByteArray(32, '\xAB'));
    EXPECT_FALSE(camera.reconnect());
    EXPECT_FALSE(camera.reconnect());
    EXPECT_TRUE(camera.reconnect());
    EXPECT_TRUE(camera.reconnect());
    EXPECT_EQ(camera.calls().mid(0, 3), QStringList({"setColor(true)", "open", "grab"}));
    EXPECT_EQ(camera.callCount("reconnect"), 4);
}

TEST(CameraLoss, EveryCameraObjectPassesTheInterfaceCast) {
    ScriptedCamera camera;
    QObject* object = &camera;
    EXPECT_EQ(qobject_cast<CameraInterface*>(object), &camera);
    QObject plain;
    EXPECT_EQ(qobject_cast<CameraInterface*>(&plain), nullptr);
}

#include "test_cameraloss.moc"
