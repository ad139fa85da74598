#include "paramgroupspage.h"

#include <QLabel>
#include <QListWidget>

#include "colorbutton.h"
#include "edit.h"
#include "globals.h"
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
      name_(new Edit(this, Edit::Text)) {
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

void ParamGroupsPage::report(ParamGroups::Result result) {
    switch (result) {
        case ParamGroups::Result::Ok:
            return;
        case ParamGroups::Result::EmptyName:
        case ParamGroups::Result::InvalidName:
            host_.warn(lan(kEntryNameEmpty));
            return;
        case ParamGroups::Result::DefaultGroup:
            host_.warn(lan(kEntryDefaultGroup));
            return;
        default:
            host_.warn(lan(kEntryFailed));
    }
}

bool ParamGroupsPage::backup() {
    const QString name = name_->text().trimmed();
    if (name.isEmpty()) {
        host_.warn(lan(kEntryNameEmpty));
        return false;
    }
    if (name == QLatin1String(params::kDefaultGroupName)) {
        host_.warn(lan(kEntryDefaultGroup));
        return false;
    }
    if (!host_.ask(lan(kEntryAskBackup))) return false;
    const bool exists = groups_.indexOf(name) >= 0;
    if (exists && !host_.ask(lan(kEntryAskOverwrite))) return false;
    const ParamGroups::Result result = groups_.backup(name, exists);
    report(result);
    if (result != ParamGroups::Result::Ok) return false;
    makeCurrent(name);
    host_.insertRecord(lan(kEntryBackup).trimmed() + QLatin1Char(' ') + name);
    reload();
    return true;
}

bool ParamGroupsPage::restore() {
    const QString name = chosen();
    if (name.isEmpty()) return false;
    // The question is modal: an NG alarm may close the settings screen holding the page, which
    // ends the visit with nothing stored and nobody to see a restart.
    const QWidget* screen = parentWidget() ? parentWidget() : this;
    const bool shown = screen->isVisible();
    if (!host_.ask(lan(kEntryAskRestore))) return false;
    if (shown && !screen->isVisible()) return false;
    const ParamGroups::Result result = groups_.restore(name);
    report(result);
    if (result != ParamGroups::Result::Ok) return false;
    makeCurrent(name);
    // The English text has no place for the name ("... to 1%"): the name follows it.
    const QString record = lan(kEntryRestoreRecord);
    host_.insertRecord(record.contains(QLatin1String("%1")) ? record.arg(name)
                                                            : record + QLatin1Char(' ') + name);
    // The restored database is read at the next start.
    if (!restartPanel(host_)) emit restoredWithoutRestart();
    return true;
}

bool ParamGroupsPage::remove() {
    const QString name = chosen();
    if (name.isEmpty()) return false;
    if (name == QLatin1String(params::kDefaultGroupName)) {
        host_.warn(lan(kEntryDefaultGroup));
        return false;
    }
    if (!host_.ask(lan(kEntryAskDelete))) return false;
    const QString current = gpWPara->getCurGroupName();
    const ParamGroups::Result result = groups_.remove(name);
    report(result);
    if (result != ParamGroups::Result::Ok) return false;
    // Group numbers follow the folder names, so the current group's number may have moved.
    makeCurrent(current == name ? QString() : current);
    host_.insertRecord(lan(kEntryDelete).trimmed() + QLatin1Char(' ') + name);
    reload();
    return true;
}

}  // namespace settings
