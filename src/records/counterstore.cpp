#include "counterstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QVariantList>
#include <algorithm>
#include <iterator>

#include "durablefile.h"
#include "globals.h"

namespace {
const char* const kAllNum = "list_allnum";
const char* const kFailNum = "list_failnum";
const char* const kSyncNGNum = "gSyncNGNum";
const char* const kAllCycleNum = "list_allcyclenum";
const char* const kFailCycleNum = "list_failcyclenum";
const char* const kSyncNGCycleNum = "gSyncNGcycleNum";

void readList(const QSettings& settings, const char* key,
              int (&out)[ProductionCounters::kCameras]) {
    const QVariantList values = settings.value(QLatin1String(key)).toList();
    for (int i = 0; i < ProductionCounters::kCameras && i < values.size(); ++i) {
        bool ok = false;
        const qlonglong value = values.at(i).toLongLong(&ok);
        out[i] = ok && value >= 0 && value <= ProductionCounters::kMaxValue ? int(value) : 0;
    }
}

QByteArray listText(const int (&values)[ProductionCounters::kCameras]) {
    QByteArrayList texts;
    for (int value : values) texts << QByteArray::number(value);
    return texts.join(", ");
}

}  // namespace

bool ProductionCounters::operator==(const ProductionCounters& other) const {
    const auto same = [](const int(&a)[kCameras], const int(&b)[kCameras]) {
        return std::equal(std::begin(a), std::end(a), std::begin(b));
    };
    return same(allNum, other.allNum) && same(failNum, other.failNum) &&
           same(allCycleNum, other.allCycleNum) && same(failCycleNum, other.failCycleNum) &&
           syncNGNum == other.syncNGNum && syncNGCycleNum == other.syncNGCycleNum;
}

ProductionCounters ProductionCounters::fromGlobals() {
    ProductionCounters c;
    for (int i = 0; i < kCameras; ++i) {
        c.allNum[i] = gAllNum[i];
        c.failNum[i] = gFailNum[i];
        c.allCycleNum[i] = gAllCycleNum[i];
        c.failCycleNum[i] = gFailCycleNum[i];
    }
    c.syncNGNum = gSyncNGNum;
    c.syncNGCycleNum = gSyncNGCycleNum;
    return c;
}

void ProductionCounters::toGlobals() const {
    for (int i = 0; i < kCameras; ++i) {
        gAllNum[i] = allNum[i];
        gFailNum[i] = failNum[i];
        gAllCycleNum[i] = allCycleNum[i];
        gFailCycleNum[i] = failCycleNum[i];
    }
    gSyncNGNum = syncNGNum;
    gSyncNGCycleNum = syncNGCycleNum;
}

CounterStore::CounterStore(const QString& iniPath) : path_(iniPath) {}

ProductionCounters CounterStore::read() const {
    ProductionCounters c;
    const QSettings settings(path_, QSettings::IniFormat);
    readList(settings, kAllNum, c.allNum);
    readList(settings, kFailNum, c.failNum);
    c.syncNGNum = settings.value(QLatin1String(kSyncNGNum), 0).toInt();
    readList(settings, kAllCycleNum, c.allCycleNum);
    readList(settings, kFailCycleNum, c.failCycleNum);
    c.syncNGCycleNum = settings.value(QLatin1String(kSyncNGCycleNum), 0).toInt();
    return c;
}

bool CounterStore::write(const ProductionCounters& c) const {
    // The same text QSettings writes and reads (lists as comma-separated values in the general
    // section), written through the durable file helper: a full disk keeps the old counters.
    QByteArray text = "[General]\n";
    const auto line = [&text](const char* key, const QByteArray& value) {
        text += QByteArray(key) + '=' + value + '\n';
    };
    line(kAllNum, listText(c.allNum));
    line(kFailNum, listText(c.failNum));
    line(kSyncNGNum, QByteArray::number(c.syncNGNum));
    line(kAllCycleNum, listText(c.allCycleNum));
    line(kFailCycleNum, listText(c.failCycleNum));
    line(kSyncNGCycleNum, QByteArray::number(c.syncNGCycleNum));
    // The folder may have been impossible to make when the program started (read-only then).
    QDir().mkpath(QFileInfo(path_).absolutePath());
    return storage::replaceFile(path_, text);
}
