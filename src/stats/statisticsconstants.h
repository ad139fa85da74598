#pragma once
// Every limit, interval and file name of the production statistics, in one place.

#include <QtGlobal>

namespace stats {

// Hour slots of one statistics day; slot 0 is the hour that begins at the day start.
constexpr int kHourSlots = 24;
constexpr qint64 kSecondsPerHour = 3600;
constexpr qint64 kSecondsPerDay = 86400;

// The running day is handed to the store this often while statistics are on.
constexpr int kSaveIntervalMs = 60000;
// An orderly stop waits this long for the store to write the running day (a write waits up to
// 5 s for a reader such as the exporter to let go of the file); a store stuck on a failing disk
// must not keep the panel from stopping.
constexpr int kStopSaveWaitMs = 8000;

// Detection stages and cameras a record can hold; also bounds growth by addRecord.
constexpr int kMaxStages = 8;
constexpr int kMaxStatCameras = 8;
// Index that selects a summary record in the shift queries (camera or detection).
constexpr int kSummaryIndex = 8;

// Shift hours of a freshly made group record and of the model at construction.
constexpr int kDefaultMorningStart = 8;
constexpr int kDefaultMorningEnd = 20;
constexpr int kDefaultNightStart = 20;
constexpr int kDefaultNightEnd = 8;

// Language entry of the warning shown when the running database cannot be opened at start.
constexpr int kLanDatabaseError = 544;

constexpr char kRunningDbFile[] = "ResStatistics.db";
constexpr char kTemplateDbFile[] = "ResStatisticsNULL.db";
constexpr char kRunningDbBaseName[] = "ResStatistics";
constexpr char kDefaultArchiveDir[] = "./ResStatistics";
constexpr char kConfigFile[] = "resstatistics.json";
constexpr char kDayStartFile[] = "restime.txt";
constexpr char kDateFormat[] = "yyyy-MM-dd";
constexpr char kDefaultGroupName[] = "default";
// Name of a group that is not held (and of a freshly made group record).
constexpr char kMissingGroupName[] = "null";

// --- export to a USB disk ---
// The outside exporter, its one argument joins the day files with this separator.
constexpr char kExporterProgram[] = "./cnt_net/export_result_statistics/export_result_statistics";
constexpr char kExporterFileSeparator[] = ",";
constexpr char kRunningDbPath[] = "./ResStatistics.db";
// Made in the working folder by every export; the exporter may keep scratch files there.
constexpr char kExportScratchDir[] = "ExportResul";
// Name of the folder on the disk that receives one export: the export's start.
constexpr char kExportStampFormat[] = "yyyy-MM-dd_hh.mm.ss";
// The exporter is killed once it has finished no file for this long: one day file takes it
// seconds, so minutes of silence mean it hangs (and the running day's saves stay stopped).
constexpr int kExporterFileTimeLimitMs = 5 * 60 * 1000;
// Moving the results onto the disk: a year of days on a slow stick.
constexpr int kExportMoveTimeLimitMs = 10 * 60 * 1000;
// Flushing the disk's writes before the unmount.
constexpr int kExportSyncTimeLimitMs = 5 * 60 * 1000;
// The unmount itself, once the writes are flushed.
constexpr int kExportUnmountTimeLimitMs = 1000;
// A program that cannot be started within this time is reported as not started.
constexpr int kProcessStartTimeLimitMs = 10000;
// How often a waiting export looks at its time limit and at a stop request.
constexpr int kProcessPollMs = 100;
// Time a killed program gets to end before the export goes on without it.
constexpr int kProcessKillWaitMs = 3000;

constexpr char kSaveConnection[] = "dbResStatistics";
constexpr char kLoadConnection[] = "dbFindResStatistics";

}  // namespace stats
