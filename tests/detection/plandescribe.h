#pragma once
// A plan as a short text for table-driven expectations: the final level of every output it
// touches ("0+" on, "1-" off, in output order), then the pulse timers it starts with their
// milliseconds, then "flush" when it publishes the word. "" for an empty plan.

#include <string>

#include "outputplan.h"

namespace cycletest {

inline std::string describe(const detection::OutputPlan& plan) {
    using detection::PulseTimer;
    std::string text;
    auto add = [&text](const std::string& part) {
        if (!text.empty()) text += ' ';
        text += part;
    };
    for (int n = 0; n < 9; ++n) {
        const int level = plan.levelOf(n);
        if (level >= 0) add(std::to_string(n) + (level ? "+" : "-"));
    }
    const std::pair<PulseTimer, const char*> names[] = {
        {PulseTimer::OutNG, "OutNG"},
        {PulseTimer::NotAllowClose, "NotAllowClose"},
        {PulseTimer::NotAllowThimble, "NotAllowThimble"},
        {PulseTimer::SysFunc4Output, "SysFunc4Output"},
        {PulseTimer::ClearNGAlarm, "ClearNGAlarm"},
    };
    for (const auto& [timer, name] : names) {
        const int ms = plan.pulseMs(timer);
        if (ms >= 0) add(std::string(name) + "=" + std::to_string(ms));
    }
    if (plan.flushes()) add("flush");
    return text;
}

}  // namespace cycletest
