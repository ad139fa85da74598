#include "interfacecounts.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <algorithm>
#include <numeric>

#include "deraRazovi.h"
#include "eventwait.h"
#include "globals.h"
#include "httpapiserver.h"
#include "modbusserver.h"
#include "resstatisticsparam.h"
#include "tcpreactor.h"

namespace cycletest {

namespace {

constexpr int kClientTimeoutMs = 20000;

// Optionally resets by register 4, then reads registers 0..3 and the product infos; prints
// {"registers": [...], "infos": {...}}. Exits non-zero with the reason on stderr.
const char* const kClient = R"(
import http.client, json, sys
from pymodbus.client import ModbusTcpClient
modbus_port, http_port, reset = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3] == "1"
master = ModbusTcpClient("127.0.0.1", port=modbus_port, timeout=5, retries=0)
if not master.connect():
    sys.exit("no Modbus connection")
if reset:
    if master.write_registers(4, [1], slave=1).isError():
        sys.exit("the reset was refused")
    master.close()
    print("{}")
    sys.exit(0)
read = master.read_holding_registers(0, 4, slave=1)
if read.isError():
    sys.exit("the registers were refused")
master.close()
api = http.client.HTTPConnection("127.0.0.1", http_port, timeout=5)
api.request("POST", "/v18/http/get_product_infos", body=b"{}",
            headers={"Content-Type": "application/json"})
infos = json.loads(api.getresponse().read().decode())["result"]
print(json.dumps({"registers": read.registers, "infos": infos}))
)";

QString python() {
    // The system's interpreter carries pymodbus; another one on the PATH may not.
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

// Runs the client while this thread handles events; its output, or an error.
QJsonObject runClient(DeRaRazovi& window, bool reset, QString* error) {
    // The servers answer from what the window's thread publishes when its loop is about to wait.
    // A test's wait handles events without ever waiting, so that moment is given here.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) emit dispatcher->aboutToBlock();
    QProcess client;
    client.start(python(), {QStringLiteral("-c"), QString::fromLatin1(kClient),
                            QString::number(window.modbusServer->serverPort()),
                            QString::number(window.httpApiServer->reactor()->localPort()),
                            reset ? QStringLiteral("1") : QStringLiteral("0")});
    const bool ended = testsupport::waitFor([&] { return client.state() == QProcess::NotRunning; },
                                            kClientTimeoutMs);
    if (!ended) {
        client.kill();
        client.waitForFinished(1000);
    }
    if (!ended || client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        *error = QStringLiteral("client: ") + QString::fromUtf8(client.readAllStandardError());
        return {};
    }
    return QJsonDocument::fromJson(client.readAllStandardOutput()).object();
}

QList<int> ints(const QJsonArray& values) {
    QList<int> list;
    for (const QJsonValue& v : values) list << v.toInt(-1);
    return list;
}

QList<int> camerasInUse(const int* counts) {
    QList<int> list;
    for (int c = 0; c < std::clamp(numCamera, 0, kMaxCameras); ++c) list << counts[c];
    return list;
}

QList<int> fileList(const QSettings& file, const char* key) {
    QList<int> list;
    const QStringList values = file.value(QLatin1String(key)).toStringList();
    for (int c = 0; c < std::clamp(numCamera, 0, kMaxCameras) && c < values.size(); ++c)
        list << values[c].toInt();
    return list;
}

}  // namespace

InterfaceCounts readInterfaceCounts(DeRaRazovi& window, bool resetFirst) {
    InterfaceCounts counts;
    if (resetFirst) {
        runClient(window, true, &counts.error);
        if (!counts.error.isEmpty()) return counts;
    }
    const QJsonObject seen = runClient(window, false, &counts.error);
    if (!counts.error.isEmpty()) return counts;
    const QList<int> registers = ints(seen.value(QStringLiteral("registers")).toArray());
    if (registers.size() != 4) counts.error = QStringLiteral("Modbus: not four registers");
    counts.modbusCycles = registers.value(2, -1);
    counts.modbusFailedCycles = registers.value(3, -1);
    const QJsonObject infos = seen.value(QStringLiteral("infos")).toObject();
    counts.apiBusiestCycles = infos.value(QStringLiteral("detect_all")).toInt(-1);
    counts.apiFailedCyclesAny = infos.value(QStringLiteral("detect_ng")).toInt(-1);
    counts.apiCycles = ints(infos.value(QStringLiteral("detect_all_detail")).toArray());
    counts.apiFailedCycles = ints(infos.value(QStringLiteral("detect_ng_detail")).toArray());

    const QSettings file(QDir::current().filePath(QStringLiteral("cnt_net/workspace/count.ini")),
                         QSettings::IniFormat);
    counts.fileCycles = fileList(file, "list_allcyclenum");
    counts.fileFailedCycles = fileList(file, "list_failcyclenum");
    counts.fileSteps = fileList(file, "list_allnum");
    counts.fileFailedSteps = fileList(file, "list_failnum");
    counts.fileFailedCyclesAny = file.value(QStringLiteral("gSyncNGcycleNum"), -1).toInt();
    counts.fileFailedStepsAny = file.value(QStringLiteral("gSyncNGNum"), -1).toInt();

    // What each camera's picture prints beside its frame rate.
    counts.screenCycles = camerasInUse(gAllCycleNum);
    counts.screenFailedCycles = camerasInUse(gFailCycleNum);

    if (gpResStatisticsParam) {
        counts.statisticsCycles = counts.statisticsFailedCycles = 0;
        for (const CountGroup& group : gpResStatisticsParam->currentDay().groups) {
            const auto& hours = group.summary.summary;
            const int failed = std::accumulate(hours.NG.begin(), hours.NG.end(), 0);
            counts.statisticsFailedCycles += failed;
            counts.statisticsCycles +=
                failed + std::accumulate(hours.OK.begin(), hours.OK.end(), 0);
        }
    }
    return counts;
}

}  // namespace cycletest
