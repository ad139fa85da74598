// The library's parts without the network between processes: the rate gate, the parameter and
// picture helpers, the handle table, and the transport against the stand-in camera on loopback.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "cameraparam.h"
#include "eventwait.h"
#include "fakesmartcamera.h"
#include "handlemanager.h"
#include "tcpmanager_client.h"
#include "zemcameradevice.h"

TEST(CameraSdkParts, RateGateLetsAPassThroughOnlyAfterMoreThanItsPeriod) {
    struct Row {
        int fps;
        qint64 last, now;
        bool passes;
    } rows[] = {{20, 1000, 1050, false}, {20, 1000, 1051, true}, {20, 1000, 990, false},
                {10, 0, 100, false},     {10, 0, 101, true},     {0, 0, 100000, false}};
    for (const Row& row : rows) {
        qint64 last = row.last;
        EXPECT_EQ(AllowPass_byfps(row.fps, last, row.now), row.passes) << row.fps << ' ' << row.now;
        EXPECT_EQ(last, row.passes ? row.now : row.last);
    }
}

TEST(CameraSdkParts, ParameterSetReadsFlatOrFullAndKeepsWhatItLacks) {
    CameraParam params;
    params.genDefaultConfig();
    const QVariantMap expose{{"value", 100}, {"max", 200}, {"min", 50}};
    struct Row {
        QStringList keys;
        bool full;
        QVariantMap expected;
    } rows[] = {{{"expose"}, false, {{"kept", 1}, {"expose", 100}}},
                {{"expose"}, true, {{"kept", 1}, {"expose", expose}}},
                {{"nosuch"}, false, {{"kept", 1}}},
                {{"nosuch", "expose"}, false, {{"kept", 1}, {"expose", 100}}}};
    for (const Row& row : rows) {
        QVariantMap out{{"kept", 1}};
        params.checkParams(row.keys, out, row.full);
        EXPECT_EQ(out, row.expected) << row.keys.join(',').toStdString();
    }
    EXPECT_TRUE(params.checkParamsType({{"a", 1}, {"b", 2.5}, {"c", "x"}}));
    for (const QVariant& odd : {QVariant(true), QVariant(7u), QVariant(QVariantMap{{"n", 1}})})
        EXPECT_FALSE(params.checkParamsType({{"a", 1}, {"odd", odd}})) << odd.typeName();
    params.setParams({{"expose", 120}, {"nosuch", 1}});
    EXPECT_EQ(params.config, QJsonObject({{"expose", 120}}));
}

TEST(CameraSdkParts, MediaTypeAndPictureWrapping) {
    struct MediaRow {
        QJsonObject head;
        int expected;
    } media[] = {{{{"mediaType", 3}}, 3}, {{{"mediaType", "3"}}, 0}, {{{"other", 5}}, 0}};
    for (const MediaRow& row : media) {
        CameraImage image;
        image.setMediaType(row.head);
        EXPECT_EQ(image.mediaType, row.expected);
    }
    struct PictureRow {
        int type;
        QImage::Format format;
    } pictures[] = {{CV_8UC1, QImage::Format_Grayscale8},
                    {CV_8UC3, QImage::Format_RGB888},
                    {CV_8UC4, QImage::Format_ARGB32},
                    {CV_16UC1, QImage::Format_Invalid},
                    {CV_32FC3, QImage::Format_Invalid}};
    for (const PictureRow& row : pictures) {
        const cv::Mat mat(4, 6, row.type, cv::Scalar::all(9));
        const QImage wrapped = Mat2QImage(mat);
        EXPECT_EQ(wrapped.format(), row.format) << row.type;
        EXPECT_EQ(wrapped.isNull(), row.format == QImage::Format_Invalid);
    }
    // Blue and red trade places: the picture is BGR, the image RGB.
    const cv::Mat bgr(1, 1, CV_8UC3, cv::Scalar(10, 20, 30));
    EXPECT_EQ(Mat2QImage(bgr).pixel(0, 0), qRgb(30, 20, 10));
}

