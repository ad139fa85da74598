#include "roitestutil.h"

#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <cmath>

#include "globals.h"

namespace roitest {

void DisplayTest::SetUp() {
    savedW_ = gShowW;
    savedH_ = gShowH;
    gShowW = kShowW;
    gShowH = kShowH;
}

void DisplayTest::TearDown() {
    gShowW = savedW_;
    gShowH = savedH_;
}

TempDatabase::TempDatabase()
    : connection_(QStringLiteral("roitest-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(dir_.file(QStringLiteral("PARAM.db")));
    EXPECT_TRUE(db.open());
}

TempDatabase::~TempDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool TempDatabase::exec(const QString& sql) {
    QSqlQuery query(db());
    return query.exec(sql);
}

QString TempDatabase::value(const QString& table, const QString& name) {
    QSqlQuery query(db());
    query.prepare(QStringLiteral("select value from %1 where name = ?").arg(table));
    query.addBindValue(name);
    if (!query.exec() || !query.next()) return QString();
    return query.value(0).toString();
}

QStringList TempDatabase::names(const QString& table) {
    QSqlQuery query(db());
    QStringList out;
    if (!query.exec(QStringLiteral("select name from %1 order by rowid").arg(table))) return out;
    while (query.next()) out << query.value(0).toString();
    return out;
}

bool TempDatabase::hasTable(const QString& table) {
    return db().tables().contains(table);
}

QVector<QPoint> randomPolygon(std::mt19937& random, int n, int lo, int hi) {
    std::uniform_int_distribution<int> coordinate(lo, hi);
    QVector<QPoint> points;
    for (int i = 0; i < n; ++i) points.append(QPoint(coordinate(random), coordinate(random)));
    return points;
}

QVector<QPoint> freehandLoop(std::mt19937& random, int n, int cx, int cy, int radius) {
    std::uniform_real_distribution<double> wobble(0.8, 1.2);
    QVector<QPoint> points;
    double r = radius;
    for (int i = 0; i < n; ++i) {
        const double angle = 2.0 * M_PI * i / n;
        r = 0.9 * r + 0.1 * radius * wobble(random);
        points.append(QPoint(int(std::lround(cx + r * std::cos(angle))),
                             int(std::lround(cy + r * std::sin(angle)))));
    }
    return points;
}

}  // namespace roitest
