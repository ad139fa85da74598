#include "roitestutil.h"

#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <cmath>

namespace roitest {

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

void TempDatabase::createTable(const QString& table, const QVector<QPair<QString, QString>>& rows) {
    ASSERT_TRUE(exec(QStringLiteral("create table %1 (name text, value text)").arg(table)));
    QSqlQuery query(db());
    query.prepare(QStringLiteral("insert into %1 values (?, ?)").arg(table));
    for (const auto& row : rows) {
        query.addBindValue(row.first);
        query.addBindValue(row.second);
        ASSERT_TRUE(query.exec());
    }
}

QMap<QString, QString> TempDatabase::rows(const QString& table) {
    QMap<QString, QString> out;
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("select name, value from %1").arg(table))) return out;
    while (query.next()) out.insert(query.value(0).toString(), query.value(1).toString());
    return out;
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
