#pragma once
// The pages of one camera (8 = all cameras of the group): tab 0 the whole cycle, then one tab
// per detection step. Built once, from the step count and system function then in force.

#include <QTabWidget>

class CameraStatisticsWidget;

class CamereaTabWidget : public QTabWidget {
    Q_OBJECT
public:
    CamereaTabWidget(int camera, QWidget* parent);

    // Refreshes the page on view.
    void updateData();

    CameraStatisticsWidget* page(int tab) const;

private:
    CameraStatisticsWidget* detectPages[9] = {};
};
