// The settings and maintenance pages: created hidden over their owner, titled from the
// language table, closed by their close button.
#include <gtest/gtest.h>

#include <QPushButton>

#include "customionamewidget.h"
#include "globals.h"
#include "hardwareconfigurationwidget.h"
#include "helpwidget.h"
#include "settingstestrig.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

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
