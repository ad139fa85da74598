#pragma once
// Shared helpers of the parameter tests: a parameter database under test and a guard for the
// process globals the load writes.

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "globals.h"
#include "paramschema.h"

class WizardPara;

namespace paramtest {

// An SQLite connection of its own on a file, closed and removed with the object.
class TestDatabase {
public:
    explicit TestDatabase(const QString& path);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QSqlDatabase db() const;
    // Runs a statement; fails the test when it fails.
    void exec(const QString& sql) const;
    bool hasRow(const QString& name) const;
    QString value(const QString& name) const;
    void setValue(const QString& name, const QString& value) const;  // update or insert
    void removeRow(const QString& name) const;
    QMap<QString, QString> rows() const;  // name -> value
    int rowCount() const;

private:
    QString name_;
};

// Keeps gLan, gDNum, gaName and the language table as they were before the test.
class GlobalsGuard {
public:
    GlobalsGuard();
    ~GlobalsGuard();

private:
    int lan_;
    int dNum_;
    QString names_[kIONameCount];
    QMap<int, QString> table_;
};

// Makes language entry e read "L<language>-<e>" in every language, for name tests.
void fillLanguageEntries(const QList<int>& entries);

// Element i of a stored number field.
int& element(WizardPara& para, params::StoreContext& ctx, const QString& field, int i = 0);

// The stored-field values of a record as "field[i]" -> value (text fields by their text).
QMap<QString, QString> storedValues(WizardPara& para, params::StoreContext& ctx);

// A database file at path holding exactly the given rows.
void writeRows(const QString& path, const QMap<QString, QString>& rows);

}  // namespace paramtest
