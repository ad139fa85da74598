#include "camereatabwidget.h"

#include "camerastatisticswidget.h"
#include "globals.h"
#include "resstatisticsparam.h"
#include "statisticspages.h"
#include "statisticsscreenconstants.h"

using namespace stats::screen;

CamereaTabWidget::CamereaTabWidget(int camera, QWidget* parent) : QTabWidget(parent) {
    const int steps = qBound(0, gDNum, kMaxTabs - 1);
    const int mode = gpResStatisticsParam ? gpResStatisticsParam->detectMode() : 0;
    const QStringList names = stats::detectionTabNames(mode, steps);
    for (int tab = 0; tab <= steps; ++tab) {
        detectPages[tab] = new CameraStatisticsWidget(camera, stats::recordIndexOfTab(tab), this);
        addTab(detectPages[tab], names.at(tab));
    }
}

void CamereaTabWidget::updateData() {
    if (CameraStatisticsWidget* shown = page(currentIndex())) shown->updateData();
}

CameraStatisticsWidget* CamereaTabWidget::page(int tab) const {
    return tab >= 0 && tab < kMaxTabs ? detectPages[tab] : nullptr;
}
