#include "camerastatisticswidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "globals.h"
#include "histogram.h"
#include "resstatisticsparam.h"
#include "statisticspages.h"
#include "statisticsscreenconstants.h"

using namespace stats::screen;

namespace {

QList<int> hoursFrom(int first, int count) {
    QList<int> hours;
    for (int h = first; h < first + count; ++h) hours.append(h);
    return hours;
}

QList<int> shiftCounts(ShiftType shift, bool ok, int camera, int detect) {
    return gpResStatisticsParam ? gpResStatisticsParam->getRes(shift, ok, camera, detect)
                                : QList<int>();
}

int shiftTotal(ShiftType shift, bool ok, int camera, int detect) {
    return gpResStatisticsParam ? gpResStatisticsParam->getCount(shift, ok, camera, detect) : 0;
}

}  // namespace

CameraStatisticsWidget::CameraStatisticsWidget(int camera, int detect, QWidget* parent)
    : QWidget(parent), detectID(detect), cameraID(camera) {
    QVBoxLayout* morningColumn = addColumn(
        kLanMorningShift,
        {{kLanOkCaption, &morningOkLabel, "green"}, {kLanNgCaption, &morningNgLabel, "red"}});
    QVBoxLayout* nightColumn = addColumn(kLanNightShift, {{kLanOkCaption, &nightOkLabel, "green"},
                                                          {kLanNgCaption, &nightNgLabel, "red"}});
    QVBoxLayout* dayColumn =
        addColumn(kLanDayTotalTitle, {{kLanDayTotalCaption, &dayTotalLabel, "green"},
                                      {kLanNgCaption, &dayNgLabel, "red"},
                                      {kLanNgRate, &dayNgRateLabel, "red"}});

    morningHistogram = new Histogram(this, hoursFrom(0, kFirstNightHour),
                                     shiftCounts(SHIFT_MORNING, true, camera, detect),
                                     shiftCounts(SHIFT_MORNING, false, camera, detect));
    nightHistogram = new Histogram(this, hoursFrom(kFirstNightHour, kFirstNightHour),
                                   shiftCounts(SHIFT_NIGHT, true, camera, detect),
                                   shiftCounts(SHIFT_NIGHT, false, camera, detect));
    for (Histogram* histogram : {morningHistogram, nightHistogram})
        histogram->setFixedHeight(kHistogramHeight);

    auto* grid = new QGridLayout(this);
    grid->addLayout(morningColumn, 0, 0, 4, 1, Qt::AlignTop);
    grid->addLayout(nightColumn, 4, 0, 4, 1, Qt::AlignTop);
    grid->addLayout(dayColumn, 8, 0, 4, 1, Qt::AlignTop | Qt::AlignHCenter);
    grid->addWidget(morningHistogram, 0, 2, 7, 8, Qt::AlignTop);
    grid->addWidget(nightHistogram, 7, 2, 7, 8, Qt::AlignTop);
    grid->setRowStretch(14, 1);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    grid->setContentsMargins(kPageMarginX, kPageMarginY, kPageMarginX, kPageMarginY);

    updateData();
}

QVBoxLayout* CameraStatisticsWidget::addColumn(int titleEntry,
                                               std::initializer_list<Figure> figures) {
    auto* box = new QVBoxLayout;
    box->setSpacing(kPageColumnSpacing);
    QLabel* title = addLabel(lan(titleEntry), kPageTitleWidth, kPageTitleHeight);
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    box->addWidget(title);
    for (const Figure& figure : figures) {
        box->addWidget(addLabel(lan(figure.caption), kPageFigureWidth, kPageFigureHeight));
        *figure.label = addLabel(QString(), kPageFigureWidth, kPageFigureHeight, figure.colour);
        box->addWidget(*figure.label);
    }
    return box;
}

QLabel* CameraStatisticsWidget::addLabel(const QString& text, int width, int height,
                                         const char* colour) {
    auto* label = new QLabel(text, this);
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSize(kPageLabelPointSize);
    label->setFont(font);
    label->setFixedSize(width, height);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (colour) label->setStyleSheet(QStringLiteral("color:%1;").arg(QLatin1String(colour)));
    return label;
}

void CameraStatisticsWidget::showEvent(QShowEvent* event) {
    updateData();
    QWidget::showEvent(event);
}

void CameraStatisticsWidget::updateData() {
    const int c = cameraID;
    const int d = detectID;
    morningOkLabel->setText(QString::number(shiftTotal(SHIFT_MORNING, true, c, d)));
    morningNgLabel->setText(QString::number(shiftTotal(SHIFT_MORNING, false, c, d)));
    nightOkLabel->setText(QString::number(shiftTotal(SHIFT_NIGHT, true, c, d)));
    nightNgLabel->setText(QString::number(shiftTotal(SHIFT_NIGHT, false, c, d)));
    const int ok = shiftTotal(SHIFT_ALLDAY, true, c, d);
    const int ng = shiftTotal(SHIFT_ALLDAY, false, c, d);
    dayTotalLabel->setText(QString::number(ok + ng));
    dayNgLabel->setText(QString::number(ng));
    dayNgRateLabel->setText(stats::ngRateText(ok, ng));

    if (gpResStatisticsParam) {
        for (ShiftType shift : {SHIFT_MORNING, SHIFT_NIGHT}) {
            Histogram* histogram = shift == SHIFT_MORNING ? morningHistogram : nightHistogram;
            histogram->modifyDataAxisY(shiftCounts(shift, true, c, d),
                                       shiftCounts(shift, false, c, d));
            histogram->modifyDataAxisX(gpResStatisticsParam->getShiftTimeList(shift));
        }
    }
    update();
}

QStringList CameraStatisticsWidget::figures() const {
    QStringList texts;
    for (const QLabel* label : {morningOkLabel, morningNgLabel, nightOkLabel, nightNgLabel,
                                dayTotalLabel, dayNgLabel, dayNgRateLabel})
        texts.append(label->text());
    return texts;
}
