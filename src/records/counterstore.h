#pragma once
#include <QString>

// Production counters as kept in count.ini (general section). The in-memory copies are the
// process globals gAllNum, gFailNum, gAllCycleNum, gFailCycleNum, gSyncNGNum and
// gSyncNGCycleNum.
struct ProductionCounters {
    static constexpr int kCameras = 8;
    static constexpr int kMaxValue = 100000000;  // larger stored values read as 0

    int allNum[kCameras] = {};
    int failNum[kCameras] = {};
    int allCycleNum[kCameras] = {};
    int failCycleNum[kCameras] = {};
    int syncNGNum = 0;
    int syncNGCycleNum = 0;

    bool operator==(const ProductionCounters& other) const;

    static ProductionCounters fromGlobals();
    void toGlobals() const;
};

class CounterStore {
public:
    explicit CounterStore(const QString& iniPath);

    // Missing or unreadable file: all zero. List values out of 0..kMaxValue read as 0; only the
    // first 8 values of a list count.
    ProductionCounters read() const;
    // False (with a warning) when the file could not be replaced; it then keeps its old content.
    bool write(const ProductionCounters& counters) const;

    QString path() const { return path_; }

private:
    QString path_;
};
