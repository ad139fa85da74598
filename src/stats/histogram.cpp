#include "histogram.h"

#include <QPainter>
#include <algorithm>

#include "globals.h"
#include "qfont_pix.h"
#include "statisticspages.h"
#include "statisticsscreenconstants.h"

using namespace stats::screen;

Histogram::Histogram(QWidget* parent, QList<int> x, QList<int> y1, QList<int> y2)
    : QWidget(parent), axisX(std::move(x)), axisY1(std::move(y1)), axisY2(std::move(y2)) {
    count = std::min({axisX.size(), axisY1.size(), axisY2.size()});
    clcMaxY();
}

void Histogram::dataChanged() {
    count = std::min({axisX.size(), axisY1.size(), axisY2.size()});
    clcMaxY();
    update();
}

void Histogram::modifyDataAxisX(QList<int> x) {
    axisX = std::move(x);
    dataChanged();
}

bool Histogram::modifyDataAxisY1(QList<int> y1) {
    axisY1 = std::move(y1);
    dataChanged();
    return true;
}

bool Histogram::modifyDataAxisY2(QList<int> y2) {
    axisY2 = std::move(y2);
    dataChanged();
    return true;
}

bool Histogram::modifyDataAxisY(QList<int> y1, QList<int> y2) {
    axisY1 = std::move(y1);
    axisY2 = std::move(y2);
    dataChanged();
    return true;
}

void Histogram::clcMaxY() {
    maxY = stats::largestCount(axisY1, axisY2);
}

void Histogram::paintEvent(QPaintEvent*) {
    const QFont figureFont = QFont_Pix(QString::fromLatin1(kFontFamily), kHistogramFontPx);
    QFont legendFont = figureFont;
    legendFont.setPointSize(kLegendFontPointSize);
    const QFontMetrics legend(legendFont);
    const QString okLegend = lan(kLanLegendOk);
    const QString ngLegend = lan(kLanLegendNg);
    const stats::HistogramGeometry g =
        stats::histogramGeometry(width(), height(), count, axisY1, axisY2, maxY,
                                 legend.horizontalAdvance(okLegend) + 2 * kLegendTextPadding,
                                 legend.horizontalAdvance(ngLegend) + 2 * kLegendTextPadding);
    const QColor okColour(0, 255, 0, kBarAlpha);
    const QColor ngColour(255, 0, 0, kBarAlpha);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setFont(figureFont);
    painter.drawLine(g.xAxis);
    painter.drawLine(g.yAxis);
    for (int i = 0; i < g.hours.size(); ++i) {
        const stats::HistogramHour& hour = g.hours.at(i);
        painter.drawLine(hour.tick);
        painter.drawText(hour.hourText, Qt::AlignCenter, QString::number(axisX.at(i)));
        painter.fillRect(hour.okBar, okColour);
        painter.drawText(hour.okText, Qt::AlignCenter, QString::number(axisY1.at(i)));
        painter.fillRect(hour.ngBar, ngColour);
        painter.drawText(hour.ngText, Qt::AlignCenter, QString::number(axisY2.at(i)));
    }
    painter.setFont(legendFont);
    painter.drawText(g.okLegendText, Qt::AlignCenter, okLegend);
    painter.fillRect(g.okSwatch, okColour);
    painter.drawText(g.ngLegendText, Qt::AlignCenter, ngLegend);
    painter.fillRect(g.ngSwatch, ngColour);
}
