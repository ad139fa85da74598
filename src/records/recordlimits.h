#pragma once
// Limits of the operation log and the counters, in one place.

namespace records {

// Operation records made while RECORD.db cannot be written (a full or read-only disk) wait in
// memory, in order, and are written once it works again. A record is some 100 bytes, so this
// holds the operator actions and alarms of a long full-disk period in well under a megabyte;
// past it the oldest waiting record gives way (and is logged).
constexpr int kMaxPendingRecords = 1000;

}  // namespace records
