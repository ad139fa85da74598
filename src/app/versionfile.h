#pragma once
#include <QString>

// Writes "version" and "camcount" into "cnt_net/config.json", keeping every other key. The
// file is replaced durably, so neither a crash nor a full disk leaves it empty.
bool writeVersionToJson(const QString& path = QStringLiteral("./cnt_net/config.json"));
