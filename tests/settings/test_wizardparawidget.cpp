// The system settings screen: what a confirm and a cancel do to the live parameters, the
// parameter database, the cameras, the statistics and the panel; refused values and pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QSlider>
#include <QSqlDatabase>

#include "colorbutton.h"
#include "combobox.h"
#include "dialogseam.h"
#include "edit.h"
#include "globals.h"
#include "networkconfig.h"
#include "networksettingdialog.h"
#include "paramgroupspage.h"
#include "recordingsystemactions.h"
#include "settingsform.h"
#include "settingsitems.h"
#include "settingstestrig.h"
#include "slider.h"
#include "uifont.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"

using settingstest::Rig;
using Section = WizardParaWidget::Section;

namespace {

class SettingsScreen : public ::testing::Test {
protected:
    void SetUp() override {
        screen = new WizardParaWidget(&rig.owner, rig.host);
        rig.owner.show();
        *gpWParaBak = *gpWPara;
        screen->open();
        testsupport::recorder().clear();
    }
    // Types a number into a field of the page shown and ends the entry.
    void type(const QString& field, int element, const QString& text) {
        auto* edit = qobject_cast<Edit*>(screen->form()->editorOf(field, element));
        ASSERT_NE(edit, nullptr) << field.toStdString();
        edit->setText(text);
        emit edit->editingFinished();
    }
    void choose(const QString& field, int value) {
        auto* combo = qobject_cast<ComboBox*>(screen->form()->editorOf(field, 0));
        ASSERT_NE(combo, nullptr) << field.toStdString();
        const int index = combo->findData(value);
        ASSERT_GE(index, 0);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    int callIndex(const QString& call) const { return rig.host.calls.indexOf(call); }
    // Moves a value of the editing copy by `delta`, as its row on the screen would.
    bool bump(const QString& field, int delta) {
        for (const settings::SettingItem& item : settings::settingItems())
            if (item.field == field)
                return screen->session().change(item, screen->session().edit().value(item) + delta);
        return false;
    }
    void reopen() {
        *gpWParaBak = *gpWPara;
        screen->open();
    }

    Rig rig;
    WizardParaWidget* screen = nullptr;
};

}  // namespace

TEST_F(SettingsScreen, ConfirmedFieldsReachTheLiveParametersAndTheirRows) {
    const struct {
        const char* field;
        int element;
        const char* text;
        int WizardPara::*member;
        const char* row;
        int token;  // 0-based
    } cases[] = {
        {"reDetectNum", 0, "7", &WizardPara::reDetectNum, "system1", 6},
        {"picNumNG", 0, "20000", &WizardPara::picNumNG, "system2", 3},
        {"screenOffTime", 0, "0", &WizardPara::screenOffTime, "system2", 15},
        {"inputTimeout", 0, "120", &WizardPara::inputTimeout, "system2", 17},
    };
    for (const auto& c : cases) type(c.field, c.element, c.text);
    type("trigInDelay", 2, "35");
    screen->accept();

    EXPECT_FALSE(screen->isVisible());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(gpWPara->*c.member, QString(c.text).toInt());
        EXPECT_EQ(rig.row(c.row).split(' ').value(c.token), QString(c.text));
    }
    EXPECT_EQ(gpWPara->trigInDelay[2], 35);
    EXPECT_EQ(rig.row("trigInDelay").split(' ').value(2), QString("35"));
    // The cameras get the accepted speed, the statistics their switch, the log a record.
    EXPECT_GE(callIndex("speed"), 0);
    EXPECT_GE(callIndex("setTimer 0"), 0);
    ASSERT_EQ(rig.host.records.size(), 1);
    EXPECT_TRUE(rig.host.records[0].contains(QStringLiteral("from 0 to 7")))
        << rig.host.records[0].toStdString();
    EXPECT_GE(callIndex("mscale"), 0);
}

