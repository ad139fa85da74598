#pragma once
#include <QDialog>
#include <QString>
#include <QVector>

class ColorButton;
class QLabel;

namespace dialogs {
class Watch;
}

// Common frame of the toolkit's modal boxes: a centred, frameless dialog with a message
// area. Every box runs through the dialog seam (dialogseam.h), so callers keep writing
// box->exec() and tests answer without a person.
class MessageDialog : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    MessageDialog(QWidget* parent, int width, int height);

    // The message of the box: shown at once when the box is open, else the next time it is
    // shown. The shared warning box keeps the words on it instead (warnbox.h).
    virtual void setText(const QString& text);
    QString text() const { return text_; }

    // A run without a subject (a box nobody asks about anything); the roads of the operator
    // use dialogs::ask() (question.h), which runs execAbout().
    int exec() override;
    // Runs the box; when `watch` ends (its subject is gone, the program stops) the box goes
    // down without an answer.
    virtual int execAbout(dialogs::Watch* watch);

protected:
    void showEvent(QShowEvent* event) override;
    QLabel* messageLabel() const { return message_; }
    // Shows a message at once (used while the box is open).
    void showMessage(const QString& text);
    // The button shows the language table's entry in the language in force whenever the box is
    // shown: a box made before the stored language was loaded must not keep the first one's.
    void nameButton(ColorButton* button, int entry);
    // The box's modal run returned while the box is still up: its loop was ended from outside,
    // which only the program's stop does. Takes the box down and says so.
    bool endedFromOutside();

private:
    void centre();

    QString text_;
    QLabel* message_;
    struct NamedButton {
        ColorButton* button;
        int entry;
    };
    QVector<NamedButton> namedButtons_;
    void nameInForce(const NamedButton& named);
};
