#pragma once
// The boxes of the operator's roads, asked about a subject (subject.h): a box whose subject
// ends or changes while it is open closes by itself and answers Gone, and a stop of the
// program ends every box.

#include <QObject>
#include <QString>
#include <functional>

#include "subject.h"

class QDialog;
class QTimer;

namespace dialogs {

// Watches the subject of one open box; ended() closes the box. Made only by ask().
class Watch : public QObject {
    Q_OBJECT
public:
    explicit Watch(const Subject& subject);
    ~Watch() override;
    bool isOver() const { return over_; }
    // Ends the box: its subject is gone or the program stops.
    void end();

signals:
    void ended();

private:
    void look();

    const Subject& subject_;
    QTimer* poll_;
    bool over_ = false;
};

// Runs the box about the subject: Yes when confirmed, No when declined, Gone when the subject
// changed before or while the box was open or the program stops. Boxes of the toolkit
// (MessageDialog) keep their own rules (the shared warning box waits its turn); other dialogs
// are closed as rejected when their subject goes.
Answer ask(QDialog& box, const Subject& about);
inline bool confirmed(Answer a) {
    return a == Answer::Yes;
}

// The shared boxes of the process (gpWarnBox, gpChooseBox) with these words, about the subject:
// a notice (Yes once confirmed) and a question.
Answer notify(const QString& text, const Subject& about);
Answer confirm(const QString& text, const Subject& about);

// Shows the box without blocking (the cycle goes on while it is up), asking about the subject:
// its Confirm runs the deed only while the subject holds; a subject that changes, the box
// taken down by other means, or the program's stop ends the question unanswered. Asked again
// while up, the box stays and only the newest question counts.
// A test sees such a question with isAsking(box) and answers it as the operator does: accept()
// (Confirm) or reject() on the box (the count box gpProductAlarmWarnBox, the camera-loss box
// gpLostCameraWarnBox).
void askWithoutBlocking(QDialog& box, const Subject& about, std::function<void()> deed);
// The box is up and its question's subject stands now: a box still showing a question whose
// subject changed, before the poll takes it down, asks nothing.
bool isAsking(const QDialog& box);

// The program stops: every open box is closed and every box asked from now on answers Gone.
void stopAll();

}  // namespace dialogs
