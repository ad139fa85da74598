#pragma once
#include <QDate>
#include <QString>
#include <vector>

// One row of the operator log as the records page lists it.
struct OperationRecord {
    QString time;   // "hh.mm.ss"
    QString level;  // the login level's text
    QString remarks;
    qint64 row = 0;  // its row in RECORD.db
};

// The rows of one day as a list showed them to the operator: a clear of the list deletes these
// and no row made after it was read.
struct RecordListing {
    QDate day;
    std::vector<OperationRecord> records;
};
