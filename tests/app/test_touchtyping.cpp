// Typing on the settings screen with the on-screen keypads, touched as a finger does: every
// press goes to the top-level window under it and from there through the main window's own
// event handling to whatever lies under the finger.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <memory>

#include "appfixture.h"
#include "deraRazovi.h"
#include "edit.h"
#include "globals.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "settingsform.h"
#include "testsupport.h"
#include "wizardparawidget.h"

namespace {

constexpr int kActivateWaitMs = 5000;

// A finger on the screen. The panel's window system activates the top-level window under the
// finger before that window gets the press; the press and release then take the road of real
// ones.
void touchAt(const QPoint& global) {
    QWidget* top = QApplication::topLevelAt(global);
    ASSERT_NE(top, nullptr);
    QWindow* window = top->windowHandle();
    if (QGuiApplication::focusWindow() != window) {
        window->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window, kActivateWaitMs));
    }
    const QPoint at = window->mapFromGlobal(global);
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
}

QPushButton* key(Keypad* keypad, const QString& name) {
    return keypad->findChild<QPushButton*>(name);
}

// A key by name, or "gap": between the keys "1" and "2", on the keypad but on no key.
void touchKey(Keypad* keypad, const QString& name) {
    if (name == QLatin1String("gap")) {
        QPushButton* one = key(keypad, QStringLiteral("key_1"));
        QPushButton* two = key(keypad, QStringLiteral("key_2"));
        touchAt((one->mapToGlobal(QPoint(one->width(), one->height() / 2)) +
                 two->mapToGlobal(QPoint(-1, two->height() / 2))) /
                2);
        return;
    }
    QPushButton* k = key(keypad, name);
    ASSERT_NE(k, nullptr) << name.toStdString();
    touchAt(k->mapToGlobal(k->rect().center()));
}

}  // namespace

TEST(TouchTyping, KeypadStaysOpenWhileTypingAndClosesOnAPressElsewhere) {
    testsupport::WorkDir dir;
    apptest::prepareProcessGlobals();
    apptest::installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    auto window = std::make_unique<DeRaRazovi>(nullptr);
    DeRaRazovi& m = *window;
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m, kActivateWaitMs));
    m.SlotSystemPara();
    WizardParaWidget& screen = *m.wizardParaWidget;

    // The field by its setting, on the system section's sheet that holds it.
    auto fieldOf = [&screen](const char* setting) {
        screen.openSection(WizardParaWidget::System);
        auto* edit = qobject_cast<Edit*>(screen.form()->editorOf(QLatin1String(setting)));
        for (int s = 0; s < screen.form()->sheetCount() && edit && edit->isHidden(); ++s)
            screen.form()->setSheet(s);
        return edit;
    };
    const struct Row {
        const char* setting;
        Keypad* keypad;
        QStringList keys;
        QString typed;
    } rows[] = {
        {"password", gpNumCharPad, {"key_2", "gap", "key_a", "key_b"}, "2ab"},
        {"trigInDelay", gpNumPad, {"key_1", "gap", "key_0", "key_0"}, "100"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setting);
        Edit* field = fieldOf(row.setting);
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(field->isVisible());
        field->clear();
        touchAt(field->mapToGlobal(field->rect().center()));
        for (const QString& name : row.keys) {
            ASSERT_TRUE(row.keypad->isVisible()) << "before " << name.toStdString();
            touchKey(row.keypad, name);
        }
        EXPECT_TRUE(row.keypad->isVisible());
        EXPECT_EQ(field->text(), row.typed);
        // The top left corner of the screen holds nothing that takes a press.
        touchAt(m.mapToGlobal(QPoint(2, 2)));
        EXPECT_FALSE(row.keypad->isVisible());
    }
    screen.reject();
}
