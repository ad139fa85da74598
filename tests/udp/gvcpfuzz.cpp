// One fuzz step over the discovery packet readers, driven by the bounded random loop of
// test_gvcp_protocol and, in clang builds with MOULDMON_FUZZ=ON, by libFuzzer
// (fuzz_gvcp corpus -max_total_time=N). False when an invariant breaks.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gvcpprotocol.h"
#include "netif.h"

namespace {

// Bytes of the record that no received byte reached are zero.
template <class Record>
bool zeroPast(const Record& record, qsizetype received) {
    const auto* bytes = reinterpret_cast<const char*>(&record);
    for (size_t i = size_t(std::max<qsizetype>(0, received - gvcp::kHeaderBytes));
         i < sizeof record; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

QByteArray dotted(quint32 address) {
    return nint2string(address).toLatin1();
}

}  // namespace

bool gvcpFuzzOne(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const qsizetype length = static_cast<qsizetype>(size);
    const gvcp::Ack ack = gvcp::readAck(bytes, length);
    const gvcp::Command command = gvcp::readCommand(bytes, length);
    const bool isShort = length < gvcp::kHeaderBytes;
    if ((ack.kind == gvcp::Ack::Short) != isShort) return false;
    if ((command.kind == gvcp::Command::Short) != isShort) return false;
    if (!zeroPast(ack.discovery, length) || !zeroPast(ack.forceIp, length)) return false;
    gvcp::fieldLogText(ack.discovery.model);
    gvcp::fieldText(ack.forceIp.id);

    if (command.kind == gvcp::Command::WriteReg) {
        if (length < 24) return false;
        if (gvcp::isSettableClock(command.value) && gvcp::clockText(command.value).size() != 17)
            return false;
    }
    if (command.kind != gvcp::Command::ForceIp) return true;
    if (length < 64) return false;
    const gvcp_forceip_req& request = command.forceIp;
    gvcp::forceIpRefusal(request.ip, request.mask, request.gateway);
    // A request rebuilt from what was read reads back the same.
    const QByteArray id(request.id, static_cast<int>(qstrnlen(request.id, sizeof request.id)));
    if (id.size() > udplimits::kGvcpMaxIdBytes) return true;
    const QByteArray rebuilt =
        gvcp_cmd_forceip(dotted(request.ip).constData(), dotted(request.mask).constData(),
                         dotted(request.gateway).constData(), id.constData());
    const gvcp::Command again = gvcp::readCommand(rebuilt.constData(), rebuilt.size());
    return again.kind == gvcp::Command::ForceIp && again.forceIp.ip == request.ip &&
           again.forceIp.mask == request.mask && again.forceIp.gateway == request.gateway &&
           std::memcmp(again.forceIp.id, request.id, size_t(id.size()) + 1) == 0;
}

#ifdef MOULDMON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gvcpFuzzOne(data, size)) std::abort();
    return 0;
}
#endif