TEST_F(SettingsScreen, CancelStoresNothingAndGivesTheCamerasTheLiveValuesBack) {
    const QString before = rig.row("exposeTime");
    const int liveExposure = gpWPara->exposeTime[1];
    ASSERT_TRUE(screen->openSection(Section::Camera));
    screen->chooseCamera(1);
    auto* slider = qobject_cast<Slider*>(screen->form()->editorOf("exposeTime", 1));
    ASSERT_NE(slider, nullptr);
    slider->setValue(liveExposure + 20);
    // Shown at once by camera 1 while the screen is visible: the view reads the editing copy.
    EXPECT_EQ(gpWParaBak->exposeTime[1], liveExposure + 20);
    EXPECT_EQ(rig.host.calls.count("camera 1 0"), 1);
    type("speed", 0, "50");
    rig.host.calls.clear();

    screen->reject();
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(gpWPara->exposeTime[1], liveExposure);
    EXPECT_EQ(gpWPara->speed, gpWParaBak->speed);
    EXPECT_EQ(rig.row("exposeTime"), before);
    // Only the camera whose shown value differs is set again, now from the live values.
    EXPECT_EQ(rig.host.calls, QStringList({"camera 1 0", "mscale"}));
    EXPECT_TRUE(rig.host.records.isEmpty());

    // An NG alarm that hides the screen ends the visit the same way.
    screen->open();
    ASSERT_TRUE(screen->openSection(Section::Camera));
    qobject_cast<Slider*>(screen->form()->editorOf("exposeTime", 0))->setValue(1234);
    rig.host.calls.clear();
    screen->hide();
    EXPECT_EQ(rig.host.calls, QStringList({"camera 0 0"}));
    EXPECT_EQ(gpWParaBak->exposeTime[0], gpWPara->exposeTime[0]);
}

TEST_F(SettingsScreen, ValuesOutsideTheirRangeAreRefusedWithTheRangeShown) {
    const struct {
        const char* field;
        const char* text;
        const char* range;
    } cases[] = {
        {"picNumNG", "20001", "0 - 20000"},      {"tempNum", "0", "1 - 100"},
        {"screenOffTime", "29", "0, 30 - 9999"}, {"autoLogout", "-5", "0 - 10000"},
        {"reDetectNum", "seven", "0 - 10000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        const int before = screen->session().edit().value(
            settings::itemsOf(settings::Page::System).at(0));  // any item: nothing may change
        rig.host.warnings.clear();
        const QString shown = qobject_cast<Edit*>(screen->form()->editorOf(c.field, 0))->text();
        type(c.field, 0, c.text);
        ASSERT_EQ(rig.host.warnings.size(), 1);
        EXPECT_TRUE(rig.host.warnings[0].contains(c.range)) << rig.host.warnings[0].toStdString();
        // The field shows the value kept.
        EXPECT_EQ(qobject_cast<Edit*>(screen->form()->editorOf(c.field, 0))->text(), shown);
        EXPECT_EQ(screen->session().edit().value(settings::itemsOf(settings::Page::System).at(0)),
                  before);
    }
    WizardPara fresh;
    fresh = *gpWPara;
    EXPECT_EQ(gpWParaBak->picNumNG, fresh.picNumNG);
    EXPECT_EQ(gpWParaBak->tempNum, fresh.tempNum);
}

TEST_F(SettingsScreen, LanguageChoiceIsStoredAndTheSeamIsAskedToRestart) {
    choose("gLan", 3);
    screen->accept();
    EXPECT_EQ(rig.row("system2").split(' ').value(12), QString("3"));
    EXPECT_EQ(gLan, 3);
    // Until the restart, what is drawn anew is drawn in the Japanese glyph forms.
    EXPECT_EQ(QApplication::font().family(), lang::cjkFontFamily(3));
    const QStringList programs = testsupport::recorder().programs();
    ASSERT_TRUE(programs.contains("reboot")) << programs.join(' ').toStdString();
    // The databases are closed before the restart.
    EXPECT_GE(callIndex("flush"), 0);
    EXPECT_FALSE(rig.host.programsAtFlush.contains("reboot"));

    // Declining the restart stores nothing.
    gLan = 1;
    *gpWParaBak = *gpWPara;
    screen->open();
    testsupport::recorder().clear();
    rig.host.answer = false;
    choose("gLan", 2);
    const QString row = rig.row("system2");
    screen->accept();
    EXPECT_TRUE(screen->isVisible());
    EXPECT_EQ(rig.row("system2"), row);
    EXPECT_EQ(gLan, 1);
    EXPECT_FALSE(testsupport::recorder().programs().contains("reboot"));
}

