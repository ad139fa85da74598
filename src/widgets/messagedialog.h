#pragma once
#include <QDialog>
#include <QString>

class QLabel;

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

    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;
    QLabel* messageLabel() const { return message_; }
    // Shows a message at once (used while the box is open).
    void showMessage(const QString& text);

private:
    void centre();

    QString text_;
    QLabel* message_;
};
