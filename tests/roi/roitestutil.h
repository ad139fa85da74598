#pragma once
// Shared helpers of the ROI tests: a display area, a temporary parameter database and
// generators of polygons.

#include <gtest/gtest.h>

#include <QPoint>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <random>

#include "testsupport.h"

namespace roitest {

// Sets gShowW x gShowH for the life of a test and restores the previous values.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    static constexpr int kShowW = 1280;
    static constexpr int kShowH = 1024;

private:
    int savedW_ = 0, savedH_ = 0;
};

// A SQLite database file in a temporary working directory, on its own connection.
class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    QSqlDatabase db() const { return QSqlDatabase::database(connection_); }
    bool exec(const QString& sql);
    // value of the row `name` in `table`, or a null string
    QString value(const QString& table, const QString& name);
    QStringList names(const QString& table);
    bool hasTable(const QString& table);

private:
    testsupport::WorkDir dir_;
    QString connection_;
};

// A random polygon of n points within [lo, hi] on both axes.
QVector<QPoint> randomPolygon(std::mt19937& random, int n, int lo, int hi);
// A closed freehand-like stroke: a wobbly loop of n points around (cx, cy).
QVector<QPoint> freehandLoop(std::mt19937& random, int n, int cx, int cy, int radius);

}  // namespace roitest