// The records of a language change say what followed it. Where the password notice stands
// between the confirm and the restart, the language is recorded before it, in the new language,
// and the restart only once the notice is answered: an NG alarm that closes the screen under
// the notice leaves no restart, and no record after the box.
TEST_F(SettingsScreen, TheLanguageRecordsSayWhetherTheRestartFollowed) {
    const struct {
        int language;
        bool newPassword;
        bool alarmAtNotice;
        const char* switched;  // the record before the notice; empty: none
    } rows[] = {
        {1, false, false, ""},       {2, true, false, "切換語言"},
        {0, true, true, "切换语言"}, {1, true, true, "Switch language"},
        {2, true, true, "切換語言"}, {3, true, true, "言語を切り替え"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.language);
        gLan = row.language == 0 ? 1 : 0;
        reopen();
        testsupport::recorder().clear();
        rig.host.records.clear();
        choose("gLan", row.language);
        // A new password each time: its notice comes before the restart.
        const QString password = QString::number(4000 + row.language * 10 + row.alarmAtNotice);
        if (row.newPassword)
            for (Edit* field : screen->form()->findChildren<Edit*>())
                if (field->echoMode() == QLineEdit::Password) field->setText(password);
        int recordsAtNotice = -1;
        rig.host.duringWarn = [&] {
            recordsAtNotice = rig.host.records.size();
            if (row.alarmAtNotice) screen->hide();
        };
        screen->accept();
        rig.host.duringWarn = nullptr;
        EXPECT_EQ(gLan, row.language);
        QStringList expected = rig.host.records.mid(0, 1);  // the parameters' change
        if (*row.switched) expected << QString::fromUtf8(row.switched);
        if (!row.alarmAtNotice) expected << lan(319);
        EXPECT_EQ(rig.host.records, expected);
        if (row.newPassword) EXPECT_EQ(recordsAtNotice, 2) << "the language is recorded before";
        EXPECT_EQ(testsupport::recorder().ran("reboot"), !row.alarmAtNotice);
    }
}

TEST_F(SettingsScreen, NewStepCountInMultiDetectionGrowsStatisticsBeforeTheirTimer) {
    const struct {
        int mode;
        int stepsChosen;
        bool grows;
    } cases[] = {{3, 5, true}, {3, 2, false}, {0, 5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        gpWPara->detectMode = c.mode;
        gpWPara->useStatistics = 1;
        gDNum = 2;
        *gpWParaBak = *gpWPara;
        screen->open();
        rig.host.serviceLevel = true;
        ASSERT_TRUE(screen->openSection(Section::InputOutput));
        rig.host.calls.clear();
        type("detectNum", 0, QString::number(c.stepsChosen));
        screen->accept();
        const int grow = callIndex(QStringLiteral("checkCameraDetectCount %1").arg(c.stepsChosen));
        const int timer = callIndex("setTimer 1");
        ASSERT_GE(timer, 0);
        EXPECT_EQ(grow >= 0, c.grows);
        if (c.grows) {
            EXPECT_LT(grow, timer);
            EXPECT_LT(callIndex("speed"), grow);
        }
    }
}

TEST_F(SettingsScreen, ServicePagesAndClearingRecordsNeedTheServiceLevel) {
    const Section service[] = {Section::InputOutput, Section::Advanced, Section::Records};
    for (Section s : service) {
        SCOPED_TRACE(int(s));
        rig.host.serviceLevel = false;
        ASSERT_TRUE(screen->openSection(Section::System));
        rig.host.calls.clear();
        EXPECT_FALSE(screen->openSection(s));
        EXPECT_EQ(screen->section(), Section::System);
        EXPECT_EQ(rig.host.calls, QStringList({"checkRoot"}));
        rig.host.serviceLevel = true;
        EXPECT_TRUE(screen->openSection(s));
        EXPECT_EQ(screen->section(), s);
    }
    // The operator's pages ask nothing.
    rig.host.serviceLevel = false;
    rig.host.calls.clear();
    for (Section s : {Section::System, Section::Camera, Section::Groups})
        EXPECT_TRUE(screen->openSection(s));
    EXPECT_TRUE(rig.host.calls.isEmpty());
}

TEST_F(SettingsScreen, FailedSaveKeepsTheLiveValuesAndTheEdits) {
    const int live = gpWPara->reDetectNum;
    type("reDetectNum", 0, "9");
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("dbIn"), false);
        db.close();
    }
    screen->accept();
    EXPECT_TRUE(screen->isVisible());
    EXPECT_EQ(gpWPara->reDetectNum, live);
    EXPECT_EQ(gpWParaBak->reDetectNum, 9);
    ASSERT_EQ(rig.host.warnings.size(), 1);
    // The file is named; no restart is advised.
    EXPECT_TRUE(rig.host.warnings[0].startsWith(
        lang::cannotWriteText("PARAM.db", storage::WriteCause::Unknown)));
    EXPECT_TRUE(rig.host.records.isEmpty());
    EXPECT_EQ(callIndex("speed"), -1);
}

