// The day document and the shift configuration file.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "globals.h"
#include "statisticsjson.h"
#include "statisticsrecords.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

CountGroupList sampleDay(const QString& name) {
    CountGroupList day = stats::newDay("2024-05-01", name, 2, 2);
    day.groups[0].cameras[1].detects[0].OK[3] = 7;
    day.groups[0].cameras[1].summary.NG[23] = 2;
    day.groups[0].summary.summary.OK[0] = 5;
    day.groups[0].morningStart = 6;
    return day;
}

void writeConfig(const QByteArray& text) {
    QFile file("resstatistics.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QJsonObject readConfig() {
    QFile file("resstatistics.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

TEST(DayDocument, RecordsAreNumberedByPositionWithSummariesLast) {
    gDNum = 2;
    const QJsonObject json = stats::dayToJson(sampleDay("default"), 5);
    EXPECT_EQ(json["date"].toString(), "2024-05-01");
    const QJsonObject group = json["groups"].toArray().at(0).toObject();
    EXPECT_EQ(group["cameraCount"].toInt(), 2);
    EXPECT_EQ(group["detectCount"].toInt(), 5);
    EXPECT_EQ(group["morningStart"].toInt(), 6);
    const QJsonArray datas = group["datas"].toArray();
    ASSERT_EQ(datas.size(), 3);
    EXPECT_EQ(datas[0].toObject()["cameraID"].toInt(), 0);
    EXPECT_EQ(datas[1].toObject()["cameraID"].toInt(), 1);
    EXPECT_EQ(datas[2].toObject()["cameraID"].toInt(), -1);
    const QJsonArray data = datas[1].toObject()["data"].toArray();
    ASSERT_EQ(data.size(), 3);
    EXPECT_EQ(data[2].toObject()["detectID"].toInt(), -1);
    EXPECT_EQ(data[0].toObject()["OK"].toArray().at(3).toInt(), 7);
    EXPECT_EQ(data[0].toObject()["OK"].toArray().size(), 24);
}

TEST(DayDocument, RoundTripKeepsEveryCountAndAChineseName) {
    const QString name = QString::fromUtf8("产品A组");
    const CountGroupList day = sampleDay(name);
    const QByteArray text = stats::documentText(stats::dayToJson(day, 2));
    EXPECT_TRUE(text.contains(name.toUtf8()));

    CountGroupList back;
    stats::dayFromJson(back, stats::documentFromText(QString::fromUtf8(text)));
    ASSERT_EQ(back.groups.size(), 1);
    const CountGroup& g = back.groups[0];
    EXPECT_EQ(g.groupName, name);
    EXPECT_EQ(g.morningStart, 6);
    EXPECT_EQ(g.nightStart, 20);
    ASSERT_EQ(g.cameras.size(), 2);
    EXPECT_EQ(g.cameras[1].cameraID, 1);
    EXPECT_EQ(g.cameras[1].detects[1].detectID, 1);
    EXPECT_EQ(g.cameras[1].detects[0].OK, day.groups[0].cameras[1].detects[0].OK);
    EXPECT_EQ(g.cameras[1].summary.NG, day.groups[0].cameras[1].summary.NG);
    EXPECT_EQ(g.summary.summary.OK, day.groups[0].summary.summary.OK);
    EXPECT_EQ(g.summary.cameraID, -1);
}

TEST(DayDocument, SummaryFirstAndOddElementsReadSafely) {
    const QJsonObject summaryFirst{
        {"cameraID", 3},
        {"data", QJsonArray{QJsonObject{{"detectID", -1}, {"OK", QJsonArray{1, 2}}},
                            QJsonObject{{"detectID", 0}, {"OK", QJsonArray{4, "x"}}}}}};
    CountCamera read;
    stats::cameraFromJson(read, summaryFirst);
    EXPECT_EQ(read.cameraID, 3);
    EXPECT_EQ(read.summary.OK, QList<int>({1, 2}));
    ASSERT_EQ(read.detects.size(), 1);
    EXPECT_EQ(read.detects[0].OK, QList<int>({4, 0}));

    CountGroupList day;
    stats::dayFromJson(day, QJsonObject{{"groups", QJsonArray{5}}});
    ASSERT_EQ(day.groups.size(), 1);
    EXPECT_EQ(day.groups[0].groupName, "");
    EXPECT_EQ(day.groups[0].morningStart, 8);
    EXPECT_TRUE(day.date.isEmpty());
}

class DayFilesTest : public StatsTest {};

TEST_F(DayFilesTest, ShortArraysAndMissingSummariesAreCompletedOnLoad) {
    // A document written elsewhere: three slots per record and no summary records.
    {
        ResStatisticsParam& m = makeModel();
        Q_UNUSED(m)
    }
    dropModel();
    const QJsonObject shortDay{
        {"date", "2024-05-01"},
        {"groups", QJsonArray{QJsonObject{
                       {"groupName", "default"},
                       {"datas", QJsonArray{QJsonObject{
                                     {"cameraID", 0},
                                     {"data", QJsonArray{QJsonObject{{"detectID", 0},
                                                                     {"OK", QJsonArray{1, 1, 1}},
                                                                     {"NG", QJsonArray{}}}}}}}}}}}};
    overwriteStoredText("ResStatistics.db", QString::fromUtf8(stats::documentText(shortDay)));

    setNow(at(2024, 5, 1, 20, 30));  // slot 12
    ResStatisticsParam& m = makeModel(3);
    m.addRecord(0, 20, {true}, "default");
    m.addRecord(2, 20, {false}, "default");  // the last stage: a whole cycle
    const CountGroup& g = m.currentDay().groups[0];
    EXPECT_EQ(g.cameras[0].detects[0].OK.size(), 24);
    EXPECT_EQ(g.cameras[0].detects[0].OK.mid(0, 3), QList<int>({1, 1, 1}));
    EXPECT_EQ(g.cameras[0].detects[0].OK[12], 1);
    EXPECT_EQ(g.cameras[0].summary.NG[12], 1);
    EXPECT_EQ(g.summary.summary.NG[12], 1);
    EXPECT_EQ(g.summary.detects[2].NG.size(), 24);
}

TEST_F(DayFilesTest, AMissingConfigurationStartsTodayAtEightAndIsWritten) {
    ResStatisticsParam& m = makeModel();
    EXPECT_EQ(m.dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    EXPECT_EQ(m.getCurDBDate(), "2024-05-01");
    const QJsonObject config = readConfig();
    EXPECT_EQ(config["time"].toString(), QString::number(m.dayStart()));
    EXPECT_EQ(config["morningsEnd"].toInt(), 20);
    EXPECT_EQ(config["nightEnd"].toInt(), 8);
}

TEST_F(DayFilesTest, TheConfigurationIsReadByKey) {
    const qint64 start = at(2024, 4, 30, 6, 0).toSecsSinceEpoch();
    writeConfig(QJsonDocument(QJsonObject{{"time", QString::number(start)},
                                          {"morningsStart", 6},
                                          {"morningsEnd", 18},
                                          {"nightStart", 18},
                                          {"nightEnd", 6}})
                    .toJson());
    ResStatisticsParam& m = makeModel();
    EXPECT_EQ(m.dayStart(), start);
    EXPECT_EQ(m.morningsStart, 6);
    EXPECT_EQ(m.nightEnd, 6);

    // Only "time": the four hours read as 0.
    m.laodConfigFromJson(QJsonObject{{"time", QString::number(start + 60)}});
    EXPECT_EQ(m.dayStart(), start + 60);
    EXPECT_EQ(m.morningsStart + m.morningsEnd + m.nightStart + m.nightEnd, 0);

    // checkParam: equal hours answer false and still carry the day start.
    QJsonObject same{{"morningsStart", 0}, {"morningsEnd", 0}, {"nightStart", 0}, {"nightEnd", 0}};
    EXPECT_FALSE(m.checkParam(same));
    EXPECT_EQ(same["time"].toString(), QString::number(start + 60));
    QJsonObject changed = same;
    changed["nightEnd"] = 7;
    EXPECT_TRUE(m.checkParam(changed));
}

TEST_F(DayFilesTest, AMissingZeroOrNumericDayStartBeginsANewDay) {
    const QList<QByteArray> configs{
        R"({"morningsStart": 7, "morningsEnd": 19, "nightStart": 19, "nightEnd": 7})",
        R"({"time": "0", "morningsStart": 7, "morningsEnd": 19, "nightStart": 19, "nightEnd": 7})",
        R"({"time": 1714550400, "morningsStart": 7, "morningsEnd": 19, "nightStart": 19, "nightEnd": 7})",
        R"({"time": "-5", "morningsStart": 7, "morningsEnd": 19, "nightStart": 19, "nightEnd": 7})",
    };
    for (const QByteArray& config : configs) {
        SCOPED_TRACE(config.toStdString());
        freshWorkDir();
        writeConfig(config);
        ResStatisticsParam& m = makeModel();
        EXPECT_EQ(m.dayStart(), at(2024, 5, 1, 7, 0).toSecsSinceEpoch());
        EXPECT_EQ(readConfig()["time"].toString(), QString::number(m.dayStart()));
        // Nothing rolls over or is archived under 1970.
        EXPECT_TRUE(checkDateAndWait());
        EXPECT_TRUE(archiveNames().isEmpty());
    }
}

TEST_F(DayFilesTest, AnUnparsableConfigurationIsReplaced) {
    writeConfig("{ not json");
    ResStatisticsParam& m = makeModel();
    EXPECT_EQ(m.dayStart(), at(2024, 5, 1, 8, 0).toSecsSinceEpoch());
    EXPECT_EQ(readConfig()["morningsStart"].toInt(), 8);
}

TEST_F(DayFilesTest, OutOfRangeShiftHoursAreNotTrusted) {
    writeConfig(R"({"time": "1714550400", "morningsStart": 30, "morningsEnd": -2})");
    ResStatisticsParam& m = makeModel();
    EXPECT_EQ(m.morningsStart, 0);
    EXPECT_EQ(m.morningsEnd, 0);
    m.createNewTime();
    EXPECT_EQ(m.dayStart(), at(2024, 5, 1, 0, 0).toSecsSinceEpoch());
}

TEST_F(DayFilesTest, TheDayStartFileIsReadOrMade) {
    ResStatisticsParam& m = makeModel();
    m.readTime();
    QFile file("restime.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray::number(at(2024, 5, 1, 8, 0).toSecsSinceEpoch()));
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("1700000000");
    file.close();
    m.readTime();
    EXPECT_EQ(m.dayStart(), 1700000000);
}

}  // namespace
