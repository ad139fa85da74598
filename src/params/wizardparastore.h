#pragma once
// The sysparam table of the parameter database: reading and writing the system parameters
// row by row, and making a new parameter database from the factory values. Values are always
// bound, never pasted into the SQL text.

#include <QSqlDatabase>
#include <QString>
#include <functional>

#include "paramschema.h"
#include "sqlitefiles.h"

class WizardPara;

class WizardParaStore {
public:
    // Adds further tables to a new parameter database (the per-camera ROI tables); true on
    // success. Called in a transaction of its own before the new file is put in place.
    using TableMaker = std::function<bool(QSqlDatabase&)>;

    explicit WizardParaStore(QSqlDatabase db);

    // Reads every row, in load order, into the record. Missing rows leave their fields as they
    // are; rows marked so are inserted with their fixed value. False when the database is not
    // open or a row could not be read.
    bool readRows(WizardPara& para, params::StoreContext& ctx);
    // Writes every row in one transaction. A row that is missing is inserted, a missing table
    // is created. On any failure nothing is changed, the failure is logged and false returned.
    bool writeRows(const WizardPara& para, const params::StoreContext& ctx);
    // Inserts (name, value) when no row of that name exists.
    bool ensureRow(const QString& name, const QString& value);

    // Creates a parameter database at path holding the sysparam table with every row at its
    // factory value (language 0), plus whatever makeTables adds. The file appears only when
    // complete; an existing file is left alone and gives false.
    static bool createDefaultDatabase(const QString& path, const TableMaker& makeTables = {});
    // Makes sure a usable factory copy "<workDir>/paraGroup/default/PARAM.db" exists: made
    // from the factory values when it is missing, or damaged (then kept aside first).
    static bool ensureFactoryDatabase(const QString& workDir = QStringLiteral("."),
                                      const TableMaker& makeTables = {});
    static QString factoryDatabasePath(const QString& workDir = QStringLiteral("."));

    // A parameter database as the start finds it: usable only when SQLite reads every page
    // (an interrupted write is rolled back first), the sysparam table holds every row the
    // shipped database must hold and every value can be read. Missing camera tables are
    // normal (they are made for new cameras).
    static storage::DbCheck checkDatabase(const QString& path);

    struct Restore {
        bool restored = false;
        QString source;  // the database copied into place
        QString keptAs;  // where the damaged working database was kept
    };
    // Puts a usable copy in place of "<workDir>/PARAM.db": for a missing one the factory
    // copy; for a damaged one the current parameter group's copy when that is usable, else the
    // factory copy. The damaged file is kept aside, and nothing moves before the copy is
    // complete on the disk: on failure the working file is as it was.
    static Restore restoreWorkingDatabase(const QString& workDir = QStringLiteral("."),
                                          const TableMaker& makeTables = {});

private:
    bool createTable();

    QSqlDatabase db_;
};
