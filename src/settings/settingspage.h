#pragma once
#include <QWidget>

class QLabel;
class ColorButton;

// Frame of a settings and maintenance page: a full-size page over its owner with a title and
// a close button. Pages are created hidden; the owner shows them.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    QString title() const;
    // Reads the title and button texts from the language table again.
    void refreshTexts();

protected:
    SettingsPage(QWidget* owner, int titleEntry);
    // The close button: hides the page unless the page ends otherwise.
    virtual void closePage() { hide(); }

private:
    int titleEntry_;
    QLabel* title_;
    ColorButton* close_;
};