TEST_F(SettingsScreen, PasswordTypedTwiceIsStoredAndDifferentEntriesAreRefused) {
    auto* entry = qobject_cast<Edit*>(screen->form()->editorOf("password", 0));
    ASSERT_NE(entry, nullptr);
    auto fields = screen->form()->findChildren<Edit*>();
    Edit* again = nullptr;
    for (Edit* e : fields)
        if (e != entry && e->echoMode() == QLineEdit::Password) again = e;
    ASSERT_NE(again, nullptr);
    entry->setText("4321");
    again->setText("4322");
    screen->accept();
    EXPECT_TRUE(screen->isVisible());
    EXPECT_NE(gpWPara->passwordText(), QString("4321"));
    // Both fields are emptied for a new try.
    EXPECT_TRUE(entry->text().isEmpty() && again->text().isEmpty());
    entry->setText("4321");
    again->setText("4321");
    screen->accept();
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(gpWPara->passwordText(), QString("4321"));
    EXPECT_EQ(rig.row("password"), QString("4321"));
}

TEST_F(SettingsScreen, GroupBackedUpChangedAndRestoredGivesBackTheFirstValues) {
    ASSERT_TRUE(screen->openSection(Section::Groups));
    settings::ParamGroupsPage* groups = screen->groupsPage();
    const int first = gpWPara->reDetectNum;
    groups->nameField()->setText("mould A");
    ASSERT_TRUE(groups->backup());
    EXPECT_EQ(gpWPara->getCurGroupName(), QString("mould A"));
    EXPECT_EQ(gpWParaBak->getCurGroupName(), QString("mould A"));

    ASSERT_TRUE(screen->openSection(Section::System));
    type("reDetectNum", 0, QString::number(first + 4));
    screen->accept();
    ASSERT_EQ(rig.row("system1").split(' ').value(6), QString::number(first + 4));

    screen->open();
    ASSERT_TRUE(screen->openSection(Section::Groups));
    const auto items = groups->list()->findItems("mould A", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    groups->list()->setCurrentItem(items[0]);
    testsupport::recorder().clear();
    ASSERT_TRUE(groups->restore());
    EXPECT_TRUE(testsupport::recorder().programs().contains("reboot"));
    WizardPara restored;
    rig.loadFromFile(restored);
    EXPECT_EQ(restored.reDetectNum, first);
    EXPECT_EQ(restored.getCurGroupName(), QString("mould A"));

    // The factory group is neither overwritten nor deleted.
    groups->nameField()->setText("default");
    rig.host.warnings.clear();
    EXPECT_FALSE(groups->backup());
    EXPECT_EQ(rig.host.warnings.size(), 1);
}

TEST_F(SettingsScreen, RestoreWhoseRestartDidNotHappenLeavesTheRestoredValuesInForce) {
    const int first = gpWPara->reDetectNum;
    ASSERT_TRUE(screen->openSection(Section::Groups));
    settings::ParamGroupsPage* groups = screen->groupsPage();
    groups->nameField()->setText("mould A");
    ASSERT_TRUE(groups->backup());
    ASSERT_TRUE(bump("reDetectNum", 4));
    ASSERT_EQ(screen->session().confirm(screen->visit()),
              settings::SettingsSession::Outcome::Applied);

    // Off the panel the restart is only logged: the screen stays open on the groups.
    groups->list()->setCurrentItem(groups->list()->findItems("mould A", Qt::MatchExactly)[0]);
    ASSERT_TRUE(groups->restore());
    ASSERT_TRUE(screen->isVisible());
    EXPECT_EQ(gpWPara->reDetectNum, first);
    EXPECT_EQ(gpWParaBak->reDetectNum, first) << "the screen shows the restored value";

    ASSERT_TRUE(bump("exposeTime", 1));
    screen->accept();
    WizardPara stored;
    rig.loadFromFile(stored);
    EXPECT_EQ(stored.reDetectNum, first);
    EXPECT_EQ(stored.exposeTime[0], gpWPara->exposeTime[0]);
}

TEST_F(SettingsScreen, SavedNetworkSettingsReachTheApiThroughSlotToNetwork) {
    QDir().mkpath(rig.work.file("cnt_net"));
    const struct {
        int answer;  // what the operator does in the dialog
        bool saved;
    } cases[] = {{QDialog::Rejected, false}, {QDialog::Accepted, true}};
    for (const auto& c : cases) {
        rig.host.calls.clear();
        dialogs::ScopedAnswerer answers([&](QDialog* dialog) {
            auto* network = qobject_cast<NetworkSettingDialog*>(dialog);
            if (network && c.answer == QDialog::Accepted) {
                network->deviceNameField()->setText("press 9");
                network->accept();
            }
            return c.answer;
        });
        screen->SlotNetworkDialog();
        EXPECT_EQ(answers.count(), 1);
        EXPECT_EQ(rig.host.calls.contains("updateLocalBaseInfo"), c.saved);
        EXPECT_EQ(settings::readNetworkSettings().deviceName, c.saved ? "press 9" : "");
    }
}

// Leaving the program or the panel: asked first; then the record, the statistics day, the
// watchdog and detection; Exit stops and closes every camera and ends the loop, the others close
// the databases after the record and hand the command to the system (the main-window test shows
// the databases closed when the system is asked).
TEST_F(SettingsScreen, StopCommandsAskThenRecordAndStopBeforeTheEnd) {
    using settings::StopCommand;
    using settings::StopOutcome;
    sys::RecordingSystemActions seam;
    sys::ScopedActions use(&seam);
    const struct {
        StopCommand command;
        int question;
        int record;  // -1: a text of the command's own
        int exitCode;
        StopOutcome outcome;
        const char* end;
        const char* program;  // asked of the system after the flush
    } rows[] = {
        // clang-format off
        {StopCommand::Exit, 294, 295, 0, StopOutcome::Stopped, "stop 0,close 0,stop 1,close 1,end 0", nullptr},
        // Off the panel nothing goes down: the program goes on as before.
        {StopCommand::ShutDown, 291, 292, 0, StopOutcome::Resumed, "flush,resume 1", "poweroff"},
        {StopCommand::Restart, 293, -1, 0, StopOutcome::Resumed, "flush,resume 1", "reboot"},
        {StopCommand::ShutDown, 291, 292, 1, StopOutcome::Refused, "flush,resume 1,warn", "poweroff"},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.end);
        seam.clear();
        for (const char* program : {"poweroff", "reboot"})
            seam.scriptCommand(program, sys::CommandResult{true, row.exitCode, {}});
        rig.host.answer = false;
        rig.host.calls.clear();
        EXPECT_EQ(screen->stop(row.command), StopOutcome::Declined);
        EXPECT_EQ(rig.host.calls, QStringList{"ask"});
        EXPECT_EQ(rig.host.questions.last(), lan(row.question));
        rig.host.answer = true;
        rig.host.calls.clear();
        EXPECT_EQ(screen->stop(row.command), row.outcome);
        EXPECT_EQ(rig.host.calls.join(','),
                  "ask,record,saveStatistics,stopWatchdog,stopDetection," + QString(row.end));
        if (row.record >= 0) EXPECT_EQ(rig.host.records.last(), lan(row.record));
        EXPECT_EQ(seam.programs().filter(QRegExp("poweroff|reboot")),
                  row.program ? QStringList{row.program} : QStringList());
    }
    EXPECT_TRUE(rig.host.warnings.value(0).contains("poweroff"));
}

