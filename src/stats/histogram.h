#pragma once
// Hourly OK (green) and NG (red) counts of one shift side by side, labelled with the clock hours.

#include <QList>
#include <QWidget>

class Histogram : public QWidget {
    Q_OBJECT
public:
    Histogram(QWidget* parent, QList<int> x, QList<int> y1, QList<int> y2);

    void modifyDataAxisX(QList<int> x);
    bool modifyDataAxisY1(QList<int> y1);
    bool modifyDataAxisY2(QList<int> y2);
    bool modifyDataAxisY(QList<int> y1, QList<int> y2);
    void clcMaxY();

    const QList<int>& hours() const { return axisX; }
    const QList<int>& okCounts() const { return axisY1; }
    const QList<int>& ngCounts() const { return axisY2; }
    int barCount() const { return count; }
    int largest() const { return maxY; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void dataChanged();

    QList<int> axisX;
    QList<int> axisY1;
    QList<int> axisY2;
    int count = 0;
    int maxY = 0;
};
