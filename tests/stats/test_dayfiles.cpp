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

void writeConfig(const QByteArray& text) {
    QFile file("resstatistics.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(DayDocument, RoundTripKeepsEveryCountAndAChineseNameAndOddDocumentsReadSafely) {
    const QString name = QString::fromUtf8("产品A组");
    CountGroupList day = stats::newDay("2024-05-01", name, 2, 2);
    day.groups[0].cameras[1].detects[0].OK[3] = 7;
    day.groups[0].cameras[1].summary.NG[23] = 2;
    day.groups[0].summary.summary.OK[0] = 5;
    day.groups[0].morningStart = 6;
    day.groups[0].nightStart = 19;
    const QJsonObject json = stats::dayToJson(day, 5);
    const QByteArray text = stats::documentText(json);
    EXPECT_TRUE(text.contains(name.toUtf8()));

    // Records are numbered by position, summaries last with -1.
    const QJsonObject group = json["groups"][0].toObject();
    EXPECT_EQ(group["cameraCount"].toInt(), 2);
    EXPECT_EQ(group["detectCount"].toInt(), 5);
    const QJsonArray datas = group["datas"].toArray();
    ASSERT_EQ(datas.size(), 3);
    for (int i : {0, 1, -1}) EXPECT_EQ(datas[i < 0 ? 2 : i]["cameraID"].toInt(), i);
    const QJsonArray data = datas[1]["data"].toArray();
    ASSERT_EQ(data.size(), 3);
    EXPECT_EQ(data[2]["detectID"].toInt(), -1);
    EXPECT_EQ(data[0]["OK"][3].toInt(), 7);
    EXPECT_EQ(data[0]["OK"].toArray().size(), 24);

    CountGroupList back;
    stats::dayFromJson(back, stats::documentFromText(QString::fromUtf8(text)));
    EXPECT_EQ(back.date, "2024-05-01");
    ASSERT_EQ(back.groups.size(), 1);
    const CountGroup& g = back.groups[0];
    EXPECT_EQ(g.groupName, name);
    EXPECT_EQ(g.morningStart, 6);
    EXPECT_EQ(g.nightStart, 19);
    ASSERT_EQ(g.cameras.size(), 2);
    EXPECT_EQ(g.cameras[1].cameraID, 1);
    EXPECT_EQ(g.cameras[1].detects[1].detectID, 1);
    EXPECT_EQ(g.cameras[1].detects[0].OK, day.groups[0].cameras[1].detects[0].OK);
    EXPECT_EQ(g.cameras[1].summary.NG, day.groups[0].cameras[1].summary.NG);
    EXPECT_EQ(g.summary.summary.OK, day.groups[0].summary.summary.OK);
    EXPECT_EQ(g.summary.cameraID, -1);

    // Documents written elsewhere: a summary first, elements of the wrong type.
    const QJsonObject summary{{"detectID", -1}, {"OK", QJsonArray{1, 2}}};
    const QJsonObject stage{{"detectID", 0}, {"OK", QJsonArray{4, "x"}}};
    CountCamera read;
    stats::cameraFromJson(read, QJsonObject{{"cameraID", 3}, {"data", QJsonArray{summary, stage}}});
    EXPECT_EQ(read.cameraID, 3);
    EXPECT_EQ(read.summary.OK, QList<int>({1, 2}));
    ASSERT_EQ(read.detects.size(), 1);
    EXPECT_EQ(read.detects[0].OK, QList<int>({4, 0}));

    stats::dayFromJson(back, QJsonObject{{"groups", QJsonArray{5}}});
    ASSERT_EQ(back.groups.size(), 1);
    EXPECT_EQ(back.groups[0].groupName, "");
    EXPECT_EQ(back.groups[0].morningStart, 8);
    EXPECT_TRUE(back.date.isEmpty());
}

class DayFilesTest : public StatsTest {};

TEST_F(DayFilesTest, ShortArraysAndMissingSummariesAreCompletedOnLoad) {
    // A document written elsewhere: three slots per record and no summary records.
    const QJsonObject record{{"detectID", 0}, {"OK", QJsonArray{1, 1, 1}}, {"NG", QJsonArray{}}};
    const QJsonObject camera{{"cameraID", 0}, {"data", QJsonArray{record}}};
    const QJsonObject group{{"groupName", "default"}, {"datas", QJsonArray{camera}}};
    const QJsonObject shortDay{{"date", "2024-05-01"}, {"groups", QJsonArray{group}}};
    execSql("ResStatistics.db",
            {"CREATE TABLE resstatistics (name TEXT NOT NULL UNIQUE, value1 TEXT, value2 TEXT)"});
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

TEST_F(DayFilesTest, AMissingZeroUnreadableOrNumericDayStartBeginsANewDay) {
    const QByteArray hours =
        R"("morningsStart": 7, "morningsEnd": 19, "nightStart": 19, "nightEnd": 7})";
    const struct {
        QByteArray config;  // empty: no file
        int startHour, morningsEnd;
    } rows[] = {{"", 8, 20},
                {"{ not json", 8, 20},
                {"{" + hours, 7, 19},
                {R"({"time": "0", )" + hours, 7, 19},
                {R"({"time": 1714550400, )" + hours, 7, 19},
                {R"({"time": "-5", )" + hours, 7, 19}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.config.toStdString());
        freshWorkDir();
        if (!row.config.isEmpty()) writeConfig(row.config);
        ResStatisticsParam& m = makeModel();
        EXPECT_EQ(m.dayStart(), at(2024, 5, 1, row.startHour, 0).toSecsSinceEpoch());
        EXPECT_EQ(m.getCurDBDate(), "2024-05-01");
        EXPECT_EQ(readConfig()["time"].toString(), QString::number(m.dayStart()));
        EXPECT_EQ(readConfig()["morningsEnd"].toInt(), row.morningsEnd);
        // Nothing rolls over or is archived under 1970.
        EXPECT_TRUE(checkDateAndWait());
        EXPECT_TRUE(archiveNames().isEmpty());
    }
}

TEST_F(DayFilesTest, TheConfigurationIsReadByKeyAndShiftHoursOutOfRangeAreNotTrusted) {
    writeConfig(R"({"time": "1714449600", "morningsStart": 6, "nightEnd": 5, "morningsEnd": 30})");
    ResStatisticsParam& m = makeModel();
    EXPECT_EQ(m.dayStart(), 1714449600);
    EXPECT_EQ(QList<int>({m.morningsStart, m.morningsEnd, m.nightStart, m.nightEnd}),
              QList<int>({6, 0, 0, 5}));
    m.laodConfigFromJson(QJsonObject{{"morningsStart", -2}});
    m.createNewTime();
    EXPECT_EQ(m.dayStart(), at(2024, 5, 1, 0, 0).toSecsSinceEpoch());

    // The day-start file of older installations is read, or made from the day start.
    m.readTime();
    QFile file("restime.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_EQ(file.readAll(), QByteArray::number(m.dayStart()));
    ASSERT_TRUE(file.resize(0) && file.seek(0));
    file.write("1700000000");
    file.close();
    m.readTime();
    EXPECT_EQ(m.dayStart(), 1700000000);
}

}  // namespace