// A confirm gives every camera a changed trigger setting (a cancel does not), trains the
// engines again after an engine setting changed, and shows the statistics button as set.
TEST_F(SettingsScreen, ConfirmSwitchesTheTriggerTrainsAgainAndShowsTheStatisticsButton) {
    const struct {
        const char* field;
        bool confirm;
        QStringList seen;
        QStringList absent;  // not asked before the visit ended
    } rows[] = {
        {"sysUsage", false, {}, {"trigger 0 1", "trigger 1 1"}},
        {"sysUsage", true, {"trigger 0 1", "trigger 1 1", "statisticsButton 0"}, {"retrain"}},
        {"amplify", true, {"retrain"}, {"trigger 0 1"}},
        {"rotateAngle", true, {"retrain"}, {}},
        {"useStatistics", true, {"statisticsButton 1"}, {"retrain"}},
        {"reDetectNum", true, {"statisticsButton 1"}, {"retrain", "trigger 0 0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field);
        reopen();
        ASSERT_TRUE(bump(row.field, 1));
        rig.host.calls.clear();
        row.confirm ? screen->accept() : screen->reject();
        EXPECT_EQ(rig.host.calls.last(), QString("mscale")) << "the visit ended";
        for (const QString& call : row.seen)
            EXPECT_TRUE(rig.host.calls.contains(call)) << call.toStdString();
        for (const QString& call : row.absent)
            EXPECT_FALSE(rig.host.calls.contains(call)) << call.toStdString();
    }
}

// Restore defaults shows the camera's own values and has the camera show them; Confirm stores
// them, Cancel keeps the old ones. Saving every frame as a test image is set only by Confirm.
TEST_F(SettingsScreen, RestoreDefaultsAndTestImagesTakeEffectOnlyOnConfirm) {
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        reopen();
        const int live = gpWPara->exposeTime[1];
        rig.host.defaultExposure = live + 7;
        ASSERT_TRUE(screen->openSection(Section::Camera));
        screen->chooseCamera(1);
        rig.host.calls.clear();
        screen->findChild<ColorButton*>("restoreDefaults")->click();
        EXPECT_EQ(rig.host.calls.mid(0, 2), QStringList({"defaults 1", "camera 1 0"}));
        EXPECT_EQ(qobject_cast<Slider*>(screen->form()->editorOf("exposeTime", 1))->value(),
                  live + 7);
        screen->saveAllImagesSwitch()->setChecked(true);

        confirm ? screen->accept() : screen->reject();
        EXPECT_EQ(gpWPara->exposeTime[1], confirm ? live + 7 : live);
        EXPECT_EQ(rig.row("exposeTime").split(' ').value(1),
                  QString::number(gpWPara->exposeTime[1]));
        EXPECT_EQ(rig.host.saveAll, confirm);
    }
}

// Each camera slider's knob is drawn where its value lies along the groove: the factory values,
// and a stored value past the usual span, which widens the slider instead of being cut back.
TEST_F(SettingsScreen, CameraSliderKnobsStandAtTheirValues) {
    gpWPara->exposeTime[1] = 300;
    *gpWParaBak = *gpWPara;
    ASSERT_TRUE(screen->openSection(Section::Camera));
    const struct {
        const char* field;
        int camera, value;
        double fraction;  // of the knob's travel
    } rows[] = {{"exposeTime", 0, 30, 0.30},
                {"adjustPlus", 0, 32, 0.32},
                {"contrast", 0, 50, 0.50},
                {"gamma", 0, 70, 0.70},
                {"exposeTime", 1, 300, 1.0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.field) + " " + std::to_string(row.camera));
        screen->chooseCamera(row.camera);
        auto* slider = screen->form()->editorOf(row.field, row.camera)->findChild<QSlider*>();
        // The knob is the light disc on the dark groove: its columns along the middle line.
        const QImage picture = slider->grab().toImage();
        QVector<int> knob;
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, picture.height() / 2)) >= 0xd0) knob << x;
        ASSERT_FALSE(knob.isEmpty());
        const double travel = picture.width() - knob.size();
        EXPECT_NEAR(knob.first(), row.fraction * travel, 3.0) << row.value;
    }
    EXPECT_EQ(gpWParaBak->exposeTime[1], 300);
}
