// Delivery of a camera loss: always queued into the receiver's thread, whichever thread raises
// it and even when it is raised inside a call into the camera.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "camerainterface.h"
#include "scriptedcamera.h"
#include "testsupport.h"

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

TEST(CameraLoss, ArrivesQueuedInTheReceiversThread) {
    testcamera::ScriptedCamera camera;
    // Every camera object passes the interface cast, though it does not repeat Q_INTERFACES.
    EXPECT_EQ(qobject_cast<CameraInterface*>(static_cast<QObject*>(&camera)), &camera);
    LossReceiver view;
    int functorCalls = 0;
    bool functorInGui = false;
    ASSERT_TRUE(camera::connectCameraLoss(&camera, &view, SLOT(SlotLoss())));
    camera::connectCameraLoss(&camera, &view, [&] {
        ++functorCalls;
        functorInGui = QThread::currentThread() == qApp->thread();
    });

    camera.pushFilledFrame(9);
    camera.raiseLossOnNextGrab();
    QByteArray frame(camera.frameBytes(), '\0');
    EXPECT_TRUE(camera.grabImage(reinterpret_cast<uchar*>(frame.data())));
    EXPECT_EQ(view.losses, 0);  // not inside the plug-in's call
    EXPECT_EQ(frame, QByteArray(camera.frameBytes(), '\x09'));
    camera.raiseLossFromThread();
    EXPECT_EQ(view.losses + functorCalls, 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return view.losses == 2 && functorCalls == 2; }, 2000));
    EXPECT_TRUE(view.inGuiThread);
    EXPECT_TRUE(functorInGui);
}

#include "test_cameraloss.moc"
