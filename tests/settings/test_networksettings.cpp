// The network settings: the saved file keeps what other programs wrote, the link starts again
// with the new switches, and the status line names every state of the link.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "edit.h"
#include "globals.h"
#include "languagetable.h"
#include "linkrig.h"
#include "networkconfig.h"
#include "networksettingdialog.h"
#include "testsupport.h"

namespace {

QJsonObject readJson(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

void writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// What start-up and the companion wrote besides the settings.
const QJsonObject kOthers{{"videoapp_dir", "/opt/companion/video"},
                          {"workspace", "/opt/panel/cnt_net/workspace"},
                          {"camcount", 2},
                          {"version", "1.2.3"}};

class NetworkSettings : public ::testing::Test {
protected:
    void SetUp() override {
        fillLanguageTable();
        gLan = 1;
        ASSERT_TRUE(rig.ok());
        QJsonObject config = kOthers;
        config.insert("device_worknetfunc", true);
        config.insert("device_workvideo", false);
        config.insert("devicename", "press 4");
        writeText(rig.configPath(), QJsonDocument(config).toJson());
    }
    void TearDown() override { gLan = 0; }

    linktest::LinkRig rig;
};

}  // namespace

TEST_F(NetworkSettings, SaveWritesTheEditedKeysKeepsTheOthersAndStartsTheLinkAgain) {
    NetworkSettingDialog dialog(rig.link.get(), nullptr);
    EXPECT_TRUE(dialog.netFuncBox()->isChecked());
    EXPECT_EQ(dialog.deviceNameField()->text(), QString("press 4"));
    bool saved = false;
    QObject::connect(&dialog, &NetworkSettingDialog::saved, [&] { saved = true; });
    dialog.videoBox()->setChecked(true);
    dialog.deviceNameField()->setText("press 5");
    dialog.serverAddrField()->setText("10.1.2.3");
    dialog.serverPortField()->setText("8088");
    const int acceptedBefore = rig.companion.accepted();
    testsupport::recorder().clear();
    dialog.accept();

    EXPECT_TRUE(saved);
    QJsonObject expected = kOthers;
    expected.insert("device_worknetfunc", true);
    expected.insert("device_workvideo", true);
    expected.insert("devicename", "press 5");
    expected.insert("serveraddr", "10.1.2.3");
    expected.insert("serverport", "8088");
    EXPECT_EQ(readJson(rig.configPath()), expected);
    EXPECT_TRUE(rig.link->workVideo());
    // The companion is started again and the link connects to it anew.
    EXPECT_TRUE(testsupport::recorder().programs().contains("killall"));
    EXPECT_TRUE(testsupport::waitFor([&] { return rig.companion.accepted() > acceptedBefore; }));
    EXPECT_TRUE(testsupport::waitFor([&] { return rig.link->getSoftCnted(); }));
    rig.link->destoryVideoShare();
}

TEST_F(NetworkSettings, RefusedSavesChangeNeitherTheFileNorTheLink) {
    const struct {
        const char* port;
        const char* file;  // null: the file written by SetUp
    } cases[] = {{"70000", nullptr}, {"80a", nullptr}, {"0", nullptr}, {"8088", "{not json"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        if (c.file) writeText(rig.configPath(), c.file);
        QFile before(rig.configPath());
        before.open(QIODevice::ReadOnly);
        const QByteArray content = before.readAll();
        NetworkSettingDialog dialog(rig.link.get(), nullptr);
        dialog.serverPortField()->setText(c.port);
        testsupport::recorder().clear();
        dialog.accept();
        EXPECT_FALSE(dialog.messageText().isEmpty());
        QFile after(rig.configPath());
        after.open(QIODevice::ReadOnly);
        EXPECT_EQ(after.readAll(), content);
        EXPECT_FALSE(testsupport::recorder().programs().contains("killall"));
    }
}

TEST_F(NetworkSettings, StatusLineNamesEveryStateOfTheLink) {
    NetworkSettingDialog dialog(rig.link.get(), nullptr);
    const struct {
        QJsonObject flags;
        int state;
        int entry;
    } cases[] = {
        {QJsonObject{{"cntserver", true}, {"register", true}}, 1, 607},
        {QJsonObject{{"cntserver", true}}, -4, 606},
        {QJsonObject{{"register", true}}, -3, 604},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        ASSERT_TRUE(rig.setFlags(c.flags));
        ASSERT_EQ(rig.link->isAllowSnd(), c.state);
        dialog.TimerStatus();
        EXPECT_EQ(dialog.statusText(), lan(c.entry));
    }
    // The companion gone: not heard from.
    rig.companion.stop();
    ASSERT_TRUE(testsupport::waitFor([&] { return rig.link->isAllowSnd() == -2; }));
    dialog.TimerStatus();
    EXPECT_EQ(dialog.statusText(), lan(603));
    // The network function off.
    rig.link->setWorkTask(false, false);
    rig.link->InitStart();
    ASSERT_EQ(rig.link->isAllowSnd(), -1);
    dialog.TimerStatus();
    EXPECT_EQ(dialog.statusText(), lan(605));
    // The timer shows it by itself.
    EXPECT_TRUE(dialog.statusTimer()->isActive());
    EXPECT_EQ(settings::linkStateEntry(0), -1);
}

// A first save writes every key the companion reads; its folders get their usual values.
TEST(NetworkConfigFile, FirstSaveWritesAllSevenKeys) {
    testsupport::WorkDir work;
    const QString path = work.file("config.json");
    settings::NetworkSettings s;
    s.deviceName = "press 1";
    ASSERT_TRUE(settings::writeNetworkSettings(s, path));
    const QJsonObject o = readJson(path);
    EXPECT_EQ(o.keys(), QStringList({"device_worknetfunc", "device_workvideo", "devicename",
                                     "serveraddr", "serverport", "videoapp_dir", "workspace"}));
    EXPECT_EQ(o.value("workspace").toString(), QString("./cnt_net/workspace/"));
    EXPECT_EQ(o.value("videoapp_dir").toString(), QString("./cnt_net/rurez_ozuvodi/"));
}
