// A program of someone else's, as the camera library's users write them: the library's one
// header, no header of this project, no Qt application object. Run inside the panel's network
// namespace, where enumeration finds two stand-in cameras: "cam-a" with pictures and "cam-b"
// without a picture service. Prints one line per check; exits 1 when any failed.
//   sdkclient <address where no camera listens>
//   sdkclient --own-application   the program has a Qt application object of its own: the
//                                 library keeps its objects on a thread beside it and closes
//                                 them as that object goes
#include <zemcamera.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
}

struct Code {
    const char* call;
    int got;
    int expected;
};

void checkCodes(const std::vector<Code>& rows) {
    for (const Code& row : rows)
        check(row.got == row.expected, std::string(row.call) + " -> " + std::to_string(row.got) +
                                           " (expected " + std::to_string(row.expected) + ")");
}

using Clock = std::chrono::steady_clock;

// What the image callback saw.
struct Frames {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Clock::time_point> stamps;
    std::vector<int> firstPixels;
    bool wellFormed = true;

    size_t count() {
        std::lock_guard<std::mutex> lock(mutex);
        return stamps.size();
    }
};

void onImage(cv::Mat image, void* user) {
    auto* frames = static_cast<Frames*>(user);
    std::lock_guard<std::mutex> lock(frames->mutex);
    frames->stamps.push_back(Clock::now());
    if (image.empty() || image.type() != CV_8UC1 || image.cols != 64 || image.rows != 48)
        frames->wellFormed = false;
    else
        frames->firstPixels.push_back(image.at<unsigned char>(0, 0));
    frames->arrived.notify_all();
}

// The rate rule: at most 20 pictures a second. The pump calls back inside a pass and starts
// its next pass only after that, more than 50 ms after the previous start; so between any two
// callbacks k pictures apart at least (k - 1) * 50 ms have passed, however loaded the machine.
bool withinTwentyPerSecond(const std::vector<Clock::time_point>& stamps) {
    using std::chrono::milliseconds;
    for (size_t i = 0; i < stamps.size(); ++i)
        for (size_t j = i + 20; j < stamps.size(); ++j)
            if ((stamps[j] - stamps[i]) < milliseconds(50 * (long(j - i) - 1))) return false;
    return true;
}

int findRecord(const tZemCameraDevInfo* list, int count, const char* id) {
    for (int i = 0; i < count; ++i)
        if (std::strcmp(list[i].identifier, id) == 0) return i;
    return -1;
}

