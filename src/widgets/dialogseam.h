#pragma once
// The one place every modal dialog of the program runs through.
//
// In production no answerer is installed and exec() runs the dialog's own modal loop. Tests
// (and CI, where nobody can press a button) install an answerer: the dialog is then never
// opened, the answerer decides the result and may drive the dialog itself first (type a
// password, call accept()).

#include <QDialog>
#include <QString>
#include <QVector>
#include <functional>
#include <vector>

namespace dialogs {

class Watch;

using Answerer = std::function<int(QDialog*)>;

// Installs an answerer (an empty one restores real modal dialogs).
void setAnswerer(Answerer answerer);
bool hasAnswerer();
// Runs the dialog: through the answerer when one is installed, else QDialog::exec(). `watch`
// is the subject's watch when the box is asked about one (question.h), null otherwise.
int exec(QDialog* dialog, const Watch* watch = nullptr);
// Boxes run without a subject since the process started.
int boxesRunWithoutSubject();

// Gives a dialog (or any window) a new parent without turning it into a child widget:
// QWidget::setParent(parent) alone would clear the window flags.
void adopt(QWidget* window, QWidget* parent, Qt::WindowFlags extraFlags = {});

// One dialog as the answerer saw it.
struct Asked {
    QString className;
    QString text;  // the dialog's "text" property (message or question), if it has one
    int answer = 0;
    bool aboutSubject = false;  // asked through dialogs::ask()
};

// Installs an answerer for the life of a scope and restores the previous one afterwards.
// Either a function, or a list of answers given in order (then `fallback` once the list is
// used up). Every dialog answered is recorded.
class ScopedAnswerer {
public:
    explicit ScopedAnswerer(Answerer answerer);
    explicit ScopedAnswerer(std::vector<int> answers, int fallback = QDialog::Rejected);
    ~ScopedAnswerer();
    ScopedAnswerer(const ScopedAnswerer&) = delete;
    ScopedAnswerer& operator=(const ScopedAnswerer&) = delete;

    const QVector<Asked>& asked() const { return asked_; }
    int count() const { return asked_.size(); }

private:
    int answer(QDialog* dialog, bool aboutSubject);

    Answerer answerer_;
    std::vector<int> answers_;
    size_t next_ = 0;
    int fallback_ = QDialog::Rejected;
    QVector<Asked> asked_;
    Answerer previous_;
};

}  // namespace dialogs
