#pragma once
// The production-statistics screen, one per process (StatisticsWidget::instance). It shows the
// days of the statistics model (gpResStatisticsParam) and never counts anything itself. This
// is the screen's frame: the day list, the whole-cycle totals of the shown group and the
// signals by which the main window follows it.

#include <QPair>
#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;

class StatisticsWidget : public QWidget {
    Q_OBJECT
public:
    // The one screen; null until it is made.
    static StatisticsWidget* instance;
    // The screen, made hidden as a child of parent when it does not exist yet.
    static StatisticsWidget* getInstance(QWidget* parent);

    explicit StatisticsWidget(QWidget* parent = nullptr);
    ~StatisticsWidget() override;

    // Re-reads the day list (running day first, then the archives, newest first) and shows
    // the running day.
    void updateList();
    // A record was counted: refreshes the figures when the running day is on view.
    void checkUpdate();

    QListWidget* dayList() const { return dayList_; }
    QString totalsText() const;

signals:
    void sigUpdateRecord(int row, QString dbFile);
    void sigExportData(QPair<QString, QString> dates);
    void sigExportDataFinish();
    void sigExportProgress(int total, int done);

public slots:
    // The model has a new shown day.
    void slotUpdateRecord(bool ok);
    void UpdateRecord(QListWidgetItem* item);

private:
    void chooseShownGroup();
    void refreshTotals();

    QListWidget* dayList_;
    QLabel* totals_;
};
