// Edit fields, the two keypads and their replacement when deleted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QIntValidator>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "edit.h"
#include "editbox.h"
#include "globals.h"
#include "keypadkeeper.h"
#include "langtable.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "toolkitlimits.h"

namespace {

void press(QWidget* keypad, const char* key) {
    auto* b = keypad->findChild<QPushButton*>(QString::fromLatin1(key));
    ASSERT_NE(b, nullptr) << key;
    b->click();
}

void tap(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A window with one digit field and one text field, and fresh shared keypads.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        gpNumPad = new NumberInput(nullptr);
        gpNumCharPad = new NumCharInput(nullptr);
        window.resize(1200, 900);
        number = new Edit(&window, Edit::Number);
        number->setGeometry(100, 100, 300, 56);
        text = new Edit(&window, Edit::Text);
        text->setGeometry(100, 780, 300, 56);  // near the bottom: its keypad opens above
        window.show();
    }
    void TearDown() override {
        // The keypads moved into the window and go with it; no keeper replaces them here.
        delete gpNumPad;
        delete gpNumCharPad;
        gpNumPad = nullptr;
        gpNumCharPad = nullptr;
    }

    LangTable lang{{{121, "Confirm"}, {157, "BS"}, {158, "Lower"}, {159, "Capital"}}};
    QWidget window;
    Edit* number = nullptr;
    Edit* text = nullptr;
};

}  // namespace

TEST_F(InputTest, TapOpensTheKeypadOfTheFieldsKindInsideItsWindow) {
    tap(number);
    ASSERT_TRUE(gpNumPad->isVisible());
    EXPECT_FALSE(gpNumCharPad->isVisible());
    EXPECT_EQ(gpNumPad->parentWidget(), &window);
    EXPECT_EQ(gpNumPad->target(), number);
    // Below the field, wholly inside the window.
    EXPECT_GE(gpNumPad->y(), number->geometry().bottom());
    EXPECT_TRUE(window.rect().contains(gpNumPad->geometry()));

    tap(text);
    EXPECT_TRUE(gpNumCharPad->isVisible());
    EXPECT_FALSE(gpNumPad->isVisible());
    EXPECT_EQ(gpNumCharPad->target(), text);
    // No room below: above the field.
    EXPECT_LE(gpNumCharPad->geometry().bottom(), text->y());
    EXPECT_TRUE(window.rect().contains(gpNumCharPad->geometry()));
}

TEST_F(InputTest, DigitKeysTypeThroughTheFieldsValidator) {
    number->setValidator(new QIntValidator(0, 99, number));
    tap(number);
    press(gpNumPad, "key_4");
    press(gpNumPad, "key_2");
    press(gpNumPad, "key_7");  // a third digit is out of range and refused
    EXPECT_EQ(number->text(), QStringLiteral("42"));
    press(gpNumPad, "key_backspace");
    press(gpNumPad, "key_0");
    EXPECT_EQ(number->text(), QStringLiteral("40"));
}

TEST_F(InputTest, ConfirmEndsTheEntryHidesTheKeypadAndTakesTheFocus) {
    QSignalSpy returned(number, &QLineEdit::returnPressed);
    number->setFocus();
    tap(number);
    ASSERT_EQ(window.focusWidget(), number);
    press(gpNumPad, "key_1");
    press(gpNumPad, "key_enter");
    EXPECT_EQ(returned.count(), 1);
    EXPECT_FALSE(gpNumPad->isVisible());
    EXPECT_EQ(window.focusWidget(), nullptr);
    EXPECT_EQ(number->text(), QStringLiteral("1"));
}

TEST_F(InputTest, HideUpdateOfAHiddenKeypadLeavesTheFocusAlone) {
    number->setFocus();
    gpNumPad->HideUpdate();
    EXPECT_EQ(window.focusWidget(), number);
}

TEST_F(InputTest, LosingTheFocusHidesBothKeypads) {
    tap(text);
    ASSERT_TRUE(gpNumCharPad->isVisible());
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(text, &out);
    EXPECT_FALSE(gpNumCharPad->isVisible());
    EXPECT_FALSE(gpNumPad->isVisible());
}

