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

#include <QtGlobal>
#include <functional>
#include <vector>

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

// The program is stopping: every subject ends with it (the boxes are ended by question.h).
bool stopping();
void markStopping();
// A new start in the same process (tests start the program many times) asks again.
void resumeAsking();

}  // namespace dialogs
