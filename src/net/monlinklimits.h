#pragma once
// Every period, count, time-out and size of the monitoring companion link and its video share.

#include <QtGlobal>

namespace monlink {

// --- the link ---
// The companion listens here on the loopback address; the seam may give another port (tests).
constexpr quint16 kCompanionPort = 10431;
// The link timer: heartbeats, reconnection and the periodic restart count in its ticks.
constexpr int kTickMs = 1000;
// A heartbeat every third tick (3 s) keeps the companion's view of the panel fresh.
constexpr int kHeartbeatEveryTicks = 3;
// The companion and the connection are restarted from scratch every 1200 ticks (20 min), so a
// companion that hangs without dropping the connection is not kept for ever.
constexpr int kRestartEveryTicks = 1200;
// The link counts as alive while the companion was heard from this recently (more than two
// heartbeat periods, so one lost reply is not yet a loss).
constexpr qint64 kAliveWindowMs = 8001;

// Event messages (alarms, records, step reports, pictures) kept until the companion answers
// them, so that those a restart or a lost connection cut off are sent again on the next
// connection. Beyond this many unanswered ones the oldest is given up (and logged): a
// companion that never answers must not grow the panel's memory.
constexpr int kMaxUnansweredMessages = 256;
// Connections an event message is posted on before it is given up (and logged): a message
// the companion never answers is not sent again at every restart.
constexpr int kMaxMessageSends = 3;

// --- time from the platform server ---
// The time request waits this long, blocking its caller; the panel runs on without it.
constexpr int kTimeRequestTimeoutMs = 1000;
// A server time outside these bounds (ms since the epoch, 2020-01-01 and 2100-01-01 UTC) is a
// wrong unit or a broken server; setting the clock to it would scramble every dated record.
constexpr qint64 kEarliestServerTimeMs = 1577836800000LL;
constexpr qint64 kLatestServerTimeMs = 4102444800000LL;

// --- the video share ---
// The share key is ftok(path, "100<index>") and the semaphore key ftok(path, "200<index>"),
// the numbers the companion's reader expects.
constexpr int kShareKeyPrefix = 100;
constexpr int kSemaphoreKeyPrefix = 200;
// Created when missing (IPC_CREAT), read and written by everyone: the reader may run as another
// user.
constexpr int kSharePermissions = 01666;
// Frames per second reported to the companion (the copier itself is slower, below).
constexpr int kReportedFps = 20;
// The main window is grabbed, and at most one frame copied, per this period (12.5 frames/s).
constexpr int kGrabPeriodMs = 80;
constexpr qint64 kCopyPeriodUs = 80000;
// The copier looks again this often while nobody wants video.
constexpr int kIdleCheckMs = 50;
// Stopping the copier checks for its end this often.
constexpr int kStopPollMs = 100;
// A reader copies one frame in well under a millisecond; one that holds the semaphore longer is
// stuck, so the frame is skipped rather than waiting (stopping the copier must not hang).
constexpr int kSemaphoreWaitMs = 100;
// One "still running" log line per this many copied frames.
constexpr int kCopyReportEvery = 1000;

}  // namespace monlink
