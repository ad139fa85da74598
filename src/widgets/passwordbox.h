#pragma once
#include "messagedialog.h"

class Edit;

// The password dialog. The operator password reaches level 1 (Primary), the service code
// level 2 (Advanced); anything else leaves level 0 and asks again. The main window gives both
// secrets to the box before running it (the service code is a stored setting) and reads the
// level afterwards, or follows sigLoginLevel.
class PasswordBox : public MessageDialog {
    Q_OBJECT
public:
    enum Level { Unlogged = 0, Primary = 1, Advanced = 2 };

    explicit PasswordBox(QWidget* parent);

    void setCredentials(const QString& operatorPassword, const QString& serviceCode);
    // The level the last check gave (0 until a password is accepted in this run).
    int loginLevel() const { return level_; }
    // Fills the entry field as if typed (used by tests and scripted answers).
    void setEnteredPassword(const QString& password);
    Edit* entryField() const { return entry_; }

    // Each run starts with an empty entry and level 0.
    int execAbout(dialogs::Watch* watch) override;

    // The level an entered text gives; empty secrets never match.
    static int levelFor(const QString& entered, const QString& operatorPassword,
                        const QString& serviceCode);

public slots:
    // Checks the entry: a known password closes the box with its level, a wrong one shows
    // "The password is wrong" and clears the entry for another try.
    void accept() override;

signals:
    // Every check reports its level (0 for a wrong password).
    void sigLoginLevel(int level);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resetEntry();

    Edit* entry_;
    QString operatorPassword_;
    QString serviceCode_;
    int level_ = Unlogged;
};
