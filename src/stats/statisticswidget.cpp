#include "statisticswidget.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QThread>

#include "camereatabwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "dateseletdialog.h"
#include "exportresultworker.h"
#include "globals.h"
#include "pagevisits.h"
#include "qfont_pix.h"
#include "question.h"
#include "resstatisticsparam.h"
#include "statisticsdaylist.h"
#include "statisticspages.h"
#include "warnbox.h"

using namespace stats::screen;

namespace {

enum HourBox { MorningStart, MorningEnd, NightStart, NightEnd };
const char* const kHourKeys[] = {"morningsStart", "morningsEnd", "nightStart", "nightEnd"};

// Shown while the export runs; its end takes it back.
QString exportStartedText() {
    return StatisticsWidget::tr("开始生产统计数据导出\n导出进度可在主界面右下角查看");
}

QFont panelFont() {
    return QFont_Pix(QString::fromLatin1(kFontFamily), kTopRowFontPx);
}

ComboBox* comboBox(QWidget* parent, int width, int itemHeight) {
    auto* box = new ComboBox(parent);
    box->setFixedSize(width, kRowHeight);
    box->setFont(panelFont());
    box->view()->setFont(panelFont());
    box->setItemHeight(itemHeight);
    return box;
}

QString tabSheet(int preferredWidth, int tabs) {
    return QStringLiteral("QTabBar::tab{width: %1px; height: %2px; font-size: %3px;}")
        .arg(stats::fittedTabWidth(preferredWidth, tabs))
        .arg(kTabHeight)
        .arg(kTabFontPx);
}

}  // namespace

StatisticsWidget* StatisticsWidget::instance = nullptr;

StatisticsWidget* StatisticsWidget::getInstance(QWidget* parent) {
    if (!instance) instance = new StatisticsWidget(parent);
    return instance;
}

StatisticsWidget::StatisticsWidget(QWidget* parent)
    : QWidget(parent),
      cameraTabs_(new QTabWidget(this)),
      dayList_(new QListWidget(this)),
      visits_(new PageVisits(this, "a visit of the statistics")) {
    if (!instance) instance = this;
    setFixedSize(kScreenWidth, kScreenHeight);

    cameraTabs_->setFixedSize(kTabsWidth, kTabsHeight);
    const int cameras = qBound(0, numCamera, kMaxTabs - 1);
    cameraTabs_->setStyleSheet(
        tabSheet(kCameraTabWidth, cameras + 1) +
        QStringLiteral("QTabBar::tab:selected {    background: #ff9900;    color: white;}"));
    const QStringList names = stats::cameraTabNames(cameras);
    for (int tab = 0; tab <= cameras; ++tab) {
        cameraPages_[tab] = new CamereaTabWidget(stats::recordIndexOfTab(tab), this);
        cameraPages_[tab]->setFixedSize(kTabsWidth, kTabsHeight);
        cameraPages_[tab]->setStyleSheet(tabSheet(kStepTabWidth, cameraPages_[tab]->count()));
        cameraTabs_->addTab(cameraPages_[tab], names.at(tab));
    }

    dayList_->setFixedHeight(kDayListHeight);
    connect(dayList_, SIGNAL(itemClicked(QListWidgetItem*)), this,
            SLOT(UpdateRecord(QListWidgetItem*)));

    auto* grid = new QGridLayout(this);
    grid->addLayout(buildTopRow(), 0, 0, 1, 11);
    grid->addWidget(dayList_, 1, 0, 15, 1, Qt::AlignTop);
    grid->addWidget(cameraTabs_, 1, 1, 15, 10, Qt::AlignTop);
    grid->setContentsMargins(kScreenMargin, kScreenMargin, kScreenMargin, kScreenMargin);
    startExportThread();

    setStyleSheet(
        QStringLiteral("StatisticsWidget{background-color: #FFFFFF;background: #FFFFFF;}"
                       "QListWidget {font-size:22px;}QListWidget::item { height: 50px; }"));
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    hide();
}

StatisticsWidget::~StatisticsWidget() {
    if (instance == this) instance = nullptr;
    exportWorker_->requestStop();
    exportThread_->quit();
    exportThread_->wait();
    delete exportWorker_;
    delete exportThread_;
}