int withOwnApplication(int argc, char** argv) {
    int handle = 0;
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    tZemCameraDevInfo list[2];
    INT count = 2;
    check(ZemCameraSdkInit(0) == 0 && ZemCameraEnumerateDevice(list, count) == 0 && count == 2,
          "enumerate finds 2 cameras");
    const int a = findRecord(list, count, "cam-a");
    check(a >= 0 && ZemCameraInit(&list[a], 0, 0, handle) == 0, "Init cam-a");
    cv::Mat image;
    QJsonObject head;
    check(ZemCameraGetImageBuffer(handle, image, head, 1000) == 0 && image.cols == 64 &&
              image.rows == 48,
          "single picture");
    check(ZemCameraPlay(handle) == 0, "play");
    // Left open and playing as the application object goes.
    app.reset();
    check(ZemCameraPlay(handle) == -3, "the library closed with the application object");
    std::printf("%d failed\n", failures);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: sdkclient <address where no camera listens>\n"
                     "       sdkclient --own-application\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--own-application") == 0) return withOwnApplication(argc, argv);
    int handle = 0;
    cv::Mat image;
    QJsonObject head;
    tZemCameraDevInfo list[3];
    INT count = 3;

    // Before initialisation nothing reaches the network.
    checkCodes({{"EnumerateDevice before init", ZemCameraEnumerateDevice(list, count), -3},
                {"Init before init", ZemCameraInit(&list[0], 0, 0, handle), -3},
                {"Play before init", ZemCameraPlay(1), -3},
                {"GetImageBuffer before init", ZemCameraGetImageBuffer(1, image, head, 100), -3},
                {"SdkInit", ZemCameraSdkInit(0), 0},
                {"SdkInit again", ZemCameraSdkInit(0), 0}});

    // Enumeration writes no record past the room the caller gives.
    std::memset(list, 0x5a, sizeof list);
    count = 1;
    check(ZemCameraEnumerateDevice(list, count) == 0 && count == 1, "enumerate into room for 1");
    const unsigned char* beyond = reinterpret_cast<const unsigned char*>(&list[1]);
    check(std::all_of(beyond, beyond + 2 * sizeof(tZemCameraDevInfo),
                      [](unsigned char b) { return b == 0x5a; }),
          "nothing written past the room");
    count = 0;
    check(ZemCameraEnumerateDevice(list, count) == 0 && count == 0, "enumerate into no room");
    count = 3;
    check(ZemCameraEnumerateDevice(list, count) == 0 && count == 2, "enumerate finds 2 cameras");
    const int a = findRecord(list, count, "cam-a"), b = findRecord(list, count, "cam-b");
    check(a >= 0 && b >= 0, "cam-a and cam-b found");
    if (a < 0 || b < 0) return 1;
    std::printf("cam-a at %s, cam-b at %s\n", list[a].ip, list[b].ip);

    // Handles: 1, 2, and after closing 2 the next is 3; a dead address gets none.
    int ha = 0, hb = 0, hdead = -100;
    tZemCameraDevInfo dead = list[a];
    std::snprintf(dead.ip, sizeof dead.ip, "%s", argv[1]);
    checkCodes({{"Init cam-a", ZemCameraInit(&list[a], 0, 0, ha), 0},
                {"handle of cam-a", ha, 1},
                {"Init cam-b", ZemCameraInit(&list[b], 0, 0, hb), 0},
                {"handle of cam-b", hb, 2},
                {"UnInit cam-b", ZemCameraUnInit(hb), 0},
                {"Init cam-b again", ZemCameraInit(&list[b], 0, 0, hb), 0},
                {"new handle of cam-b", hb, 3},
                {"Init where no camera listens", ZemCameraInit(&dead, 0, 0, hdead), -5},
                {"no handle issued", hdead, -100}});

    // The picture stream.
    Frames frames;
    check(ZemCameraRegisterImageCallBack(ha, &onImage, &frames) == 0, "register callback");
    check(ZemCameraPlay(ha) == 0, "play");
    {
        std::unique_lock<std::mutex> lock(frames.mutex);
        frames.arrived.wait_for(lock, std::chrono::seconds(30),
                                [&] { return frames.stamps.size() >= 40; });
        check(frames.stamps.size() >= 40,
              "40 pictures to the callback (got " + std::to_string(frames.stamps.size()) + ")");
        check(withinTwentyPerSecond(frames.stamps), "at most 20 pictures a second");
        check(frames.wellFormed, "every picture whole");
        // Each callback has a picture of its own: consecutive sequence numbers differ.
        bool fresh = true;
        for (size_t i = 1; i < frames.firstPixels.size(); ++i)
            fresh = fresh && frames.firstPixels[i] != frames.firstPixels[i - 1];
        check(fresh, "no picture delivered twice");
    }

    // Single pictures and their documented failures.
    check(ZemCameraGetImageBuffer(ha, image, head, 1000) == 0 && image.rows == 48 &&
              head.contains("seq"),
          "single picture with its header");
    cv::Mat untouched;
    QJsonObject noHead;
    QVariantMap none;
    checkCodes(
        {{"GetImageBuffer, time-out 0", ZemCameraGetImageBuffer(ha, untouched, noHead, 0), -12},
         {"GetImageBuffer, no picture port", ZemCameraGetImageBuffer(hb, untouched, noHead, 500),
          -1},
         {"Stop, picture link never up", ZemCameraStop(hb), -2},
         {"SetParams emptyPictures", ZemCameraSetParams(ha, {{"emptyPictures", 1}}), 0},
         {"GetImageBuffer, answer without picture",
          ZemCameraGetImageBuffer(ha, untouched, noHead, 1000), -4},
         {"SetParams emptyPictures off", ZemCameraSetParams(ha, {{"emptyPictures", 0}}), 0},
         {"Play unknown handle", ZemCameraPlay(99), -6},
         {"GetParams unknown handle", ZemCameraGetParams(99, {"gain"}, none, false), -6},
         {"SetContrast unknown handle", ZemCameraSetContrast(99, 1), -6},
         {"UnInit unknown handle", ZemCameraUnInit(99), 0},
         {"Init without record", ZemCameraInit(nullptr, 0, 0, handle), -7},
         {"CommonCall without key", ZemCameraCommonCall(ha, nullptr, nullptr, 1), -7},
         {"ImageProcess", ZemCameraImageProcess(ha, nullptr, nullptr, nullptr), 0}});
    check(untouched.empty() && noHead.isEmpty(), "failed picture calls leave their outputs");

    // Parameters: the setters return what the camera reports (it keeps values in range).
    checkCodes({{"SetContrast 7", ZemCameraSetContrast(ha, 7), 7},
                {"SetContrast 500 (camera max 100)", ZemCameraSetContrast(ha, 500), 100},
                {"SetExposureTime 2500", ZemCameraSetExposureTime(ha, 2500.0), 2500},
                {"SetAnalogGain 4", ZemCameraSetAnalogGain(ha, 4.0), 4},
                {"SetGamma 220", ZemCameraSetGamma(ha, 220), 220},
                {"SetSharpness 30", ZemCameraSetSharpness(ha, 30), 30},
                {"SetIspOutFormat 2", ZemCameraSetIspOutFormat(ha, 2), 0},
                {"SetHDR on", ZemCameraSetHDR(ha, 1), 0},
                {"CommonCall", ZemCameraCommonCall(ha, "led", nullptr, 1), 0},
                {"SetParams", ZemCameraSetParams(ha, {{"sharp", 12}, {"nosuch", 1}}), 0}});
    QVariantMap flat{{"mine", "kept"}}, full;
    check(ZemCameraGetParams(ha, {"exposure", "sharp", "nosuch"}, flat, false) == 0 &&
              flat.value("exposure").toDouble() == 2500 && flat.value("sharp").toInt() == 12 &&
              !flat.contains("nosuch") && flat.value("mine") == "kept",
          "GetParams flat");
    check(ZemCameraGetParams(ha, {"contrast"}, full, true) == 0 &&
              full.value("contrast").toMap().value("max").toInt() == 100 &&
              full.value("contrast").toMap().value("value").toInt() == 100,
          "GetParams full");
    QVariant value("unchanged"), gamma;
    check(ZemCameraGetParam(ha, "nosuch", value, false) == 0 && value == "unchanged",
          "GetParam of a key the camera lacks leaves the value");
    check(ZemCameraGetParam(ha, "gamma", gamma, false) == 0 && gamma.toInt() == 220, "GetParam");

    // Stop and close while the camera answers slowly: a parameter exchange from another thread
    // and the pump's picture request are both in flight.
    check(ZemCameraSetParams(ha, {{"replyDelayMs", 800}}) == 0, "camera made slow");
    std::atomic<bool> slowStarted{false};
    QVariantMap slowOut;
    std::thread slow([&] {
        slowStarted = true;
        ZemCameraGetParams(ha, {"gamma"}, slowOut, false);
    });
    while (!slowStarted) std::this_thread::yield();
    // The library serves one call at a time, so which of the two threads it serves first decides
    // the codes of Stop and of the slow call; what counts is that all return and that no
    // picture follows UnInit.
    ZemCameraStop(ha);
    check(ZemCameraUnInit(ha) == 0, "UnInit during a slow exchange");
    const size_t afterUnInit = frames.count();
    slow.join();
    checkCodes(
        {{"Play after UnInit", ZemCameraPlay(ha), -6},
         {"GetImageBuffer after UnInit", ZemCameraGetImageBuffer(ha, untouched, noHead, 100), -6},
         {"UnInit cam-b", ZemCameraUnInit(hb), 0}});
    check(frames.count() == afterUnInit, "no picture after UnInit returned");

    std::printf("%d failed\n", failures);
    return failures ? 1 : 0;
}
