// The camera library as a program of someone else's uses it: the client program (sdkclient,
// the library's header and nothing else of ours) runs in the panel's network namespace, two
// stand-in cameras in namespaces of their own, each behind a link of its own.
#include <gtest/gtest.h>
#include <zemcamera.h>

#include "eventwait.h"
#include "netlab.h"

using testsupport::NetLab;

TEST(CameraSdkNet, AProgramFindsOpensStreamsAndClosesCameras) {
    NetLab lab;
    const int panel = lab.addHost(), hostA = lab.addHost(), hostB = lab.addHost();
    const auto toA = lab.link(panel, "192.168.31.10/24", hostA, "192.168.31.20/24");
    const auto toB = lab.link(panel, "192.168.32.10/24", hostB, "192.168.32.20/24");
    if (toB.first.isEmpty()) GTEST_SKIP() << lab.error().toStdString();
    // Every host has a default route, as on a real network: without one the interface
    // discovery of the UDP layer would want to make one (refused outside the panel).
    for (const auto& [host, via] :
         {std::pair{panel, "192.168.31.20"}, {hostA, "192.168.31.10"}, {hostB, "192.168.32.10"}})
        ASSERT_TRUE(lab.run(host, "ip", {"route", "add", "default", "via", via}).ok());

    QProcess* camA = lab.start(hostA, FAKECAMERA_PROGRAM, {"--id", "cam-a"});
    QProcess* camB = lab.start(hostB, FAKECAMERA_PROGRAM, {"--id", "cam-b", "--no-pictures"});
    ASSERT_TRUE(camA && camB);
    for (QProcess* camera : {camA, camB})
        ASSERT_TRUE(testsupport::waitFor([camera] { return camera->canReadLine(); }, 10000))
            << camera->readAllStandardError().toStdString();

    // Nothing listens on the far camera's network at .99.
    const sys::CommandResult run = lab.run(panel, SDKCLIENT_PROGRAM, {"192.168.32.99"}, 120000);
    EXPECT_TRUE(run.ok()) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("\n0 failed")) << run.output.toStdString();
    if (qEnvironmentVariableIsSet("CAMSDK_SHOW_CLIENT")) std::puts(run.output.constData());
}

// A program with an application object of its own (this test's): the library then keeps its
// objects on a thread beside it and closes them as that application object goes.
TEST(CameraSdkNet, AProgramWithItsOwnApplicationObject) {
    NetLab lab;
    const int panel = lab.addHost(), camera = lab.addHost();
    const auto link = lab.link(panel, "192.168.33.10/24", camera, "192.168.33.20/24");
    if (link.first.isEmpty()) GTEST_SKIP() << lab.error().toStdString();
    ASSERT_TRUE(lab.run(panel, "ip", {"route", "add", "default", "via", "192.168.33.20"}).ok());
    ASSERT_TRUE(lab.run(camera, "ip", {"route", "add", "default", "via", "192.168.33.10"}).ok());
    QProcess* fake = lab.start(camera, FAKECAMERA_PROGRAM, {"--id", "cam-c"});
    ASSERT_TRUE(fake && testsupport::waitFor([fake] { return fake->canReadLine(); }, 10000));

    // The library's thread is started here, so its sockets belong to the panel.
    NetLab::Inside inPanel(lab, panel);
    ASSERT_EQ(ZemCameraSdkInit(0), 0);
    tZemCameraDevInfo list[2];
    INT count = 2;
    ASSERT_EQ(ZemCameraEnumerateDevice(list, count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(list[0].identifier, "cam-c");
    int handle = 0;
    ASSERT_EQ(ZemCameraInit(&list[0], 0, 0, handle), 0);
    cv::Mat image;
    QJsonObject head;
    EXPECT_EQ(ZemCameraGetImageBuffer(handle, image, head, 1000), 0);
    EXPECT_EQ(image.size(), cv::Size(64, 48));
    EXPECT_EQ(ZemCameraPlay(handle), 0);
    // Left open and playing: the library closes it when the application object goes.
}
