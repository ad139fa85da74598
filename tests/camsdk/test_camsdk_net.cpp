// The camera library as a program of someone else's uses it: the client program (sdkclient,
// the library's header and nothing else of ours) runs in the panel's network namespace, two
// stand-in cameras in namespaces of their own, each behind a link of its own. It runs twice:
// without and with a Qt application object of its own.
#include <gtest/gtest.h>

#include "eventwait.h"
#include "netlab.h"

using testsupport::NetLab;

TEST(CameraSdkNet, AProgramFindsOpensStreamsAndClosesCameras) {
    NetLab lab;
    const int panel = lab.addHost(), hostA = lab.addHost(), hostB = lab.addHost();
    const auto toA = lab.link(panel, "192.168.31.10/24", hostA, "192.168.31.20/24");
    const auto toB = lab.link(panel, "192.168.32.10/24", hostB, "192.168.32.20/24");
    if (toB.first.isEmpty()) NETLAB_SKIP_OR_FAIL(lab);
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

    // A program with an application object of its own.
    const sys::CommandResult own = lab.run(panel, SDKCLIENT_PROGRAM, {"--own-application"}, 60000);
    EXPECT_TRUE(own.ok() && own.output.contains("\n0 failed")) << own.output.toStdString();
}
