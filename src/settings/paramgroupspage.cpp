#include "paramgroupspage.h"

#include <QLabel>
#include <QListWidget>

#include "colorbutton.h"
#include "edit.h"
#include "globals.h"
#include "pagevisits.h"
#include "settingslayout.h"
#include "settingssession.h"
#include "wizardpara.h"

namespace settings {

namespace {
constexpr int kEntryBackup = 182;
constexpr int kEntryRestore = 183;
constexpr int kEntryDelete = 184;
constexpr int kEntryNameEmpty = 282;
constexpr int kEntryAskBackup = 283;
constexpr int kEntryAskOverwrite = 284;
constexpr int kEntryAskRestore = 285;
constexpr int kEntryRestoreRecord = 286;
constexpr int kEntryAskDelete = 287;
constexpr int kEntryDefaultGroup = 653;
constexpr int kEntryNameTitle = 614;  // "name:"
constexpr int kEntryFailed = 135;
constexpr int kListWidth = 900;
}  // namespace

ParamGroupsPage::ParamGroupsPage(SettingsHost& host, QWidget* parent, const QString& workDir)
    : QWidget(parent),
      host_(host),
      groups_(workDir),
      list_(new QListWidget(this)),
      name_(new Edit(this, Edit::Text)),
      visits_(new PageVisits(parent ? parent : this, "a visit of the settings screen")) {
    QFont f = font();
    f.setPixelSize(kLabelFontPx);
    list_->setFont(f);
    list_->setGeometry(0, 0, kListWidth, 700);
    list_->setStyleSheet(
        QStringLiteral("QListWidget{background:white;color:black;}"
                       "QListWidget::item{height:56px;}"));
    const int x = kListWidth + 2 * kMargin;
    auto* title = new QLabel(lan(kEntryNameTitle).trimmed(), this);
    title->setFont(f);
    title->setStyleSheet(QStringLiteral("color:white;"));
    title->setGeometry(x, 0, 400, kRowMinHeight);
    name_->setGeometry(x, kRowMinHeight + kRowGap, 500, kRowMinHeight);
    name_->setMaxLength(64);
    name_->setStyleSheet(QStringLiteral("QLineEdit{background:white;color:black;}"));
    const struct {
        int entry;
        bool (ParamGroupsPage::*action)();
    } buttons[] = {{kEntryBackup, &ParamGroupsPage::backup},
                   {kEntryRestore, &ParamGroupsPage::restore},
                   {kEntryDelete, &ParamGroupsPage::remove}};
    int y = 3 * (kRowMinHeight + kRowGap);
    for (const auto& b : buttons) {
        auto* button = new ColorButton(lan(b.entry).trimmed(), this, ColorButton::Large);
        button->setGeometry(x, y, kButtonWidth + 100, kButtonHeight);
        const auto action = b.action;
        connect(button, &QPushButton::clicked, this, [this, action] { (this->*action)(); });
        y += kButtonHeight + 2 * kRowGap;
    }
    connect(list_, &QListWidget::currentTextChanged, name_, &QLineEdit::setText);
}

void ParamGroupsPage::reload() {
    list_->clear();
    list_->addItems(groups_.names());
    const QList<QListWidgetItem*> current =
        list_->findItems(gpWPara->getCurGroupName(), Qt::MatchExactly);
    if (!current.isEmpty()) list_->setCurrentItem(current.first());
}

QString ParamGroupsPage::chosen() const {
    return list_->currentItem() ? list_->currentItem()->text() : QString();
}

void ParamGroupsPage::makeCurrent(const QString& name) {
    gpWPara->selectGroup(name);
    // The editing copy must not carry the old group back at the next confirm.
    gpWParaBak->curGroupIndex = gpWPara->curGroupIndex;
    gpWParaBak->curGroupName = gpWPara->curGroupName;
}

dialogs::Answer ParamGroupsPage::report(ParamGroups::Result result, const dialogs::Subject& visit) {
    switch (result) {
        case ParamGroups::Result::Ok:
            return dialogs::Answer::Yes;
        case ParamGroups::Result::EmptyName:
        case ParamGroups::Result::InvalidName:
            return host_.warn(lan(kEntryNameEmpty), visit);
        case ParamGroups::Result::DefaultGroup:
            return host_.warn(lan(kEntryDefaultGroup), visit);
        default:
            return host_.warn(lan(kEntryFailed), visit);
    }
}

bool ParamGroupsPage::backup() {
    const dialogs::Subject visit = visits_->subject();
    const QString name = name_->text().trimmed();
    if (name.isEmpty()) {
        host_.warn(lan(kEntryNameEmpty), visit);
        return false;
    }
    if (name == QLatin1String(params::kDefaultGroupName)) {
        host_.warn(lan(kEntryDefaultGroup), visit);
        return false;
    }
    if (host_.ask(lan(kEntryAskBackup), visit) != dialogs::Answer::Yes) return false;
    const bool exists = groups_.indexOf(name) >= 0;
    if (exists && host_.ask(lan(kEntryAskOverwrite), visit) != dialogs::Answer::Yes) return false;
    const ParamGroups::Result result = groups_.backup(name, exists);
    if (result != ParamGroups::Result::Ok) {
        report(result, visit);
        return false;
    }
    makeCurrent(name);
    host_.insertRecord(lan(kEntryBackup).trimmed() + QLatin1Char(' ') + name);
    reload();
    return true;
}

bool ParamGroupsPage::restore() {
    const dialogs::Subject visit = visits_->subject();
    const QString name = chosen();
    if (name.isEmpty()) return false;
    // An NG alarm may close the screen holding the page while the question is open: the visit
    // ended with nothing stored and nobody to see a restart.
    if (host_.ask(lan(kEntryAskRestore), visit) != dialogs::Answer::Yes) return false;
    const ParamGroups::Result result = groups_.restore(name);
    if (result != ParamGroups::Result::Ok) {
        report(result, visit);
        return false;
    }
    makeCurrent(name);
    // The English text has no place for the name ("... to 1%"): the name follows it.
    const QString record = lan(kEntryRestoreRecord);
    host_.insertRecord(record.contains(QLatin1String("%1")) ? record.arg(name)
                                                            : record + QLatin1Char(' ') + name);
    // The restored database is read at the next start. Where the panel stays up the program
    // takes it at once, whatever becomes of the notice of a refused restart: the files are
    // the group's already.
    restartPanel(host_, visit, [this] { emit restoredWithoutRestart(); });
    return true;
}

bool ParamGroupsPage::remove() {
    const dialogs::Subject visit = visits_->subject();
    const QString name = chosen();
    if (name.isEmpty()) return false;
    if (name == QLatin1String(params::kDefaultGroupName)) {
        host_.warn(lan(kEntryDefaultGroup), visit);
        return false;
    }
    if (host_.ask(lan(kEntryAskDelete), visit) != dialogs::Answer::Yes) return false;
    const QString current = gpWPara->getCurGroupName();
    const ParamGroups::Result result = groups_.remove(name);
    if (result != ParamGroups::Result::Ok) {
        report(result, visit);
        return false;
    }
    // Group numbers follow the folder names, so the current group's number may have moved.
    makeCurrent(current == name ? QString() : current);
    host_.insertRecord(lan(kEntryDelete).trimmed() + QLatin1Char(' ') + name);
    reload();
    return true;
}

}  // namespace settings
