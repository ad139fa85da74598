#pragma once
// Waiting while this thread keeps handling its events, for tests, test tools and benchmarks
// (no test framework needed).

#include <functional>

namespace testsupport {

// Processes events until the condition holds or the time-out passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

}  // namespace testsupport
