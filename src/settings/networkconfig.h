#pragma once
// The platform settings in "cnt_net/config.json" that the network settings screen edits. The
// file is shared: the companion's folders and the start-up's camera count and version live in
// it too, so a save replaces only the keys edited here and keeps every other key as it is.

#include <QString>

namespace settings {

constexpr const char* kNetworkConfigFile = "cnt_net/config.json";

struct NetworkSettings {
    bool netFunc = false;  // "device_worknetfunc"
    bool video = false;    // "device_workvideo"
    QString deviceName;    // "devicename"
    QString serverAddr;    // "serveraddr"
    QString serverPort;    // "serverport"
};

// The edited keys of the file; missing keys (or an unreadable file) give the defaults.
NetworkSettings readNetworkSettings(const QString& path = QLatin1String(kNetworkConfigFile));
// Writes the edited keys through the durable writer, keeping the other keys; the companion's
// "videoapp_dir" and "workspace" get their usual values when missing. A file that
// exists but is not a JSON object is not overwritten (it would lose the companion's keys):
// false, with the reason in error.
bool writeNetworkSettings(const NetworkSettings& settings,
                          const QString& path = QLatin1String(kNetworkConfigFile),
                          QString* error = nullptr);
// A port the companion can use: a decimal number 1..65535.
bool isValidPort(const QString& port);
// The language entry of the link state isAllowSnd() reports; -1 for an unknown value.
int linkStateEntry(int allowSnd);

}  // namespace settings
