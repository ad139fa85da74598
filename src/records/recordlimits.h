#pragma once
// Limits of the operation log and the counters, in one place.

namespace records {

// Operation records made while RECORD.db cannot be written (a full or read-only disk) wait in
// memory, in order, and are written once it works again. A record is some 100 bytes, so this
// holds the operator actions and alarms of a long full-disk period in well under a megabyte;
// past it the oldest waiting record gives way (and is logged).
constexpr int kMaxPendingRecords = 1000;

// While records wait, or the day's rollover was refused, writing them is tried again this
// often: a record of an alarm raised on a full disk is on the disk within seconds of the room
// coming back, not at the minute's day check (a stop soon after would otherwise find it still
// waiting), and so is the new day's empty log. One try is a failed transaction of a few
// milliseconds; only new records are logged again.
constexpr int kPendingRetryMs = 3000;

}  // namespace records
