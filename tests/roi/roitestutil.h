#pragma once
// Shared helpers of the ROI tests: a display area, a temporary parameter database and
// generators of polygons.

#include <gtest/gtest.h>

#include <QMap>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <random>

#include "globals.h"
#include "testsupport.h"

namespace roitest {

// Sets gShowW x gShowH for the life of a test and restores the previous values.
class DisplayTest : public ::testing::Test {
protected:
    static constexpr int kShowW = 1280;
    static constexpr int kShowH = 1024;
    DisplayTest() {
        gShowW = kShowW;
        gShowH = kShowH;
    }
    ~DisplayTest() override {
        gShowW = savedW_;
        gShowH = savedH_;
    }

private:
    const int savedW_ = gShowW, savedH_ = gShowH;
};

// A SQLite database file in a temporary working directory, on its own connection.
class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    QSqlDatabase db() const { return QSqlDatabase::database(connection_); }
    bool exec(const QString& sql);
    // A two-column camera table holding exactly the given (name, value) rows, in order.
    void createTable(const QString& table, const QVector<QPair<QString, QString>>& rows);
    // name -> value of every row of `table` (empty when the table cannot be read).
    QMap<QString, QString> rows(const QString& table);
    // The value of row `name`, or a null string.
    QString value(const QString& table, const QString& name) { return rows(table).value(name); }

private:
    testsupport::WorkDir dir_;
    QString connection_;
};

// A rectangle by its inclusive corners, kept as given even when they are swapped.
inline QRect coords(int x1, int y1, int x2, int y2) {
    QRect r;
    r.setCoords(x1, y1, x2, y2);
    return r;
}

// A random polygon of n points within [lo, hi] on both axes.
QVector<QPoint> randomPolygon(std::mt19937& random, int n, int lo, int hi);
// A closed freehand-like stroke: a wobbly loop of n points around (cx, cy).
QVector<QPoint> freehandLoop(std::mt19937& random, int n, int cx, int cy, int radius);

}  // namespace roitest