// A dialog has no main window behind it to catch a press elsewhere: the keypad's own window
// does; a press between its keys is still on the keypad.
TEST_F(InputTest, APressElsewhereInItsWindowClosesTheKeypad) {
    tap(text);
    ASSERT_TRUE(gpNumCharPad->isVisible());
    QTest::mousePress(gpNumCharPad, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(gpNumCharPad->isVisible());
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(gpNumCharPad->isVisible());
}

TEST_F(InputTest, TextKeypadTypesLettersInTheChosenCase) {
    tap(text);
    auto* caseKey = gpNumCharPad->findChild<QPushButton*>(QStringLiteral("key_case"));
    EXPECT_EQ(caseKey->text(), QStringLiteral("Capital"));
    press(gpNumCharPad, "key_a");
    press(gpNumCharPad, "key_case");
    EXPECT_TRUE(gpNumCharPad->isCapital());
    EXPECT_EQ(caseKey->text(), QStringLiteral("Lower"));
    // Keys keep their names; their labels follow the case.
    press(gpNumCharPad, "key_b");
    press(gpNumCharPad, "key_space");
    press(gpNumCharPad, "key_7");
    press(gpNumCharPad, "key_.");
    EXPECT_EQ(text->text(), QStringLiteral("aB 7."));
    press(gpNumCharPad, "key_enter");
    EXPECT_FALSE(gpNumCharPad->isVisible());
}

// The longest key names of the languages ("Capital") are drawn smaller, not cut off.
TEST_F(InputTest, EveryKeyShowsItsNameWhole) {
    for (Keypad* keypad : {static_cast<Keypad*>(gpNumPad), static_cast<Keypad*>(gpNumCharPad)})
        for (bool capital : {false, true}) {
            gpNumCharPad->setCapital(capital);
            for (QPushButton* key : keypad->findChildren<QPushButton*>())
                EXPECT_LE(QFontMetrics(key->font()).horizontalAdvance(key->text()),
                          key->width() - toolkit::kButtonTextMarginPx)
                    << key->text().toStdString();
        }
}

TEST_F(InputTest, EditBoxClampsAndRejectsNonNumbers) {
    EditBox box(&window, QStringLiteral("Delay"), 0, 100, 30);
    QSignalSpy changed(&box, &EditBox::valueChanged);
    box.edit()->setText(QStringLiteral("150"));
    emit box.edit()->editingFinished();
    EXPECT_EQ(box.value(), 100);
    EXPECT_EQ(box.edit()->text(), QStringLiteral("100"));
    box.edit()->setText(QStringLiteral("-"));
    emit box.edit()->editingFinished();
    EXPECT_EQ(box.value(), 100);
    EXPECT_EQ(box.edit()->text(), QStringLiteral("100"));
    box.setRange(0, 50);
    EXPECT_EQ(box.value(), 50);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0][0].toInt(), 100);
    EXPECT_EQ(changed[1][0].toInt(), 50);
}

// --- replacement of deleted keypads ---

namespace {

int topLevelCount() {
    return QApplication::topLevelWidgets().size();
}

// Stands for the main window: it owns the keeper and, like the real one, takes the keypads
// as children; its destructor announces the shutdown.
class FakeMainWindow : public QWidget {
public:
    FakeMainWindow() {
        keeper = new KeypadKeeper(this);
        keeper->install();
        gpNumPad->setParent(this);
        gpNumCharPad->setParent(this);
    }
    ~FakeMainWindow() override { keeper->setShuttingDown(true); }
    KeypadKeeper* keeper;
};

}  // namespace

TEST(KeypadKeeper, ReplacesADeletedKeypadAtOnce) {
    LangTable lang({{121, "Confirm"}});
    {
        KeypadKeeper keeper;
        keeper.install();
        ASSERT_NE(gpNumPad, nullptr);
        ASSERT_NE(gpNumCharPad, nullptr);
        const int windows = topLevelCount();

        NumberInput* first = gpNumPad;
        delete first;
        ASSERT_NE(gpNumPad, nullptr);
        EXPECT_NE(gpNumPad, first);
        EXPECT_EQ(gpNumPad->parentWidget(), nullptr);
        delete gpNumCharPad;
        ASSERT_NE(gpNumCharPad, nullptr);
        EXPECT_EQ(keeper.replacements(), 2);
        EXPECT_EQ(topLevelCount(), windows);

        // A keypad that went into a dialog goes with it and is replaced too.
        auto* dialog = new QWidget;
        gpNumPad->setParent(dialog);
        delete dialog;
        EXPECT_NE(gpNumPad, nullptr);
        EXPECT_EQ(keeper.replacements(), 3);

        // Shutting down: nothing new is made.
        keeper.setShuttingDown(true);
        delete gpNumPad;
        delete gpNumCharPad;
        EXPECT_EQ(gpNumPad, nullptr);
        EXPECT_EQ(gpNumCharPad, nullptr);
        EXPECT_EQ(keeper.replacements(), 3);
    }
}

TEST(KeypadKeeper, TearingTheMainWindowDownCreatesNoNewWindows) {
    LangTable lang({{121, "Confirm"}});
    const int before = topLevelCount();
    auto* mainWindow = new FakeMainWindow;
    EXPECT_EQ(topLevelCount(), before + 1);
    delete mainWindow;
    EXPECT_EQ(topLevelCount(), before);
    EXPECT_EQ(gpNumPad, nullptr);
    EXPECT_EQ(gpNumCharPad, nullptr);
}
