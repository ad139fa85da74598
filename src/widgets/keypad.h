#pragma once
#include <QFrame>
#include <QLineEdit>
#include <QPointer>

class QGridLayout;
class ColorButton;

// Common part of the on-screen keypads: the edit field being typed into and the keys, which
// reach the field as ordinary key events (so validators, length limits and the password echo
// apply as for a real keyboard). Keys never take the focus away from the field.
class Keypad : public QFrame {
    Q_OBJECT
public:
    // Opens the keypad for a field: it moves into the field's window (so a modal dialog does
    // not block it), places itself below the field (above when there is no room) and shows.
    // It closes by itself when the field goes out of sight or away, and on a press elsewhere in
    // the window that no widget takes.
    void openFor(QLineEdit* target);
    QLineEdit* target() const { return target_; }

    // Hides the keypad after use; what else happens depends on the keypad.
    virtual void HideUpdate() = 0;

protected:
    explicit Keypad(QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;

    ColorButton* addKey(const QString& text, const QString& name, int row, int column,
                        int columnSpan = 1);
    // Draws the key's name smaller where it would not fit the key in the keypad's font size.
    static void fitKeyText(ColorButton* key);
    // Sends one key press and release to the target field.
    void sendKey(int key, const QString& text = QString());
    // Types printable text, character by character.
    void typeText(const QString& text);
    // Fixes the size once every key is in place.
    void finishLayout();
    QLineEdit* targetField() const { return target_; }

private:
    QGridLayout* grid_;
    QPointer<QLineEdit> target_;
    QPointer<QWidget> host_;
    // The same two as objects, for the event filter: an object that is being destroyed is no
    // longer a field or a widget, and must not be cast to one to be recognised.
    QPointer<QObject> watchedTarget_;
    QPointer<QObject> watchedHost_;
    QMetaObject::Connection targetGone_;
};
