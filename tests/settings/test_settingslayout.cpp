// Every page of the settings screens in every language at the panel's size: no text is cut
// off by its label, button or choice box, and a check box that is on reads as on. With
// MOULDMON_SETTINGS_SHOTS set to a folder, the pages are saved there as pictures to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QTextBoundaryFinder>

#include "cameramanager.h"
#include "customionamewidget.h"
#include "edit.h"
#include "globals.h"
#include "helpwidget.h"
#include "networksettingdialog.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationlog.h"
#include "settingsform.h"
#include "settingstestrig.h"
#include "testsupport.h"
#include "uifont.h"
#include "widgetchangecamera.h"
#include "wizardparawidget.h"

namespace {

// What of a page's texts does not fit, as "text (where)".
QStringList cutTexts(QWidget* page) {
    QStringList cut;
    for (QLabel* label : page->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(page) || label->text().isEmpty()) continue;
        const QFontMetrics fm(label->font());
        const int flags = (label->wordWrap() ? Qt::TextWordWrap : 0) | int(label->alignment());
        const QRect need =
            fm.boundingRect(QRect(QPoint(), label->contentsRect().size()), flags, label->text());
        if (need.width() > label->contentsRect().width() ||
            need.height() > label->contentsRect().height())
            cut << label->text() + QStringLiteral(" (label)");
    }
    for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(page) || button->text().isEmpty()) continue;
        const int need = QFontMetrics(button->font()).horizontalAdvance(button->text());
        const int room = button->width() - (qobject_cast<QCheckBox*>(button) ? 50 : 8);
        if (need > room) cut << button->text() + QStringLiteral(" (button)");
    }
    for (QComboBox* combo : page->findChildren<QComboBox*>()) {
        if (!combo->isVisibleTo(page)) continue;
        const QFontMetrics fm(combo->font());
        for (int i = 0; i < combo->count(); ++i)
            if (fm.horizontalAdvance(combo->itemText(i)) > combo->width() - 40)
                cut << combo->itemText(i) + QStringLiteral(" (choice)");
    }
    return cut;
}

// Labels whose lines break inside a word ("アラー" and "ム"): Chinese and Japanese have no
// spaces, and a label's own wrapping breaks them between any two characters.
QStringList brokenWords(QWidget* page) {
    QStringList broken;
    for (QLabel* label : page->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(page) || !label->wordWrap()) continue;
        QTextBoundaryFinder words(QTextBoundaryFinder::Word, label->text());
        int end = 0;
        for (const QString& line : testsupport::labelLines(*label)) {
            end += line.size();
            words.setPosition(end);
            if (!line.endsWith(QLatin1Char('\n')) && !words.isAtBoundary())
                broken << label->text().simplified();
        }
    }
    return broken;
}

// Texts drawn smaller than a finger's controls need, as "text (size)".
QStringList smallTexts(QWidget* page) {
    constexpr int kSmallestPx = 20;
    QStringList small;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
        if (auto* combo = qobject_cast<QComboBox*>(w)) text = combo->currentText();
        QFont font = w->font();
        // A header draws its titles in the font of its viewport.
        if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model()) {
            text = header->model()->headerData(0, header->orientation()).toString();
            font = header->viewport()->font();
        }
        const int px = QFontInfo(font).pixelSize();
        if (!text.isEmpty() && px < kSmallestPx)
            small << QStringLiteral("%1 (%2 px)").arg(text).arg(px);
    }
    return small;
}

// Check boxes whose "on" hardly differs from "off" inside the box (a pale mark on white), by
// text, or by place for a box without one.
QStringList faintMarks(QWidget* page) {
    QStringList faint;
    for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
        if (!box->isVisibleTo(page)) continue;
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect inBox =
            box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        const QSignalBlocker quiet(box);
        const bool was = box->isChecked();
        QImage looks[2];
        for (bool on : {false, true}) {
            box->setChecked(on);
            looks[on] = box->grab(inBox).toImage();
        }
        box->setChecked(was);
        int plain = 0;  // pixels whose grey changes by more than half its range
        for (int y = 0; y < inBox.height(); ++y)
            for (int x = 0; x < inBox.width(); ++x)
                plain += qAbs(qGray(looks[1].pixel(x, y)) - qGray(looks[0].pixel(x, y))) > 128;
        if (plain * 20 < inBox.width() * inBox.height())
            faint << (box->text().isEmpty() ? QStringLiteral("at %1,%2").arg(box->x()).arg(box->y())
                                            : box->text());
    }
    return faint;
}

// Fields whose keypad, opened by a tap, covers the field or does not lie whole in its window:
// the operator would type blind or miss keys.
QStringList coveredFields(QWidget* page) {
    QStringList covered;
    for (Edit* field : page->findChildren<Edit*>()) {
        if (!field->isVisibleTo(page)) continue;
        field->openKeypad();
        Keypad* keypad = field->kind() == Edit::Number ? static_cast<Keypad*>(gpNumPad)
                                                       : static_cast<Keypad*>(gpNumCharPad);
        QWidget* window = field->window();
        const QRect fieldRect(field->mapTo(window, QPoint()), field->size());
        const QRect keypadRect(keypad->mapTo(window, QPoint()), keypad->size());
        if (keypadRect.intersects(fieldRect) || !window->rect().contains(keypadRect))
            covered << (field->objectName().isEmpty()
                            ? QStringLiteral("at %1,%2").arg(fieldRect.x()).arg(fieldRect.y())
                            : field->objectName());
        keypad->hide();
        // Not left to be deleted with a window of the test.
        keypad->setParent(nullptr);
    }
    return covered;
}