TEST(CameraSdkParts, HandlesCountUpAndAreNotReused) {
    HandleManager table;
    int first = 0, second = 0, third = 0, unknown = 42;
    table.addHandle(nullptr, first);
    table.addHandle(nullptr, second);
    EXPECT_EQ(table.deleteHandle(first), 0);
    table.addHandle(nullptr, third);
    EXPECT_EQ(QVector<int>({first, second, third}), QVector<int>({-1, 2, 3}));
    EXPECT_EQ(table.deleteHandle(unknown), -1);
    EXPECT_EQ(unknown, 42);
    EXPECT_EQ(table.getCamera(nullptr, 2), 0);
    EXPECT_EQ(table.getCamera(nullptr, 1), -1);
}

class CameraTransport : public testing::Test {
protected:
    void SetUp() override {
        fakepeer::FakeSmartCamera::Options options;
        options.address = QHostAddress::LocalHost;
        options.paramPort = options.picturePort = 0;
        camera = std::make_unique<fakepeer::FakeSmartCamera>(options);
        ASSERT_TRUE(camera->start());
        ASSERT_TRUE(params.startReactor(QHostAddress::LocalHost, camera->paramPort()));
        ASSERT_TRUE(pictures.startReactor(QHostAddress::LocalHost, camera->picturePort()));
    }
    std::unique_ptr<fakepeer::FakeSmartCamera> camera;
    TcpManager_Client params, pictures;
};

TEST_F(CameraTransport, ParameterRoutesGiveTheWholeSetAndTheCameraReply) {
    TcpManager_Client neverStarted;
    QJsonObject untouched{{"x", 1}};
    EXPECT_TRUE(neverStarted.isConnect());
    EXPECT_EQ(neverStarted.act_getparams(untouched), 0);
    EXPECT_EQ(untouched, QJsonObject({{"x", 1}}));

    EXPECT_TRUE(params.isConnect());
    QVariantMap all;
    EXPECT_EQ(params.act_getparam("gain", all), 0);
    EXPECT_EQ(all.keys(), camera->params().keys());
    EXPECT_EQ(params.act_setparams({{"contrast", 7}, {"nosuch", 1}}),
              QVariantMap({{"contrast", 7}}));
    EXPECT_EQ(params.act_Command({{"play", 1}}), QVariantMap());
    EXPECT_EQ(camera->commands(), QStringList({"play=1"}));

    camera.reset();  // the camera goes away
    EXPECT_FALSE(params.isConnect());
    EXPECT_EQ(params.act_getparams(untouched), -12);
}

TEST_F(CameraTransport, PictureRoutesDeliverOnlyTheNewestAndReportTimeOuts) {
    QSignalSpy delivered(&pictures, &TcpManager_Client::sigRecvPic);
    pictures.act_getPicture_async();
    pictures.act_getPicture_async();
    ASSERT_TRUE(testsupport::waitFor([&] { return camera->picturesServed() == 2; }));
    ASSERT_TRUE(testsupport::waitFor([&] { return pictures.pendingUuid.isEmpty(); }));
    ASSERT_EQ(delivered.count(), 1);
    EXPECT_EQ(delivered.at(0).at(0).value<cv::Mat>().at<uchar>(0, 0), 2);

    cv::Mat image;
    QJsonObject head;
    ASSERT_EQ(pictures.act_getPicture(image, head, 1000), 0);
    EXPECT_EQ(head.value("seq").toInt(), 3);
    EXPECT_EQ(image.size(), cv::Size(64, 48));

    params.act_setparams({{"emptyPictures", 1}});
    cv::Mat kept = image;
    ASSERT_EQ(pictures.act_getPicture(kept, head, 1000), 0);
    EXPECT_EQ(kept.data, image.data);  // an answer without picture leaves the caller's
    pictures.act_getPicture_async();
    ASSERT_TRUE(testsupport::waitFor([&] { return pictures.pendingUuid.isEmpty(); }));
    EXPECT_EQ(delivered.count(), 1);

    params.act_setparams({{"replyDelayMs", 5000}});
    CTask_FormData reply;
    EXPECT_EQ(pictures.act_getPicture_sync(reply, 500), -1);
}
