#include "dialogseam.h"

#include <QDebug>
#include <QVariant>
#include <utility>

namespace dialogs {

namespace {
Answerer& installed() {
    static Answerer answerer;
    return answerer;
}
int gWithoutSubject = 0;
// Whether the box the answerer is answering now was asked about a subject.
bool gAnsweringAboutSubject = false;
}  // namespace

int boxesRunWithoutSubject() {
    return gWithoutSubject;
}

void setAnswerer(Answerer answerer) {
    installed() = std::move(answerer);
}

bool hasAnswerer() {
    return static_cast<bool>(installed());
}

int exec(QDialog* dialog, const Watch* watch) {
    if (!dialog) return QDialog::Rejected;
    if (!watch) {
        ++gWithoutSubject;
        qWarning().noquote() << "Dialog run without a subject:" << dialog->metaObject()->className()
                             << dialog->property("text").toString().simplified();
    }
    if (!hasAnswerer()) {
        // What the operator was asked and answered belongs in the log: a screen nobody watches
        // (a panel started remotely) otherwise waits without a trace.
        const QString text = dialog->property("text").toString().simplified();
        const char* kind = dialog->metaObject()->className();
        qInfo().noquote() << "Dialog shown:" << kind << text;
        const int answer = dialog->QDialog::exec();
        qInfo().noquote() << "Dialog answered:" << kind << answer;
        return answer;
    }
    // Copy first: the answerer may replace itself while it runs.
    Answerer answerer = installed();
    dialog->setResult(QDialog::Rejected);  // as a real run starts
    const bool outer = std::exchange(gAnsweringAboutSubject, watch != nullptr);
    const int answer = answerer(dialog);
    gAnsweringAboutSubject = outer;
    dialog->setResult(answer);
    return answer;
}

void adopt(QWidget* window, QWidget* parent, Qt::WindowFlags extraFlags) {
    if (!window) return;
    window->setParent(parent, window->windowFlags() | extraFlags);
}

ScopedAnswerer::ScopedAnswerer(Answerer answerer)
    : answerer_(std::move(answerer)), previous_(installed()) {
    setAnswerer([this](QDialog* dialog) { return answer(dialog, gAnsweringAboutSubject); });
}

ScopedAnswerer::ScopedAnswerer(std::vector<int> answers, int fallback)
    : answers_(std::move(answers)), fallback_(fallback), previous_(installed()) {
    setAnswerer([this](QDialog* dialog) { return answer(dialog, gAnsweringAboutSubject); });
}

ScopedAnswerer::~ScopedAnswerer() {
    setAnswerer(previous_);
}

int ScopedAnswerer::answer(QDialog* dialog, bool aboutSubject) {
    Asked asked;
    asked.aboutSubject = aboutSubject;
    asked.className = QString::fromLatin1(dialog->metaObject()->className());
    asked.text = dialog->property("text").toString();
    if (answerer_)
        asked.answer = answerer_(dialog);
    else if (next_ < answers_.size())
        asked.answer = answers_[next_++];
    else
        asked.answer = fallback_;
    asked_.append(asked);
    return asked.answer;
}

}  // namespace dialogs