QLayout* StatisticsWidget::buildTopRow() {
    groupBox_ = comboBox(this, kGroupBoxWidth, kGroupBoxItemHeight);
    connect(groupBox_, &QComboBox::currentTextChanged, this, &StatisticsWidget::onGroupChosen);

    returnButton_ = new ColorButton(lan(kLanReturn), this, kButtonType);
    returnButton_->setFixedSize(kButtonWidth, kRowHeight);
    connect(returnButton_, SIGNAL(clicked()), this, SLOT(SlotConfirm()));
    exportButton_ = new ColorButton(lan(kLanExport), this, kButtonType);
    exportButton_->setFixedSize(kButtonWidth, kRowHeight);
    connect(exportButton_, SIGNAL(clicked()), this, SLOT(SlotExportData()));

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    // The row's fixed widths and full gaps together are wider than the panel: the gaps give
    // way first, so that no box is laid over a label.
    const auto gap = [row] {
        row->addSpacerItem(new QSpacerItem(kTopRowSpacing, 0, QSizePolicy::Preferred));
    };
    row->addWidget(groupBox_);
    gap();
    row->addLayout(buildShiftRow(tr("早班: 从"), hourBoxes_[MorningStart], hourBoxes_[MorningEnd]));
    gap();
    row->addLayout(buildShiftRow(tr("晚班: 从"), hourBoxes_[NightStart], hourBoxes_[NightEnd]));
    gap();
    row->addWidget(returnButton_);
    gap();
    row->addWidget(exportButton_);
    showModelHours();
    return row;
}

QLayout* StatisticsWidget::buildShiftRow(const QString& from, ComboBox*& start, ComboBox*& end) {
    const auto label = [this](const QString& text, int width) {
        auto* l = new QLabel(text, this);
        l->setFixedSize(width, kRowHeight);
        l->setFont(panelFont());
        return l;
    };
    QLabel* fromLabel = label(from, kShiftFromLabelWidth);
    QLabel* toLabel = label(tr("到"), kShiftToLabelWidth);
    toLabel->setAlignment(Qt::AlignCenter);
    start = comboBox(this, kShiftBoxWidth, kShiftBoxItemHeight);
    end = comboBox(this, kShiftBoxWidth, kShiftBoxItemHeight);
    for (ComboBox* box : {start, end})
        for (int hour = 0; hour < kHoursPerDay; ++hour) box->addItem(QString::number(hour), hour);

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(fromLabel, 0, Qt::AlignRight);
    row->addWidget(start, 0, Qt::AlignLeft);
    row->addWidget(toLabel, 0, Qt::AlignRight);
    row->addWidget(end, 0, Qt::AlignLeft);
    row->addStretch();
    return row;
}

CamereaTabWidget* StatisticsWidget::cameraPage(int tab) const {
    return tab >= 0 && tab < kMaxTabs ? cameraPages_[tab] : nullptr;
}

void StatisticsWidget::showEvent(QShowEvent* event) {
    move(gShowW / 2 - width() / 2, gShowH / 2 - height() / 2);
    initWidget();
    QWidget::showEvent(event);
}

void StatisticsWidget::showModelHours() {
    if (!gpResStatisticsParam) return;
    const ResStatisticsParam& model = *gpResStatisticsParam;
    const int hours[] = {model.morningsStart, model.morningsEnd, model.nightStart, model.nightEnd};
    for (int i = 0; i < 4; ++i) hourBoxes_[i]->setCurrentIndex(hours[i]);
}

void StatisticsWidget::initWidget() {
    // Hours changed but not confirmed on an earlier visit are dropped.
    showModelHours();
    updateList();
    updateGroupsList(true);
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
    emit sigUpdateRecord(dayList_->currentRow(),
                         stats::dayFilePath(gpResStatisticsParam->archiveDir(), item->text()));
}

void StatisticsWidget::slotUpdateRecord(bool ok) {
    Q_UNUSED(ok)
    updateGroupsList(true);
    refreshCurrentPage();
}

void StatisticsWidget::updateGroupsList(bool block) {
    if (!gpResStatisticsParam) return;
    groupBox_->blockSignals(block);
    groupBox_->clear();
    groupBox_->addItems(gpResStatisticsParam->getGroups());
    gpResStatisticsParam->curGroupName = groupBox_->currentText();
    groupBox_->blockSignals(false);
    if (dayList_->currentRow() == 0) {
        // No match clears the selection: the pages then show zeros for the missing group.
        groupBox_->setCurrentIndex(
            groupBox_->findText(gpResStatisticsParam->currentGroupName(), Qt::MatchCaseSensitive));
    }
}

