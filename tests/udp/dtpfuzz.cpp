// One fuzz step over every parser of the device text protocol, driven by the bounded random
// loop of test_udp_protocol and, in clang builds with MOULDMON_FUZZ=ON, by libFuzzer
// (fuzz_dtp corpus -max_total_time=N). False when an invariant breaks.
#include <cstdint>
#include <cstdlib>

#include "dtpprotocol.h"

bool dtpFuzzOne(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const dtp::Datagram datagram = dtp::parse(bytes, static_cast<qsizetype>(size));
    const sockaddr_in sender{};
    const DTP_Procotol_Struct camera = dtp::makeCameraRecord(datagram, sender);
    chkThroughPermit(dtp::makeIoRecord(datagram, sender), "io", "cam");
    chkThroughPermit(camera, "cam", {"0.0.0.1"}, camera);
    ChgIO_ASCII2Int(datagram.text);

    const QString text = QString::fromUtf8(bytes, static_cast<int>(size));
    QString config;
    DTP_Procotol_Struct cfg;
    if (dtp::configPayload(text, "C", 21, &config)) ParseStr2CamCfg(config, cfg);
    if (ParseStr2CamCfg(text, cfg)) {
        // Written back, it reads the same (brackets inside fields cannot be told apart).
        DTP_Procotol_Struct again;
        const QString written = MakeCamCfg2Str(cfg);
        if (!ParseStr2CamCfg(written, again)) return false;
        QString fields = cfg.ps_machineid + cfg.ps_io_uuid + cfg.ps_io_address +
                         cfg.ps_main_camera_uuid + cfg.ps_main_camera_address;
        for (const DTP_Procotol_Device_Cell& sub : cfg.ps_sub_camera)
            fields += sub.uuid + sub.address;
        if (!fields.contains('(') && !fields.contains(')') && MakeCamCfg2Str(again) != written)
            return false;
    }
    if (!datagram.ok()) return datagram.parts.isEmpty();
    // A well-formed datagram rebuilt from its text parses into the same parts.
    return datagram.parts.size() >= 2 &&
           dtp::parse('<' + datagram.text.toUtf8() + '>').parts == datagram.parts;
}

#ifdef MOULDMON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!dtpFuzzOne(data, size)) std::abort();
    return 0;
}
#endif
