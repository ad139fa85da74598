#pragma once
// Shared helpers of the parameter tests: a parameter database under test, a guard for the
// process globals the load writes and a fixture holding both.

#include <gtest/gtest.h>

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include "globals.h"
#include "paramschema.h"
#include "testsupport.h"
#include "wizardparastore.h"

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
    QString value(const QString& name) const { return rows().value(name); }
    void setValue(const QString& name, const QString& value) const;  // update or insert
    QMap<QString, QString> rows() const;                             // name -> value

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

// A working folder holding a new parameter database, open on `db`, with the globals kept.
class ParamDbTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(created); }
    QString dbPath() const { return work.file("PARAM.db"); }

    testsupport::WorkDir work;
    GlobalsGuard globals;
    const bool created = WizardParaStore::createDefaultDatabase(work.file("PARAM.db"));
    TestDatabase db{work.file("PARAM.db")};
};

// Makes language entry e read "L<language>-<e>" in every language, for name tests.
void fillLanguageEntries(const QList<int>& entries);

// The stored-field values of a record as "field[i]" -> value (text fields by their text).
QMap<QString, QString> storedValues(WizardPara& para, params::StoreContext& ctx);

}  // namespace paramtest
