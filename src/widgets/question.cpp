#include "question.h"

#include <QDebug>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "choosebox.h"
#include "dialogseam.h"
#include "globals.h"
#include "messagedialog.h"
#include "toolkitlimits.h"
#include "warnbox.h"

namespace dialogs {

namespace {
// The watches of the boxes open now, innermost last: a stop ends them all.
std::vector<Watch*>& openWatches() {
    static std::vector<Watch*> watches;
    return watches;
}
}  // namespace

Watch::Watch(const Subject& subject) : subject_(subject), poll_(new QTimer(this)) {
    openWatches().push_back(this);
    // A real box is looked after while its modal loop runs; an answered one is compared
    // once the answerer returns.
    connect(poll_, &QTimer::timeout, this, &Watch::look);
    poll_->start(toolkit::kSubjectPollMs);
}

Watch::~Watch() {
    auto& watches = openWatches();
    watches.erase(std::remove(watches.begin(), watches.end(), this), watches.end());
}

void Watch::look() {
    if (!subject_.holds()) end();
}

void Watch::end() {
    if (over_) return;
    over_ = true;
    poll_->stop();
    emit ended();
}

namespace {
bool shownAbout(const Subject& about, const QString& words) {
    if (about.holds()) return true;
    qInfo().noquote() << QStringLiteral("Dialog not shown, its subject is gone (%1): %2")
                             .arg(QLatin1String(about.name()), words.simplified());
    return false;
}
}  // namespace

Answer ask(QDialog& box, const Subject& about) {
    const QString text = box.property("text").toString().simplified();
    if (!shownAbout(about, text)) return Answer::Gone;
    Watch watch(about);
    int result = QDialog::Rejected;
    if (auto* message = qobject_cast<MessageDialog*>(&box)) {
        result = message->execAbout(&watch);
    } else {
        QObject::connect(&watch, &Watch::ended, &box, [&box] {
            if (box.isVisible()) box.done(QDialog::Rejected);
        });
        result = dialogs::exec(&box, &watch);
        // A modal loop that returns while its box is still up was ended from outside: the
        // program is quitting.
        if (!hasAnswerer() && box.isVisible()) {
            stopAll();
            box.hide();
        }
    }
    if (watch.isOver() || !about.holds()) {
        qInfo().noquote() << QStringLiteral("Dialog gone with its subject (%1): %2")
                                 .arg(QLatin1String(about.name()), text);
        return Answer::Gone;
    }
    return result == QDialog::Accepted ? Answer::Yes : Answer::No;
}

Answer notify(const QString& text, const Subject& about) {
    // Words of a notice that is not shown must not wait on the box for a later turn.
    if (!gpWarnBox || !shownAbout(about, text)) return Answer::Gone;
    gpWarnBox->setText(text);
    return ask(*gpWarnBox, about);
}

Answer confirm(const QString& text, const Subject& about) {
    if (!gpChooseBox || !shownAbout(about, text)) return Answer::Gone;
    gpChooseBox->setText(text);
    return ask(*gpChooseBox, about);
}

namespace {
// The question a box shown without blocking asks; it lives on the box until answered or ended.
class OpenQuestion : public QObject {
public:
    OpenQuestion(QDialog& box, const Subject& about, std::function<void()> deed)
        : QObject(&box), box_(box), about_(about), watch_(about_), deed_(std::move(deed)) {
        setObjectName(QStringLiteral("openQuestion"));
        QObject::connect(&watch_, &Watch::ended, this, [this] {
            log("Dialog gone with its subject");
            finish();
            if (box_.isVisible()) box_.done(QDialog::Rejected);
        });
        QObject::connect(&box_, &QDialog::finished, this, [this](int result) { answered(result); });
        box_.installEventFilter(this);
    }

    static OpenQuestion* of(const QDialog& box) {
        return box.findChild<OpenQuestion*>(QStringLiteral("openQuestion"),
                                            Qt::FindDirectChildrenOnly);
    }
    // The subject stands as it was asked about; the poll that ends a stale question comes later.
    bool holds() const { return !watch_.isOver() && about_.holds(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A box hidden without an answer (the condition that raised it ended) asks nothing
        // more; a confirm hides the box before it reports, so look once that is done.
        if (watched == &box_ && event->type() == QEvent::Hide)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    // Answered meanwhile: taken off the box, which may be gone already.
                    if (parent() && !box_.isVisible()) finish();
                },
                Qt::QueuedConnection);
        return false;
    }

private:
    void answered(int result) {
        // Taken off the box first: the deed may ask the box again.
        std::function<void()> deed = std::move(deed_);
        const bool held = holds();
        finish();
        if (result != QDialog::Accepted) return;
        if (!held) {
            log("Dialog answered after its subject was gone");
            return;
        }
        if (deed) deed();
    }
    void finish() {
        if (parent() == nullptr) return;
        box_.removeEventFilter(this);
        QObject::disconnect(&box_, nullptr, this, nullptr);
        setParent(nullptr);
        QObject::disconnect(&watch_, nullptr, this, nullptr);
        watch_.end();
        deleteLater();
    }
    void log(const char* what) const {
        qInfo().noquote() << QStringLiteral("%1 (%2): %3")
                                 .arg(QLatin1String(what), QLatin1String(about_.name()),
                                      box_.property("text").toString().simplified());
    }

    QDialog& box_;
    const Subject about_;
    Watch watch_;
    std::function<void()> deed_;
};
}  // namespace

void askWithoutBlocking(QDialog& box, const Subject& about, std::function<void()> deed) {
    // A question asked before on this box is replaced: only the newest subject counts.
    delete OpenQuestion::of(box);
    if (!shownAbout(about, box.property("text").toString())) return;
    new OpenQuestion(box, about, std::move(deed));
    box.show();
    box.raise();
}

bool isAsking(const QDialog& box) {
    const OpenQuestion* question = OpenQuestion::of(box);
    return box.isVisible() && question && question->holds();
}

void stopAll() {
    if (!stopping()) qInfo("the program stops: every question and notice ends");
    markStopping();
    // Ending a watch may close a box whose caller then leaves: copy first.
    const std::vector<Watch*> watches = openWatches();
    for (Watch* w : watches) w->end();
}

}  // namespace dialogs
