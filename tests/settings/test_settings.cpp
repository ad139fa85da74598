// The settings and maintenance pages: created hidden over their owner, titled from the
// language table, closed by their close button.
#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTableWidget>

#include "cameramanager.h"
#include "combobox.h"
#include "customionamewidget.h"
#include "dialogseam.h"
#include "globals.h"
#include "hardwareconfigurationwidget.h"
#include "helpwidget.h"
#include "operationlog.h"
#include "recordspage.h"
#include "serialnumberstore.h"
#include "settingstestrig.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"

namespace {

struct Page {
    SettingsPage* page;
    int titleEntry;
};

class SettingsPages : public ::testing::Test {
protected:
    void SetUp() override {
        gLan = 1;
        for (int entry : {111, 211, 215, 396, 431, 473})
            gaLanStr[entry * kLanguageCount + 1] = QStringLiteral("text %1").arg(entry);
        owner.resize(1920, 1080);
    }
    void TearDown() override {
        for (int entry : {111, 211, 215, 396, 431, 473})
            gaLanStr[entry * kLanguageCount + 1].clear();
        gLan = 0;
    }
    QWidget owner;
};

}  // namespace

TEST_F(SettingsPages, AreHiddenFullSizeChildrenWithTitleAndClose) {
    settingstest::FakeHost host;
    WizardPara live;
    WizardPara editing;
    gpWPara = &live;
    gpWParaBak = &editing;
    auto* settings = new WizardParaWidget(&owner, host);
    auto* help = new HelpWidget(&owner);
    auto* cameras = new WidgetChangeCamera(&owner);
    auto* ioNames = new CustomIONameWidget(&owner);
    auto* hardware = new HardwareConfigurationWidget(&owner);
    owner.show();
    const Page pages[] = {
        {settings, 215}, {help, 111}, {cameras, 396}, {ioNames, 473}, {hardware, 431}};
    for (const Page& p : pages) {
        SCOPED_TRACE(p.page->metaObject()->className());
        EXPECT_EQ(p.page->parentWidget(), &owner);
        EXPECT_FALSE(p.page->isVisible());
        EXPECT_EQ(p.page->geometry(), owner.rect());
        EXPECT_EQ(p.page->title(), QStringLiteral("text %1").arg(p.titleEntry));
        auto* close = p.page->findChild<QPushButton*>(QStringLiteral("close"));
        ASSERT_NE(close, nullptr);
        EXPECT_EQ(close->text(), QStringLiteral("text 211"));

        p.page->show();
        EXPECT_TRUE(p.page->isVisible());
        close->click();
        EXPECT_FALSE(p.page->isVisible());
    }
    delete settings;
    gpWPara = gpWParaBak = nullptr;
}

TEST_F(SettingsPages, IONamePageInitReadsTheTextsAgainAndStaysHidden) {
    CustomIONameWidget page(&owner);
    owner.show();
    gaLanStr[473 * kLanguageCount + 1] = QStringLiteral("Custom IO");
    page.show();
    page.init();
    EXPECT_EQ(page.title(), QStringLiteral("Custom IO"));
    EXPECT_FALSE(page.isVisible());
}

namespace {

_cameraInfo cameraWith(const char* serial) {
    _cameraInfo info;
    qstrncpy(info.serialNumber, serial, sizeof(info.serialNumber));
    return info;
}

}  // namespace

TEST(MaintenancePages, CameraOrderChosenIsHandedToTheManagerAndRepeatsAreRefused) {
    settingstest::Rig rig;
    CameraManager manager;
    CameraManager* previous = CameraManager::_instance;
    CameraManager::_instance = &manager;
    manager.loadCameraSN();  // SN.db in the rig's working folder
    manager.cameraList = {cameraWith("SERIAL-AAA"), cameraWith("SERIAL-BBB"),
                          cameraWith("SERIAL-CCC")};
    WarnBox box(nullptr);
    gpWarnBox = &box;
    auto* page = new WidgetChangeCamera(&rig.owner);
    rig.owner.show();
    page->show();
    // Each number starts on its own camera, named with its serial number.
    ASSERT_NE(page->choiceOf(2), nullptr);
    EXPECT_TRUE(page->choiceOf(1)->currentText().contains("SERIAL-BBB"));

    const struct {
        QVector<int> chosen;
        bool unwritable;  // SQLite cannot make its journal: no write reaches SN.db
        bool stored;
        QStringList inFile;  // the first three slots of SN.db afterwards
        QString notice;      // what the operator is told; empty: which camera repeats
    } cases[] = {
        {{2, 0, 1}, false, true, {"SERIAL-CCC", "SERIAL-AAA", "SERIAL-BBB"}, lan(277)},
        {{0, 0, 1}, false, false, {"SERIAL-CCC", "SERIAL-AAA", "SERIAL-BBB"}, {}},
        // Regression: the restart notice was shown for an order that was never stored. The
        // database did open: the file is named, and no restart is advised.
        {{1, 2, 0},
         true,
         false,
         {"SERIAL-CCC", "SERIAL-AAA", "SERIAL-BBB"},
         lang::cannotWriteText("SN.db", storage::WriteCause::Unknown)},
    };
    for (const auto& c : cases) {
        if (c.unwritable) {
            ASSERT_TRUE(QDir().mkpath("SN.db-journal"));
        }
        dialogs::ScopedAnswerer answers({QDialog::Accepted});
        for (int k = 0; k < c.chosen.size(); ++k) page->choiceOf(k)->setCurrentIndex(c.chosen[k]);
        EXPECT_EQ(page->save(), c.stored);
        ASSERT_EQ(answers.count(), 1);
        if (!c.notice.isEmpty()) {
            EXPECT_EQ(answers.asked()[0].text, c.notice);
        } else {
            EXPECT_TRUE(answers.asked()[0].text.contains("NO.1"));
        }
        if (c.unwritable) {
            ASSERT_TRUE(QDir("SN.db-journal").removeRecursively());
        }
        camera::SerialNumberStore file(QStringLiteral("SN.db"), QStringLiteral("look"));
        ASSERT_TRUE(file.open());
        EXPECT_EQ(QStringList({file.value(0), file.value(1), file.value(2)}), c.inFile);
    }
    CameraManager::_instance = previous;
    gpWarnBox = nullptr;
}

