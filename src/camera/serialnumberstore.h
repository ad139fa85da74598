#pragma once
// The camera serial numbers stored in "SN.db": table sysparam (name, value) with one row per
// slot 0..7 named serialNB<slot>; a value is a serial number or "0" for an empty slot.
//
// Every value goes into SQL as a bound value: serial numbers come from plug-ins and may hold
// any text.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>

namespace camera {

// True when a stored value is long enough (and short enough) to be a serial number; shorter
// values, "0" among them, mark empty slots.
bool isStoredSerial(const QString& value);

class SerialNumberStore {
public:
    // file and connection are relative to the working folder; the defaults are the program's.
    explicit SerialNumberStore(const QString& file = QString(),
                               const QString& connectionName = QString());
    ~SerialNumberStore();
    SerialNumberStore(const SerialNumberStore&) = delete;
    SerialNumberStore& operator=(const SerialNumberStore&) = delete;

    // Puts a missing database file in place before it is opened, so that SQLite does not
    // silently create an empty one: the factory copy when there is one, else a new file with
    // the table and empty slots. True when the file exists afterwards.
    bool ensureFile(const QString& factoryCopy);
    // Opens the connection and makes sure the table exists; true when the store is usable.
    // A file that fails the check of every page is not.
    bool open();
    bool isUsable() const { return usable_; }
    // Replaces the database file by the factory copy (the connection is closed first), keeping
    // the broken file aside; true on success. On failure the file is left as it was. The
    // caller opens again.
    bool restoreFrom(const QString& factoryCopy);

    // The stored serial numbers in slot order, without empty slots and values too short or too
    // long to be one. Slots without a row get an empty row.
    QVector<QString> load();
    // Writes one slot; false when the statement failed (the row may not exist).
    bool write(int slot, const QString& serial);
    // The raw value of a slot (empty when there is no row); for checks.
    QString value(int slot);

    // Creates a database with the table and every slot empty (the factory copy); false when the
    // file exists or cannot be written.
    static bool createDefaultDatabase(const QString& path);

private:
    void close();

    QString file_;
    QString connectionName_;
    QSqlDatabase db_;
    QSqlQuery query_;
    bool usable_ = false;
};

}  // namespace camera
