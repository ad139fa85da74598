#pragma once
// Tidying of the log folders at start-up, before glog opens the files of the new run.

#include <QString>

#include "logsettings.h"

namespace logfiles {

// Keeps the previous run's INFO log under a numbered, time-stamped name
// ("n_LOG_yyyyMMdd_hhmmss.txt", or "n_ERROR_..." when that run also wrote an ERROR log),
// removes its WARNING, ERROR and FATAL copies and glog's links, keeps at most maxOldLogs old
// logs and renumbers them 1, 2, 3 ... from the oldest. Files whose names have no "." are left
// alone; failures are skipped one by one. Links are followed only to files inside logDir.
void tidyLogFolder(const QString& logDir, int maxOldLogs = logsettings::kMaxOldLogs);

// Deletes the files of dir with the oldest modification times until at most maxFiles remain.
void trimFolder(const QString& dir, int maxFiles);

}  // namespace logfiles