class SettingsLayout : public ::testing::TestWithParam<int> {
protected:
    void shoot(QWidget* page, const QString& name) {
        const QImage image = page->grab().toImage();
        const QByteArray folder = qgetenv("MOULDMON_SETTINGS_SHOTS");
        if (!folder.isEmpty())
            image.save(QStringLiteral("%1/%2-%3.png").arg(QString(folder), name).arg(GetParam()));
    }
    void check(QWidget* page, const QString& name) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(cutTexts(page), QStringList());
        EXPECT_EQ(brokenWords(page), QStringList());
        EXPECT_EQ(smallTexts(page), QStringList());
        EXPECT_EQ(faintMarks(page), QStringList());
        EXPECT_EQ(coveredFields(page), QStringList());
        shoot(page, name);
    }

    settingstest::Rig rig;
    NumberInput numPad{nullptr};
    NumCharInput numCharPad{nullptr};
    void SetUp() override {
        gpNumPad = &numPad;
        gpNumCharPad = &numCharPad;
    }
    void TearDown() override {
        gpNumPad = nullptr;
        gpNumCharPad = nullptr;
    }
};

}  // namespace

TEST_P(SettingsLayout, EveryPageShowsItsTextsWhole) {
    const int language = GetParam();
    gLan = language;
    applyUiFont(*qApp, language);
    rig.host.serviceLevel = true;
    // Something to list: two groups, two records, three cameras.
    for (const char* group : {"default", "mould A"})
        QDir().mkpath(rig.work.file("paraGroup/") + group);
    OperationLog log(rig.work.path(), QStringLiteral("settingslayout-records"));
    rig.host.today = QDate(2026, 3, 1);
    log.loadRecordDay(rig.host.today);
    log.insert("08.00.01", lan(155), lan(136));
    log.insert("08.00.02", lan(154), lan(235) + lan(245).arg(lan(167)).arg(0).arg(3));
    rig.host.recordLog = &log;
    CameraManager manager;
    CameraManager* previous = CameraManager::_instance;
    CameraManager::_instance = &manager;
    for (const char* serial : {"CAM-2301-000417", "CAM-2301-000422", "CAM-2302-000131"}) {
        _cameraInfo info;
        qstrncpy(info.serialNumber, serial, sizeof(info.serialNumber));
        manager.cameraList.append(info);
    }
    rig.host.cameras = 3;
    rig.owner.show();
    auto* screen = new WizardParaWidget(&rig.owner, rig.host);
    screen->open();
    gLan = language;  // the factory database holds language 0
    const char* names[] = {"system", "camera", "io", "advanced", "groups", "records"};
    for (int s = 0; s <= WizardParaWidget::Records; ++s) {
        ASSERT_TRUE(screen->openSection(WizardParaWidget::Section(s)));
        const int sheets = s <= WizardParaWidget::Advanced ? screen->form()->sheetCount() : 1;
        for (int sheet = 0; sheet < sheets; ++sheet) {
            if (s <= WizardParaWidget::Advanced) screen->showSheet(sheet);
            check(screen, QStringLiteral("settings-%1-%2").arg(names[s]).arg(sheet + 1));
        }
    }
    NetworkSettingDialog network(nullptr, nullptr);
    network.show();
    check(&network, QStringLiteral("network"));
    network.hide();

    auto* help = new HelpWidget(&rig.owner);
    gHelpC = HelpWidget::kAlarmPage;
    help->show();
    check(help, QStringLiteral("help"));
    auto* names2 = new CustomIONameWidget(&rig.owner);
    gpWPara->detectMode = 3;
    for (int i = 0; i < kIONameCount; ++i)
        gaName[i] = i < 9 ? QString::fromUtf8(gInName[(i % 16) * kLanguageCount + language])
                          : QString::fromUtf8(gOutName[(i % 14) * kLanguageCount + language]);
    names2->init();
    names2->show();
    check(names2, QStringLiteral("ionames"));
    auto* order = new WidgetChangeCamera(&rig.owner);
    order->show();
    check(order, QStringLiteral("cameraorder"));
    for (QString& name : gaName) name.clear();
    gHelpC = 0;
    CameraManager::_instance = previous;
}

// Every language in the normal build. The sanitizers look for memory faults, not for texts that
// do not fit, and lay out each page many times slower: there one language, the one whose lines
// mix scripts and break at words the most.
#if defined(__SANITIZE_ADDRESS__)
INSTANTIATE_TEST_SUITE_P(Languages, SettingsLayout, ::testing::Values(3));
#else
INSTANTIATE_TEST_SUITE_P(Languages, SettingsLayout, ::testing::Values(0, 1, 2, 3));
#endif
