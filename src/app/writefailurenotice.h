#pragma once
// Tells the operator, in the shared warning box, every file that cannot be written and why.
// The box is shared: a later warning replaces its text, and code hides it when its own
// condition ends. The list is owed until the operator has confirmed it with the list on the
// box, and comes back each time the box goes down without that.

#include <QObject>
#include <QPointer>
#include <QString>

class WarnBox;
namespace storage {
class WriteWatch;
}

class WriteFailureNotice : public QObject {
    Q_OBJECT
public:
    WriteFailureNotice(const storage::WriteWatch& watch, WarnBox* box, QObject* parent = nullptr);

    // Shows every file failing now with its cause, without blocking: detection goes on while
    // the operator reads it. Nothing when no file fails.
    void show();
    bool isOwed() const { return !shown_.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showAgainWhenFree();

    const storage::WriteWatch& watch_;
    QPointer<WarnBox> box_;
    QString shown_;  // the list as last shown, until it is confirmed
};
