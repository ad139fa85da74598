#pragma once
// One statistics page: for a camera (8 = all cameras of the group) and a detection step
// (8 = the whole cycle) the OK and NG totals of both shifts and of the day, the day's NG rate
// and one hourly histogram per shift. Every figure is read from the statistics model
// (gpResStatisticsParam) for the day and group it shows; the page keeps no counts.

#include <QWidget>
#include <initializer_list>

class Histogram;
class QLabel;
class QVBoxLayout;

class CameraStatisticsWidget : public QWidget {
    Q_OBJECT
public:
    CameraStatisticsWidget(int camera, int detect, QWidget* parent);

    // Re-reads every figure and both histograms from the model and repaints.
    void updateData();

    int camera() const { return cameraID; }
    int detection() const { return detectID; }
    Histogram* morning() const { return morningHistogram; }
    Histogram* night() const { return nightHistogram; }
    // Morning OK, morning NG, night OK, night NG, day total, day NG, day NG rate.
    QStringList figures() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A caption above the label of one figure, in the given colour.
    struct Figure {
        int caption;
        QLabel** label;
        const char* colour;
    };
    QVBoxLayout* addColumn(int titleEntry, std::initializer_list<Figure> figures);
    QLabel* addLabel(const QString& text, int width, int height, const char* colour = nullptr);

    Histogram* morningHistogram;
    Histogram* nightHistogram;
    QLabel* morningOkLabel;
    QLabel* morningNgLabel;
    QLabel* nightOkLabel;
    QLabel* nightNgLabel;
    QLabel* dayTotalLabel;
    QLabel* dayNgLabel;
    QLabel* dayNgRateLabel;
    int detectID;
    int cameraID;
};
