#include "dialogseam.h"

#include <QVariant>
#include <utility>

namespace dialogs {

namespace {
Answerer& installed() {
    static Answerer answerer;
    return answerer;
}
}  // namespace

void setAnswerer(Answerer answerer) {
    installed() = std::move(answerer);
}

bool hasAnswerer() {
    return static_cast<bool>(installed());
}

int exec(QDialog* dialog) {
    if (!dialog) return QDialog::Rejected;
    if (!hasAnswerer()) return dialog->QDialog::exec();
    // Copy first: the answerer may replace itself while it runs.
    Answerer answerer = installed();
    dialog->setResult(QDialog::Rejected);  // as a real run starts
    const int answer = answerer(dialog);
    dialog->setResult(answer);
    return answer;
}

void adopt(QWidget* window, QWidget* parent, Qt::WindowFlags extraFlags) {
    if (!window) return;
    window->setParent(parent, window->windowFlags() | extraFlags);
}

ScopedAnswerer::ScopedAnswerer(Answerer answerer)
    : answerer_(std::move(answerer)), previous_(installed()) {
    setAnswerer([this](QDialog* dialog) { return answer(dialog); });
}

ScopedAnswerer::ScopedAnswerer(std::vector<int> answers, int fallback)
    : answers_(std::move(answers)), fallback_(fallback), previous_(installed()) {
    setAnswerer([this](QDialog* dialog) { return answer(dialog); });
}

ScopedAnswerer::~ScopedAnswerer() {
    setAnswerer(previous_);
}

int ScopedAnswerer::answer(QDialog* dialog) {
    Asked asked;
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
