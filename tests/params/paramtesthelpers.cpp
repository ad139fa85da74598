#include "paramtesthelpers.h"

#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "wizardpara.h"

namespace paramtest {

TestDatabase::TestDatabase(const QString& path) {
    static int counter = 0;
    name_ = QStringLiteral("paramtest-%1").arg(++counter);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
}

TestDatabase::~TestDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase TestDatabase::db() const {
    return QSqlDatabase::database(name_, false);
}

void TestDatabase::exec(const QString& sql) const {
    QSqlQuery q(db());
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
}

void TestDatabase::setValue(const QString& name, const QString& value) const {
    QSqlQuery q(db());
    q.prepare(QStringLiteral("update sysparam set value = ? where name = ?"));
    q.addBindValue(value);
    q.addBindValue(name);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    if (q.numRowsAffected() > 0) return;
    q.prepare(QStringLiteral("insert into sysparam (name, value) values (?, ?)"));
    q.addBindValue(name);
    q.addBindValue(value);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
}

QMap<QString, QString> TestDatabase::rows() const {
    QMap<QString, QString> result;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("select name, value from sysparam"))) return result;
    while (q.next()) result.insert(q.value(0).toString(), q.value(1).toString());
    return result;
}

GlobalsGuard::GlobalsGuard() : lan_(gLan), dNum_(gDNum) {
    for (int i = 0; i < kIONameCount; ++i) names_[i] = gaName[i];
    for (int i = 0; i < kLanguageTableSize; ++i)
        if (!gaLanStr[i].isEmpty()) table_.insert(i, gaLanStr[i]);
}

GlobalsGuard::~GlobalsGuard() {
    gLan = lan_;
    gDNum = dNum_;
    for (int i = 0; i < kIONameCount; ++i) gaName[i] = names_[i];
    for (int i = 0; i < kLanguageTableSize; ++i) gaLanStr[i] = table_.value(i);
}

void fillLanguageEntries(const QList<int>& entries) {
    for (int e : entries)
        for (int l = 0; l < kLanguageCount; ++l)
            gaLanStr[e * kLanguageCount + l] = QStringLiteral("L%1-%2").arg(l).arg(e);
}

QMap<QString, QString> storedValues(WizardPara& para, params::StoreContext& ctx) {
    QMap<QString, QString> values;
    for (const params::FieldSpec& f : params::ParamSchema::fields()) {
        if (f.isText()) {
            values.insert(f.name, params::textField(f.text(para)));
            continue;
        }
        for (int i = 0; i < f.count; ++i)
            values.insert(QStringLiteral("%1[%2]").arg(f.name).arg(i),
                          QString::number(f.numbers(para, ctx)[i]));
    }
    return values;
}

}  // namespace paramtest
