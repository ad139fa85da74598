// Entry point of every test program: an offscreen QApplication and the recording system seam,
// so that no test can run a system command, open a device or bind a privileged port.
#include <gtest/gtest.h>

#include <QApplication>

#include "recordingsystemactions.h"
#include "testsupport.h"

int main(int argc, char** argv) {
    // Screenshots for people to look at may name a real display's platform (xcb under Xvfb,
    // whose screen size the test then gets); everything else runs offscreen.
    const QByteArray platform = qgetenv("MOULDMON_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    sys::RecordingSystemActions recording;
    sys::setActions(&recording);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    sys::setActions(nullptr);
    return result;
}
