#pragma once
// The production-statistics screen, one per process (StatisticsWidget::instance): a panel-sized
// overlay on the main window with the statistics days, the parameter groups of the shown day,
// the two shift periods and one tab of pages per camera. It shows the days of the statistics
// model (gpResStatisticsParam) and never counts anything itself; the main window connects the
// model's signals to it.

#include <QPair>
#include <QString>
#include <QWidget>

#include "devicehelpers.h"
#include "statisticsscreenconstants.h"

class CamereaTabWidget;
class ExportResultWorker;
class ColorButton;
class ComboBox;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QThread;
class PageVisits;

class StatisticsWidget : public QWidget {
    Q_OBJECT
public:
    // The one screen; null until it is made.
    static StatisticsWidget* instance;
    // The screen, made hidden as a child of parent when it does not exist yet.
    static StatisticsWidget* getInstance(QWidget* parent);

    explicit StatisticsWidget(QWidget* parent = nullptr);
    // Stops a running export and waits for its thread.
    ~StatisticsWidget() override;

    // Re-reads the day list (running day first, then the archives, newest first) and shows
    // the running day.
    void updateList();
    // Fills the group box with the shown day's groups; the running day opens on the current
    // parameter group. With block the box's own change signal stays silent while it is filled.
    void updateGroupsList(bool block);
    // Takes the shift hours, the days and the groups from the model again.
    void initWidget();
    // A record was counted: refreshes the page on view when the running day is shown.
    void checkUpdate();

    QListWidget* dayList() const { return dayList_; }
    ComboBox* groupBox() const { return groupBox_; }
    // Morning start, morning end, night start, night end.
    ComboBox* hourBox(int i) const { return hourBoxes_[i]; }
    QTabWidget* cameraTabWidget() const { return cameraTabs_; }
    CamereaTabWidget* cameraPage(int tab) const;
    ColorButton* returnButton() const { return returnButton_; }
    ColorButton* exportButton() const { return exportButton_; }
    ExportResultWorker* exportWorker() const { return exportWorker_; }
    bool exportIdle() const { return exportIdle_; }
    // The USB disk the export looks for and writes to (tests: a folder of their own).
    void setUsbDisk(const devices::UsbDiskFinder& disk);

signals:
    void sigUpdateRecord(int row, QString dbFile);
    void sigExportData(QPair<QString, QString> dates);
    void sigExportDataFinish();
    void sigExportProgress(int total, int done);

public slots:
    // The model has a new shown day.
    void slotUpdateRecord(bool ok);
    // The return button: takes over changed shift hours once the operator confirms, then hides.
    // An NG alarm that closes the screen while the question is open takes nothing over.
    void SlotConfirm();
    void UpdateRecord(QListWidgetItem* item);
    // The export button: finds the disk, asks for the days and starts the export; a visit that
    // ends while a question is open starts nothing.
    void SlotExportData();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildTopRow();
    QLayout* buildShiftRow(const QString& from, ComboBox*& start, ComboBox*& end);
    void refreshCurrentPage();
    void onGroupChosen(const QString& name);
    void showModelHours();
    void startExportThread();
    void exportFinished(int outcome);

    QTabWidget* cameraTabs_;
    CamereaTabWidget* cameraPages_[stats::screen::kMaxTabs] = {};
    ComboBox* groupBox_ = nullptr;
    ComboBox* hourBoxes_[4] = {};
    QListWidget* dayList_;
    ColorButton* returnButton_ = nullptr;
    ColorButton* exportButton_ = nullptr;
    ExportResultWorker* exportWorker_ = nullptr;
    QThread* exportThread_ = nullptr;
    bool exportIdle_ = true;
    devices::UsbDiskFinder usbDisk_;
    PageVisits* visits_;
};
