#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "globals.h"
#include "testsupport.h"
#include "versionfile.h"

namespace {
void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
QJsonObject read(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}
}  // namespace

TEST(VersionFile, KeepsTheOtherKeys) {
    testsupport::WorkDir dir;
    QDir().mkpath("cnt_net");
    write("cnt_net/config.json",
          R"({"devicename":"线1","device_worknetfunc":true,"serverport":"10440","camcount":9})");
    numCamera = 3;
    ASSERT_TRUE(writeVersionToJson());
    const QJsonObject o = read("cnt_net/config.json");
    EXPECT_EQ(o.value("devicename").toString(), QString("线1"));
    EXPECT_TRUE(o.value("device_worknetfunc").toBool());
    EXPECT_EQ(o.value("serverport").toString(), "10440");
    EXPECT_EQ(o.value("version").toString(), "18.12.1.45");
    EXPECT_EQ(o.value("camcount").toInt(), 3);
    EXPECT_EQ(o.size(), 5);
}

TEST(VersionFile, ContentThatIsNoObjectIsReplaced) {
    testsupport::WorkDir dir;
    QDir().mkpath("cnt_net");
    for (const QByteArray& bad : {QByteArray("[1,2]"), QByteArray("{broken"), QByteArray()}) {
        write("cnt_net/config.json", bad);
        numCamera = 0;
        ASSERT_TRUE(writeVersionToJson());
        const QJsonObject o = read("cnt_net/config.json");
        EXPECT_EQ(o.keys(), (QStringList{"camcount", "version"})) << bad.constData();
        EXPECT_EQ(o.value("camcount").toInt(-1), 0);
    }
}

TEST(VersionFile, MissingFileIsCreatedOnlyWhenItsFolderExists) {
    testsupport::WorkDir dir;
    EXPECT_FALSE(writeVersionToJson());
    EXPECT_FALSE(QFile::exists("cnt_net/config.json"));
    QDir().mkpath("cnt_net");
    EXPECT_TRUE(writeVersionToJson());
    EXPECT_EQ(read("cnt_net/config.json").value("version").toString(), "18.12.1.45");
}