TEST(MaintenancePages, HelpOpensOnThePageNamedAndIONamesShowTheTerminalsInUse) {
    settingstest::Rig rig;
    auto* help = new HelpWidget(&rig.owner);
    auto* names = new CustomIONameWidget(&rig.owner);
    rig.owner.show();
    const int saved = gHelpC;
    for (int page : {HelpWidget::kAlarmPage, 0, 99}) {
        gHelpC = page;
        help->show();
        EXPECT_EQ(help->currentPage(), page < HelpWidget::pageCount() ? page : 0);
        help->hide();
    }
    gHelpC = saved;

    const struct {
        int mode;
        int outputName;  // gaName index of output terminal 1
        int terminals;
    } cases[] = {{0, 4, 4}, {3, 9, 9}};
    for (const auto& c : cases) {
        gpWPara->detectMode = c.mode;
        for (int i = 0; i < kIONameCount; ++i) gaName[i] = QStringLiteral("name %1").arg(i);
        names->init();
        EXPECT_FALSE(names->isVisible());
        EXPECT_EQ(names->inputName(1), QString("name 0"));
        EXPECT_EQ(names->outputName(1), QStringLiteral("name %1").arg(c.outputName));
        EXPECT_FALSE(names->inputName(c.terminals).isEmpty());
        EXPECT_TRUE(names->inputName(c.terminals + 1).isEmpty());
    }
    for (QString& name : gaName) name.clear();
}

TEST(MaintenancePages, RecordsAreListedAndClearedOnlyAtTheServiceLevel) {
    settingstest::Rig rig;
    OperationLog log(rig.work.path(), QStringLiteral("settingstest-records"));
    rig.host.today = QDate(2026, 3, 1);
    log.loadRecordDay(rig.host.today);
    ASSERT_TRUE(log.insert("08.00.01", "Primary", "started"));
    ASSERT_TRUE(log.insert("08.00.02", "Primary", "it's stopped"));
    rig.host.recordLog = &log;
    settings::RecordsPage page(rig.host, &rig.owner);
    page.reload();
    ASSERT_EQ(page.table()->rowCount(), 2);
    EXPECT_EQ(page.table()->item(1, 2)->text(), QString("it's stopped"));
    // After midnight, the archive refused, the day before waits in the file: the page lists
    // today's rows only, those a clear deletes.
    QFile blocker(rig.work.file("RECORD"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    rig.host.today = rig.host.today.addDays(1);
    // The page still lists the day before: the question of a clear shows what it deletes.
    rig.host.serviceLevel = true;
    rig.host.answer = false;
    EXPECT_FALSE(page.clear());
    EXPECT_EQ(page.table()->rowCount(), 0);
    for (const QString& remarks : {QString(), QStringLiteral("after midnight")}) {
        if (!remarks.isEmpty()) log.insert("00.00.05", "Primary", remarks, rig.host.today);
        page.reload();
        ASSERT_EQ(page.table()->rowCount(), remarks.isEmpty() ? 0 : 1);
        if (!remarks.isEmpty()) EXPECT_EQ(page.table()->item(0, 2)->text(), remarks);
    }

    const struct {
        bool serviceLevel;
        bool confirmed;
        bool deleted;  // the disk took the deletion
        QStringList calls;
    } cases[] = {
        {false, true, true, {"checkRoot"}},
        {true, false, true, {"checkRoot", "ask"}},
        {true, true, false, {"checkRoot", "ask", "clearRecord"}},
        {true, true, true, {"checkRoot", "ask", "clearRecord", "record"}},
    };
    for (const auto& c : cases) {
        rig.host.calls.clear();
        rig.host.serviceLevel = c.serviceLevel;
        rig.host.answer = c.confirmed;
        rig.host.clearWorks = c.deleted;
        EXPECT_EQ(page.clear(), c.confirmed && c.serviceLevel && c.deleted);
        EXPECT_EQ(rig.host.calls, c.calls);
    }
}
