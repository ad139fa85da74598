#pragma once
#include <QStringList>
#include <memory>

#include "dialogseam.h"
#include "testsupport.h"

class DeRaRazovi;

namespace apptest {

// What every main-window test needs before a window can exist: the two mutexes and the
// language table, as the start-up sequence provides them.
void prepareProcessGlobals();

// Lays out a working folder as a panel has it after installation: the factory parameter
// group, PARAM.db, RECORDNULL.db and RECORD.db.
void installFactoryFiles();

// Top-level widgets that are visible or are keypads (for teardown checks).
QStringList topLevelClassNames();

}  // namespace apptest
