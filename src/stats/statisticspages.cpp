#include "statisticspages.h"

#include <algorithm>

#include "globals.h"
#include "statisticsconstants.h"
#include "statisticsscreenconstants.h"

namespace stats {

using namespace screen;

int recordIndexOfTab(int tab) {
    return (tab + kSummaryIndex) % kMaxTabs;
}

QStringList cameraTabNames(int cameras) {
    QStringList names{lan(kLanAllCameras)};
    for (int i = 1; i <= cameras; ++i) names.append(lan(kLanCameraN).arg(i));
    return names;
}

QStringList detectionTabNames(int detectMode, int steps) {
    int first = kLanMultiStepNames;
    if (detectMode == 0)
        first = kLanSingleStepNames;
    else if (detectMode == 1 || detectMode == 2)
        first = kLanSideStepNames;
    QStringList names{lan(kLanAllDetections)};
    for (int step = 0; step < steps; ++step) names.append(lan(first + step));
    return names;
}

int fittedTabWidth(int preferred, int tabs) {
    return tabs > 0 ? std::min(preferred, kTabsRoom / tabs) : preferred;
}

QString ngRateText(int ok, int ng) {
    const int total = ok + ng;
    // No cycle, no rate: 0 / 0 would read "nan%".
    if (total == 0) return QStringLiteral("0%");
    const double rate = static_cast<double>(ng * 100) / total;
    return QString::number(rate, 'g', 4) + QLatin1Char('%');
}

int largestCount(const QList<int>& okCounts, const QList<int>& ngCounts) {
    int largest = 0;
    for (int n : okCounts) largest = std::max(largest, n);
    for (int n : ngCounts) largest = std::max(largest, n);
    return largest;
}

HistogramGeometry histogramGeometry(int width, int height, int count, const QList<int>& okCounts,
                                    const QList<int>& ngCounts, int maxY, int okLegendWidth,
                                    int ngLegendWidth) {
    const int w = width;
    const int h = height;
    const int base = h - kAxisOffset;
    HistogramGeometry g;
    g.xAxis = QLineF(0, base, w, base);
    g.yAxis = QLineF(kAxisOffset, kAxisTop, kAxisOffset, h);
    // Single precision, as the bars were always scaled: a full bar may miss the top by a pixel.
    const float scale = maxY != 0 ? float(h - kAxisTop - kAxisOffset) / maxY : 0.0f;
    const float step = float((w - 2 * kAxisOffset) / (count + 1));
    const float half = step / 2;
    const int shown = std::min({count, okCounts.size(), ngCounts.size()});
    for (int i = 0; i < shown; ++i) {
        const float x = (i + 1) * step + kAxisOffset;
        const float okHeight = okCounts.at(i) * scale;
        const float ngHeight = ngCounts.at(i) * scale;
        HistogramHour hour;
        hour.tick = QLineF(x, base - kTickLength, x, base);
        hour.hourText = QRectF(x - half, base, step, kFigureHeight);
        hour.okBar =
            QRect(int(x - half), int(h - okHeight - kAxisOffset), int(half), int(okHeight));
        hour.okText = QRectF(x - half, std::min<float>(base - kFigureHeight, base - okHeight), half,
                             kFigureHeight);
        hour.ngBar = QRect(int(x), int(h - ngHeight - kAxisOffset), int(half), int(ngHeight));
        hour.ngText =
            QRectF(x, std::min<float>(base - kFigureHeight, base - ngHeight), half, kFigureHeight);
        g.hours.append(hour);
    }
    // A longer translation grows the legend to the left, away from the widget's edge.
    const int okWidth = std::max(okLegendWidth, kLegendTextWidth);
    const int ngWidth = std::max(ngLegendWidth, kLegendTextWidth);
    const int legendRight = w - kLegendRightOffset + kLegendTextWidth - okWidth;
    g.okLegendText = QRectF(legendRight, kLegendTop, okWidth, kLegendHeight);
    const int okSwatchLeft = int(legendRight - (kLegendGap + half));
    g.okSwatch = QRect(okSwatchLeft, kLegendTop, int(half), kLegendHeight);
    const int ngLegendLeft = okSwatchLeft - ngWidth - kLegendGap;
    g.ngLegendText = QRectF(ngLegendLeft, kLegendTop, ngWidth, kLegendHeight);
    g.ngSwatch =
        QRect(int(ngLegendLeft - (kLegendGap + half)), kLegendTop, int(half), kLegendHeight);
    return g;
}

}  // namespace stats
