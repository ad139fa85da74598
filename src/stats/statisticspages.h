#pragma once
// What the statistics pages show, apart from drawing it: tab names and indices, the NG rate
// text and the geometry of an hourly histogram.

#include <QLineF>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace stats {

// Record index (camera or detection, 8 = summary) shown by tab position tab.
int recordIndexOfTab(int tab);

// "All Camera", then "Camera 1" .. "Camera n".
QStringList cameraTabNames(int cameras);
// "All detect", then the names of detection steps 0 .. steps-1 for the system function.
QStringList detectionTabNames(int detectMode, int steps);

// The width of each of `tabs` tabs: the preferred width, or less when that many would not fit
// side by side in the room a tab bar has on the statistics screen.
int fittedTabWidth(int preferred, int tabs);

// The day's NG rate, up to four significant digits and "%"; "0%" for a day without cycles.
QString ngRateText(int ok, int ng);

// Largest of both count lists (over their whole length), never below 0.
int largestCount(const QList<int>& okCounts, const QList<int>& ngCounts);

// One hour of a histogram: an OK bar (left half) and an NG bar (right half) with their figures.
struct HistogramHour {
    QLineF tick;
    QRectF hourText;
    QRect okBar;
    QRectF okText;
    QRect ngBar;
    QRectF ngText;
};

struct HistogramGeometry {
    QLineF xAxis;
    QLineF yAxis;
    QVector<HistogramHour> hours;
    QRectF okLegendText;
    QRect okSwatch;
    QRectF ngLegendText;
    QRect ngSwatch;
};

// Where a histogram of width x height draws its first `count` bar pairs, scaled so that a
// count of maxY reaches the top of the y axis. The legend texts get the widths they need, at
// least the 100 px the Chinese texts were laid out in; the legend keeps its right edge.
HistogramGeometry histogramGeometry(int width, int height, int count, const QList<int>& okCounts,
                                    const QList<int>& ngCounts, int maxY, int okLegendWidth = 0,
                                    int ngLegendWidth = 0);

}  // namespace stats
