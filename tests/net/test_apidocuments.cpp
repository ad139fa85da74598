// The API's documents and its subscriber book, without a socket.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

#include "apidocuments.h"
#include "globals.h"
#include "httpapilimits.h"
#include "privatemount.h"
#include "subscriberbook.h"
#include "testsupport.h"

namespace {

param_roi roi(int camera, int detect, int id, int value, int low, int high, int param, int ok) {
    return {camera, detect, id, 5, value, low, high, param, ok};
}

QByteArray compact(const QJsonValue& value) {
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

QJsonObject request(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

QJsonObject subscription(const QString& address, int port) {
    return {{"subscriber",
             QJsonArray{QJsonObject{{"subscriber_ip", address}, {"subscriber_port", port}}}}};
}

}  // namespace

TEST(ApiDocuments, RegionNumbersAreSplitIntoBytes) {
    EXPECT_EQ(compact(httpapi::roiAlgorithm(roi(0, 0, 0, 7, 300, 86, 0, 1))), "[7,44,86,0,1,0,0]");
    EXPECT_EQ(compact(httpapi::roiAlgorithm(roi(0, 0, 0, -3, 0x1234, 0x10000, -1, 1))),
              "[-3,52,0,255,18,0,255]");
}

TEST(ApiDocuments, LastDetectGroupsByCameraAndDetectionInTextOrder) {
    const QList<param_roi> results{roi(1, 0, 0, 5, 1, 2, 3, 1), roi(0, 0, 2, 9, 1, 2, 3, 1),
                                   roi(0, 0, 0, 4, 1, 2, 3, 1), roi(0, 0, 2, 8, 1, 2, 3, 0)};
    const QJsonObject doc = httpapi::lastDetect(results, 1, false, 2,
                                                QDateTime(QDate(2024, 1, 5), QTime(13, 45, 1, 7)));
    EXPECT_EQ(
        compact(doc),
        R"({"camera_count":2,"detect_index":1,"detect_time":"2024-01-05 13:45:01.007",)"
        R"("last_result":[{"camera_detect":0,"camera_index":0,"camera_result":false,"rois":[)"
        R"({"roi_algorithm":[4,1,2,3,0,0,0],"roi_func":5,"roi_index":0,"roi_result":true},)"
        R"({"roi_algorithm":[8,1,2,3,0,0,0],"roi_func":5,"roi_index":2,"roi_result":false}]},)"
        R"({"camera_detect":0,"camera_index":1,"camera_result":true,"rois":[)"
        R"({"roi_algorithm":[5,1,2,3,0,0,0],"roi_func":5,"roi_index":0,"roi_result":true}]}],)"
        R"("result":false})");
}

TEST(ApiDocuments, ProductInfosFollowStateAndCounters) {
    numCamera = 2;
    // Cycles everywhere; the step counters beside them hold other numbers.
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 0);
    std::fill(gAllNum, gAllNum + kMaxCameras, 90);
    gAllCycleNum[5] = 41;  // the largest of all eight, cameras in use or not
    gAllCycleNum[0] = 20, gAllCycleNum[1] = 21, gFailCycleNum[0] = 3, gFailCycleNum[1] = 0;
    gSyncNGNum = 7, gSyncNGCycleNum = 4, gFailNum[0] = 9;
    struct Row {
        httpapi::MachineState state;
        int run, detect;
    } rows[] = {{{1, 0, 0}, 1, 0}, {{3, 1, 2}, 0, 0}, {{1, 2, 0}, 1, 1}, {{3, 2, 3}, 0, 2}};
    for (const Row& row : rows) {
        const QJsonObject infos = httpapi::productInfos(row.state);
        EXPECT_EQ(infos.value("run_status").toInt(), row.run);
        EXPECT_EQ(infos.value("detect_status").toInt(), row.detect);
    }
    EXPECT_EQ(compact(httpapi::productInfos({})),
              R"({"camera_count":2,"detect_all":41,"detect_all_detail":[20,21],"detect_ng":4,)"
              R"("detect_ng_detail":[3,0],"detect_status":0,"run_status":0})");
}

TEST(SubscriberBook, SubscriptionsExpiryCapAndFile) {
    testsupport::WorkDir dir;
    const QString ini = dir.file("subscriber.ini");
    const qint64 t0 = 1700000000000;
    struct Row {
        const char* json;
        int taken;
    } rows[] = {
        {R"({"other":1})", -1},
        {R"({"subscriber":{"subscriber_ip":"10.0.0.9","subscriber_port":1}})", 0},
        {R"({"subscriber":[{"subscriber_ip":"10.0.0.9"},7]})", 0},
        {R"({"subscriber":[{"subscriber_ip":"10.0.0.5","subscriber_port":9000},)"
         R"({"subscriber_ip":"fe80::1","subscriber_port":9001}]})",
         2},
    };
    {
        SubscriberBook book(ini);
        for (const Row& row : rows) EXPECT_EQ(book.subscribe(request(row.json), t0), row.taken);
    }
    SubscriberBook book(ini);  // read back from the file
    EXPECT_EQ(book.entries().keys(), QStringList({"10.0.0.5:9000", "fe80::1:9001"}));
    EXPECT_EQ(book.subscribe(request(R"({"subscriber":[{"subscriber_ip":"10.0.0.6",)"
                                     R"("subscriber_port":9000}]})"),
                             t0 + 1),
              1);
    // An address with colons is kept but never pushed to; the hour is counted to the ms.
    const auto live = book.liveTargets(t0 + httpapi::kSubscriptionLifetimeMs);
    ASSERT_EQ(live.size(), 2);
    EXPECT_EQ(live[0].address + ":" + QString::number(live[0].port), "10.0.0.5:9000");
    EXPECT_EQ(book.liveTargets(t0 + httpapi::kSubscriptionLifetimeMs + 1).size(), 1);
    EXPECT_EQ(SubscriberBook(ini).entries().keys(), QStringList({"10.0.0.6:9000"}));

    // At the cap the subscription renewed the longest ago makes room.
    for (int i = 0; i < httpapi::kMaxSubscribers; ++i) {
        const QJsonObject one{
            {"subscriber",
             QJsonArray{QJsonObject{{"subscriber_ip", "10.1.0.1"}, {"subscriber_port", 100 + i}}}}};
        EXPECT_EQ(book.subscribe(one, t0 + 10 + i), 1);
    }
    EXPECT_EQ(book.entries().size(), httpapi::kMaxSubscribers);
    EXPECT_FALSE(book.entries().contains("10.0.0.6:9000"));
    EXPECT_TRUE(book.entries().contains("10.1.0.1:100"));
}

// The file follows the book when the last subscription expires too, in a book that only read
// the file (nothing was subscribed since the start).
TEST(SubscriberBook, WhenEverySubscriptionExpiresTheFileIsEmptied) {
    testsupport::WorkDir dir;
    const QString ini = dir.file("subscriber.ini");
    const qint64 t0 = 1700000000000;
    SubscriberBook(ini).subscribe(subscription("10.0.0.5", 9000), t0);
    SubscriberBook(ini).subscribe(subscription("10.0.0.6", 9000), t0 + 5);
    SubscriberBook restarted(ini);
    ASSERT_EQ(restarted.entries().size(), 2);
    EXPECT_TRUE(restarted.liveTargets(t0 + 1 + httpapi::kSubscriptionLifetimeMs + 5).isEmpty());
    EXPECT_TRUE(SubscriberBook(ini).entries().isEmpty());
    EXPECT_TRUE(QSettings(ini, QSettings::IniFormat).value("subscriber_groups").toMap().isEmpty());
}

// A subscription made while the disk is full is kept in the book, said in the log, and
// written once there is room again; the file keeps what it held until then.
TEST(SubscriberBook, ASubscriptionOnAFullDiskIsWrittenWhenThereIsRoom) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::TmpfsMount disk("disk", 256 * 1024);
    ASSERT_TRUE(disk.isMounted());
    const QString ini = disk.path() + "/cnt_net/workspace/subscriber.ini";
    const qint64 t0 = 1700000000000;
    SubscriberBook book(ini);
    EXPECT_EQ(book.subscribe(subscription("10.0.0.5", 9000), t0), 1);
    EXPECT_FALSE(book.pending());

    disk.fill(0);
    testsupport::MessageCatcher warnings;
    EXPECT_EQ(book.subscribe(subscription("10.0.0.6", 9000), t0 + 1), 1);
    EXPECT_EQ(book.liveTargets(t0 + 2).size(), 2) << "pushed to while it waits";
    EXPECT_TRUE(book.pending());
    EXPECT_EQ(warnings.count("subscriber file"), 1) << "said once, not on every push";
    EXPECT_EQ(SubscriberBook(ini).entries().keys(), QStringList({"10.0.0.5:9000"}));

    disk.unfill();
    EXPECT_EQ(book.liveTargets(t0 + 3).size(), 2);
    EXPECT_FALSE(book.pending());
    EXPECT_EQ(SubscriberBook(ini).entries().keys(),
              QStringList({"10.0.0.5:9000", "10.0.0.6:9000"}));
}
