// One fuzz step over the discovery packet readers, driven by the bounded random loop of
// test_gvcp_protocol and, in clang builds with MOULDMON_FUZZ=ON, by libFuzzer
// (fuzz_gvcp corpus -max_total_time=N). False when an invariant breaks.
#include <cstdint>
#include <cstdlib>

#include "gvcpprotocol.h"

namespace {

// No record byte past the received ones is set.
template <class Record>
bool zeroPast(const Record& record, qsizetype received) {
    const auto* bytes = reinterpret_cast<const char*>(&record);
    for (qsizetype i = std::max<qsizetype>(0, received - gvcp::kHeaderBytes);
         i < qsizetype(sizeof record); ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace

bool gvcpFuzzOne(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const qsizetype length = static_cast<qsizetype>(size);
    const gvcp::Ack ack = gvcp::readAck(bytes, length);
    const gvcp::Command command = gvcp::readCommand(bytes, length);
    gvcp::fieldLogText(ack.discovery.model);
    gvcp::forceIpRefusal(command.forceIp.ip, command.forceIp.mask, command.forceIp.gateway);
    if (gvcp::isSettableClock(command.value)) gvcp::clockText(command.value);
    const bool isShort = length < gvcp::kHeaderBytes;
    return (ack.kind == gvcp::Ack::Short) == isShort &&
           (command.kind == gvcp::Command::Short) == isShort && zeroPast(ack.discovery, length) &&
           zeroPast(ack.forceIp, length) && zeroPast(command.forceIp, length) &&
           (command.kind != gvcp::Command::ForceIp || length >= 64) &&
           (command.kind != gvcp::Command::WriteReg || length >= 24);
}

#ifdef MOULDMON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gvcpFuzzOne(data, size)) std::abort();
    return 0;
}
#endif