void StatisticsWidget::onGroupChosen(const QString& name) {
    if (!gpResStatisticsParam) return;
    gpResStatisticsParam->curGroupName = name;
    refreshCurrentPage();
}

void StatisticsWidget::checkUpdate() {
    if (dayList_->currentRow() == 0) refreshCurrentPage();
}

void StatisticsWidget::refreshCurrentPage() {
    if (CamereaTabWidget* page = cameraPage(cameraTabs_->currentIndex())) page->updateData();
}

void StatisticsWidget::SlotConfirm() {
    const dialogs::Subject visit = visits_->subject();
    if (gpResStatisticsParam) {
        ResStatisticsParam& model = *gpResStatisticsParam;
        QJsonObject hours;
        for (int i = 0; i < 4; ++i)
            hours.insert(QLatin1String(kHourKeys[i]), hourBoxes_[i]->currentIndex());
        if (model.checkParam(hours) && !gpChooseBox) {
            qWarning() << "statistics: no question box - the shift hours stay as they were";
        } else if (model.checkParam(hours)) {
            const dialogs::Answer take = dialogs::confirm(lan(kLanSaveShiftHours), visit);
            if (take == dialogs::Answer::Gone) return;
            if (take == dialogs::Answer::Yes) {
                model.laodConfigFromJson(hours);
                model.setCurGroup();
                // Stored now: a restart before the next day change must keep them.
                model.saveConfig();
                model.checkDate();
            }
        }
    }
    hide();
}

// --- export to a USB disk ---

void StatisticsWidget::startExportThread() {
    exportThread_ = new QThread;
    exportThread_->setObjectName(QStringLiteral("statistics export"));
    exportWorker_ = new ExportResultWorker;
    exportWorker_->moveToThread(exportThread_);
    exportWorker_->setDisk(usbDisk_);
    // No day rollover may move the running day's database while the exporter reads it.
    connect(this, &StatisticsWidget::sigExportData, this, [] {
        if (gpResStatisticsParam) gpResStatisticsParam->setTimer(false);
    });
    connect(this, &StatisticsWidget::sigExportData, exportWorker_, &ExportResultWorker::work,
            Qt::QueuedConnection);
    connect(exportWorker_, &ExportResultWorker::exportProgress, this,
            &StatisticsWidget::sigExportProgress);
    connect(exportWorker_, &ExportResultWorker::finish, this, &StatisticsWidget::exportFinished);
    exportThread_->start();
}

void StatisticsWidget::setUsbDisk(const devices::UsbDiskFinder& disk) {
    usbDisk_ = disk;
    exportWorker_->setDisk(disk);
}

void StatisticsWidget::SlotExportData() {
    const dialogs::Subject visit = visits_->subject();
    if (!exportIdle_) {
        WarnBox busy(this);
        busy.setText(lan(kLanExporting));
        dialogs::ask(busy, visit);
        return;
    }
    while (usbDisk_.find().isEmpty()) {
        if (!gpChooseBox) {
            qWarning() << "statistics export: no USB disk and no question box";
            return;
        }
        if (dialogs::confirm(lan(kLanNoUsbDisk), visit) != dialogs::Answer::Yes) return;
    }
    QPair<QString, QString> days;
    {
        DateSeletDialog dialog;
        if (dialogs::ask(dialog, visit) != dialogs::Answer::Yes) return;
        days = dialog.getDays();
    }
    if (gpWarnBox) {
        gpWarnBox->setText(exportStartedText());
        gpWarnBox->show();
    }
    exportIdle_ = false;
    emit sigExportData(days);
}

void StatisticsWidget::exportFinished(int outcome) {
    exportIdle_ = true;
    if (gpResStatisticsParam) gpResStatisticsParam->setTimer(true);
    emit sigExportDataFinish();
    // Still up, or waiting behind another warning, it would tell an export that has ended.
    if (gpWarnBox) gpWarnBox->withdraw(exportStartedText());
    const int language = qBound(0, gLan, kLanguageCount - 1);
    WarnBox end(this);
    switch (outcome) {
        case ExportResultWorker::Exported:
            end.setText(lan(kLanExported));
            break;
        case ExportResultWorker::NothingToExport:
            end.setText(QString::fromUtf8(kExportNothingTexts[language]));
            break;
        default:
            end.setText(QString::fromUtf8(kExportFailedTexts[language]));
            break;
    }
    // The export outlives the visit it was started in: its end is told whatever is shown.
    dialogs::ask(end, dialogs::Subject::program());
}
