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
#include "toolkitlimits.h"
#include "wizardparawidget.h"

namespace {

constexpr int kActivateWaitMs = 5000;

// A finger on a widget (at its centre unless told). The panel's window system activates the
// top-level window under the finger before that window gets the press; the press and release
// then take the road of real ones.
void touch(QWidget* widget, QPoint at = {}) {
    ASSERT_NE(widget, nullptr);
    const QPoint global = widget->mapToGlobal(at.isNull() ? widget->rect().center() : at);
    QWidget* top = QApplication::topLevelAt(global);
    ASSERT_NE(top, nullptr);
    QWindow* window = top->windowHandle();
    if (QGuiApplication::focusWindow() != window) {
        window->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window, kActivateWaitMs));
    }
    QTest::mousePress(window, Qt::LeftButton, {}, window->mapFromGlobal(global));
    QTest::mouseRelease(window, Qt::LeftButton, {}, window->mapFromGlobal(global));
}

// A key by name, or "gap": right of the key "1", on the keypad but on no key.
void touchKey(Keypad* keypad, const QString& name) {
    const bool gap = name == QLatin1String("gap");
    auto* key = keypad->findChild<QPushButton*>(gap ? QStringLiteral("key_1") : name);
    ASSERT_NE(key, nullptr) << name.toStdString();
    touch(key, gap ? QPoint(key->width() + toolkit::kKeySpacing / 2, key->height() / 2) : QPoint());
}

}  // namespace

TEST(TouchTyping, KeypadStaysOpenWhileTypingAndClosesOnAPressElsewhereOrWithItsField) {
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
        touch(field);
        for (const QString& name : row.keys) {
            ASSERT_TRUE(row.keypad->isVisible()) << "before " << name.toStdString();
            touchKey(row.keypad, name);
        }
        EXPECT_TRUE(row.keypad->isVisible());
        EXPECT_EQ(field->text(), row.typed);
        // The top left corner of the screen holds nothing that takes a press.
        touch(&m, QPoint(2, 2));
        EXPECT_FALSE(row.keypad->isVisible());
    }
    // Closing the screen with a keypad open takes the keypad along.
    Edit* field = fieldOf("password");
    touch(field);
    ASSERT_TRUE(gpNumCharPad->isVisible());
    screen.reject();
    EXPECT_FALSE(gpNumCharPad->isVisible());
}
