#pragma once
// Every port, time-out and count of the camera client library, in one place.

#include <QtGlobal>

namespace camsdklimits {

// The camera's parameter and command service, and its picture service.
constexpr quint16 kParamPort = 10401;
constexpr quint16 kPicturePort = 10402;
// Parameter, command and link-check exchanges wait this long for the camera's reply.
constexpr int kParamTimeoutMs = 1000;
// A picture request of the frame pump waits this long; a camera slower than that is
// reconnected rather than waited for, so the stream recovers from a stalled link.
constexpr int kPumpPictureTimeoutMs = 500;
// The frame pump's ceiling: pictures handed to the image callback per second.
constexpr int kPumpMaxFps = 20;
// Idle turn of the frame pump between rate-gate checks: short against the 50 ms gate, long
// enough not to spin.
constexpr int kPumpIdleSleepMs = 1;
// One throughput line in the log per this many pump passes.
constexpr int kPumpReportEvery = 100;
// Text fields of the device-info record, terminating zero included.
constexpr int kDevInfoTextBytes = 32;

}  // namespace camsdklimits
