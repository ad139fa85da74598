// The camera order rule and the serial-number block of a camera record.
#include <gtest/gtest.h>

#include <cstring>

#include "cameraorder.h"
#include "scriptedcamera.h"

using camera::isValidOrder;
using camera::orderBySerials;
using camera::serialsOf;
using testcamera::makeCameraInfo;

namespace {

const QString A = QStringLiteral("SERIAL-AAAA");
const QString B = QStringLiteral("SERIAL-BBBB");
const QString C = QStringLiteral("SERIAL-CCCC");

QList<_cameraInfo> cameras(const QStringList& serials) {
    QList<_cameraInfo> list;
    for (int i = 0; i < serials.size(); ++i)
        list.append(makeCameraInfo(QStringLiteral("P"), serials.at(i), i));
    return list;
}

QStringList serialTexts(const QList<_cameraInfo>& list) {
    QStringList texts;
    for (const _cameraInfo& info : list) texts << info.serialText();
    return texts;
}

}  // namespace

TEST(CameraOrder, StoredSerialsComeFirstTheRestInDiscoveryOrder) {
    EXPECT_EQ(serialTexts(orderBySerials(cameras({A, C, B}), {B, A})), QStringList({B, A, C}));
    // Nothing stored: discovery order.
    EXPECT_EQ(serialTexts(orderBySerials(cameras({C, A, B}), {})), QStringList({C, A, B}));
}

TEST(CameraOrder, UnmatchedStoredSerialLeavesNoHole) {
    const QString gone = QStringLiteral("SERIAL-GONE");
    EXPECT_EQ(serialTexts(orderBySerials(cameras({A, B}), {gone, B, A})), QStringList({B, A}));
}

TEST(CameraOrder, CamerasSharingASerialMoveTogetherLaterFoundFirst) {
    QList<_cameraInfo> found = cameras({A, B, A});
    found[0].index = 10;
    found[2].index = 12;
    const QList<_cameraInfo> ordered = orderBySerials(found, {A});
    ASSERT_EQ(ordered.size(), 3);
    EXPECT_EQ(ordered[0].index, 12);
    EXPECT_EQ(ordered[1].index, 10);
    EXPECT_EQ(ordered[2].serialText(), B);
}

TEST(CameraOrder, MatchIsExactAndCaseSensitive) {
    EXPECT_EQ(serialTexts(orderBySerials(cameras({A, B}), {B.toLower(), B + " "})),
              QStringList({A, B}));
}

TEST(CameraOrder, ValidOrderNamesEachCameraAtMostOnce) {
    EXPECT_TRUE(isValidOrder({2, 0, 1}, 3));
    EXPECT_TRUE(isValidOrder({1}, 3));
    EXPECT_TRUE(isValidOrder({}, 0));
    EXPECT_FALSE(isValidOrder({0, 3}, 3));
    EXPECT_FALSE(isValidOrder({-1}, 3));
    EXPECT_FALSE(isValidOrder({1, 1}, 3));
    EXPECT_FALSE(isValidOrder({0}, 0));
}

TEST(CameraRecord, SerialIsReadWithinTheBlock) {
    _cameraInfo info;
    std::memset(info.serialNumber, 'X', sizeof info.serialNumber);  // no terminator at all
    EXPECT_EQ(info.serialLength(), _cameraInfo::kSerialBlockBytes);
    EXPECT_EQ(info.serialText(), QString(_cameraInfo::kSerialBlockBytes, QLatin1Char('X')));
    // Such a camera still takes part in the ordering, after the stored ones.
    QList<_cameraInfo> found = cameras({A});
    found.prepend(info);
    EXPECT_EQ(serialsOf(orderBySerials(found, {A})).first(), A);
}

TEST(CameraRecord, BytesAfterTheSerialBelongToThePlugin) {
    _cameraInfo info;
    info.setSerialText(QStringLiteral("CAM-1234"));
    info.serialNumber[100] = 'Q';
    EXPECT_EQ(info.serialText(), QStringLiteral("CAM-1234"));
    const _cameraInfo copy = info;
    EXPECT_EQ(std::memcmp(copy.serialNumber, info.serialNumber, sizeof info.serialNumber), 0);
}

TEST(CameraRecord, OverlongSerialIsCutAtACharacterBoundary) {
    _cameraInfo info;
    // 2-byte characters: 287 bytes would split the last one.
    info.setSerialText(QString(200, QChar(0x00E9)));
    EXPECT_EQ(info.serialLength(), 286);
    EXPECT_EQ(info.serialText(), QString(143, QChar(0x00E9)));
    EXPECT_EQ(info.serialNumber[_cameraInfo::kSerialBlockBytes - 1], '\0');
}
