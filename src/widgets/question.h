#pragma once
// Every question, password box and notice of the program is asked about something: an NG alarm
// and its latest judgement, an opening of a page, a visit of a screen, or the program itself.
// A modal box lets the cycle go on, so that subject may end or change while the operator reads:
// the box then closes by itself and answers Gone, and the caller does nothing. A stop of the
// program ends every box, and every box asked after it answers Gone at once.
//
// The subject is read when the caller's road begins (the press of the button) and compared at
// every box of the road, so a change between two boxes of one road is seen too. A reading is a
// list of counters that only grow, so a subject that changed and came back reads as changed.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QDialog;
class QTimer;

namespace dialogs {

enum class Answer { No, Yes, Gone };

class Subject {
public:
    using Reading = std::vector<qint64>;
    using Reader = std::function<Reading()>;

    // Reads the subject now: what the operator is asked about.
    Subject(const char* name, Reader read);
    // The program itself: it ends only with the program's stop.
    static Subject program();

    // Unchanged since it was read, and the program is not stopping.
    bool holds() const;
    const char* name() const { return name_; }

private:
    const char* name_;
    Reader read_;
    Reading asked_;
};

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

// The program stops: every open box is closed and every box asked from now on answers Gone.
void stopAll();
bool stopping();
// A new start in the same process (tests start the program many times) asks again.
void resumeAsking();

}  // namespace dialogs
