// Entry point of the application object's test: the program's own MApplication in place of the
// plain QApplication of the other tests' main (which this main replaces at link time), with the
// recording system seam, so "./tsc" and the reboot are only recorded.
#include <gtest/gtest.h>

#include "mapplication.h"
#include "recordingsystemactions.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MApplication app(argc, argv);
    sys::RecordingSystemActions recording;
    sys::setActions(&recording);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    sys::setActions(nullptr);
    return result;
}
