// The camera order rule and the serial-number block of a camera record.
#include <gtest/gtest.h>

#include <cstring>

#include "cameraorder.h"
#include "scriptedcamera.h"

using camera::orderBySerials;
using camera::serialsOf;

namespace {

const QString A = QStringLiteral("SERIAL-AAAA");
const QString B = QStringLiteral("SERIAL-BBBB");
const QString C = QStringLiteral("SERIAL-CCCC");

QList<_cameraInfo> cameras(const QStringList& serials) {
    QList<_cameraInfo> list;
    for (int i = 0; i < serials.size(); ++i)
        list.append(testcamera::makeCameraInfo(QStringLiteral("P"), serials.at(i), i));
    return list;
}

}  // namespace

TEST(CameraOrder, StoredSerialsFirstThenTheRestInDiscoveryOrder) {
    const struct {
        QStringList found;
        QVector<QString> stored;
        QVector<QString> ordered;
    } rows[] = {
        {{A, C, B}, {B, A}, {B, A, C}},
        {{C, A, B}, {}, {C, A, B}},
        {{A, B}, {QStringLiteral("SERIAL-GONE"), B, A}, {B, A}},  // no hole for a lost one
        {{A, B}, {B.toLower(), B + " "}, {A, B}},                 // exact, case-sensitive
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.found.join(',').toStdString());
        EXPECT_EQ(serialsOf(orderBySerials(cameras(row.found), row.stored)), row.ordered);
    }
}

TEST(CameraOrder, CamerasSharingASerialMoveTogetherLaterFoundFirst) {
    const QList<_cameraInfo> ordered = orderBySerials(cameras({A, B, A}), {A});
    ASSERT_EQ(ordered.size(), 3);
    EXPECT_EQ(ordered[0].index, 2);
    EXPECT_EQ(ordered[1].index, 0);
    EXPECT_EQ(ordered[2].serialText(), B);
}

TEST(CameraRecord, SerialIsReadWithinTheBlockAndTheRestBelongsToThePlugin) {
    _cameraInfo info;
    std::memset(info.serialNumber, 'X', sizeof info.serialNumber);  // no terminator at all
    EXPECT_EQ(info.serialText(), QString(_cameraInfo::kSerialBlockBytes, QLatin1Char('X')));
    // Such a camera still takes part in the ordering, after the stored ones.
    QList<_cameraInfo> found = cameras({A});
    found.prepend(info);
    EXPECT_EQ(serialsOf(orderBySerials(found, {A})).first(), A);

    info.setSerialText(QStringLiteral("CAM-1234"));
    info.serialNumber[100] = 'Q';
    EXPECT_EQ(info.serialText(), QStringLiteral("CAM-1234"));
    EXPECT_EQ(info.serialNumber[99], '\0');  // the rest of the block was cleared
}

TEST(CameraRecord, OverlongSerialIsCutAtACharacterBoundary) {
    _cameraInfo info;
    // 2-byte characters: 287 bytes would split the last one.
    info.setSerialText(QString(200, QChar(0x00E9)));
    EXPECT_EQ(info.serialLength(), 286);
    EXPECT_EQ(info.serialText(), QString(143, QChar(0x00E9)));
    EXPECT_EQ(info.serialNumber[_cameraInfo::kSerialBlockBytes - 1], '\0');
}
