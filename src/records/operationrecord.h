#pragma once
#include <QString>

// One row of the operator log as the records page lists it.
struct OperationRecord {
    QString time;   // "hh.mm.ss"
    QString level;  // the login level's text
    QString remarks;
};
