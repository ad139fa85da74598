#pragma once
// Tells the operator, in the shared warning box, every file that cannot be written and why.
// The box is shared: a warning already on it is read with its own words before the list
// takes the box. The list is owed until the operator has confirmed it with the list on the box,
// and comes back each time the box goes down without that. A confirmed failure is not told
// again while the same file keeps failing with the same cause in the same round.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "writewatch.h"

class WarnBox;

class WriteFailureNotice : public QObject {
    Q_OBJECT
public:
    WriteFailureNotice(const storage::WriteWatch& watch, WarnBox* box, QObject* parent = nullptr);

    // Shows every file failing now with its cause, without blocking: detection goes on while
    // the operator reads it. Nothing when no file fails or the operator has confirmed each.
    void show();
    bool isOwed() const { return !owed_.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Told {
        int store;
        QString file;
        storage::WriteCause cause;
        int round;
        bool operator==(const Told& o) const {
            return store == o.store && file == o.file && cause == o.cause && round == o.round;
        }
    };

    void showAgainWhenFree();
    void confirmed();

    const storage::WriteWatch& watch_;
    QPointer<WarnBox> box_;
    QString owed_;  // the list, until it is confirmed
    QList<Told> owedFailures_;
    QString onBox_;  // the list as last put on the box
    QList<Told> confirmed_;
};
