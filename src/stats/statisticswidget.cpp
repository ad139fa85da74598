#include "statisticswidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>

#include "globals.h"
#include "resstatisticsparam.h"
#include "statisticsdaylist.h"

StatisticsWidget* StatisticsWidget::instance = nullptr;

StatisticsWidget* StatisticsWidget::getInstance(QWidget* parent) {
    if (!instance) instance = new StatisticsWidget(parent);
    return instance;
}

StatisticsWidget::StatisticsWidget(QWidget* parent)
    : QWidget(parent), dayList_(new QListWidget(this)), totals_(new QLabel(this)) {
    if (!instance) instance = this;
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(dayList_);
    layout->addWidget(totals_, 1);
    connect(dayList_, &QListWidget::itemClicked, this, &StatisticsWidget::UpdateRecord);
    hide();
}

StatisticsWidget::~StatisticsWidget() {
    if (instance == this) instance = nullptr;
}

void StatisticsWidget::updateList() {
    if (!gpResStatisticsParam) return;
    dayList_->clear();
    dayList_->addItems(stats::statisticsDays(gpResStatisticsParam->archiveDir(),
                                             gpResStatisticsParam->getCurDBDate()));
    dayList_->setCurrentRow(0);
    UpdateRecord(dayList_->item(0));
}

void StatisticsWidget::UpdateRecord(QListWidgetItem* item) {
    if (!item || !gpResStatisticsParam) return;
    emit sigUpdateRecord(dayList_->row(item),
                         stats::dayFilePath(gpResStatisticsParam->archiveDir(), item->text()));
}

void StatisticsWidget::slotUpdateRecord(bool ok) {
    Q_UNUSED(ok)
    chooseShownGroup();
    refreshTotals();
}

void StatisticsWidget::checkUpdate() {
    if (dayList_->currentRow() == 0) refreshTotals();
}

// The running day opens on the current parameter group, an archived day on its first group.
void StatisticsWidget::chooseShownGroup() {
    if (!gpResStatisticsParam) return;
    const QStringList groups = gpResStatisticsParam->getGroups();
    QString shown = groups.isEmpty() ? QString() : groups.first();
    const QString current = gpResStatisticsParam->currentGroupName();
    if (dayList_->currentRow() == 0 && groups.contains(current)) shown = current;
    gpResStatisticsParam->curGroupName = shown;
}

void StatisticsWidget::refreshTotals() {
    totals_->setText(totalsText());
}

QString StatisticsWidget::totalsText() const {
    if (!gpResStatisticsParam) return QString();
    const ResStatisticsParam& model = *gpResStatisticsParam;
    return QStringLiteral("%1  OK %2  NG %3")
        .arg(model.curGroupName)
        .arg(model.getCount(SHIFT_ALLDAY, true, stats::kSummaryIndex, stats::kSummaryIndex))
        .arg(model.getCount(SHIFT_ALLDAY, false, stats::kSummaryIndex, stats::kSummaryIndex));
}
