#pragma once
#include <QVector>

#include "settingspage.h"

class QLabel;

// The IO-name page: the names of the input and output terminals in use (gaName). The owner
// initialises it once and keeps it hidden until needed; while it is visible the tool-bar
// commands are ignored.
class CustomIONameWidget : public SettingsPage {
    Q_OBJECT
public:
    explicit CustomIONameWidget(QWidget* owner);

    // Fills the page with the current input and output names and the texts of the language
    // table, hidden.
    void init();
    // The name shown for input terminal i / output terminal j (1-based); empty when not shown.
    QString inputName(int terminal) const;
    QString outputName(int terminal) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill();

    QVector<QLabel*> inputs_;
    QVector<QLabel*> outputs_;
    QVector<QLabel*> captions_;
};
