// The labels and status words of the camera views.

#include <gtest/gtest.h>

#include "globals.h"
#include "languagetable.h"
#include "viewtexts.h"

using namespace cameraview;

TEST(ViewTexts, RegionLabelsByFunction) {
    const struct {
        RegionNumbers region;
        bool showAll;
        const char* params;
        const char* limit;
    } rows[] = {
        // Without showAllParam the global alarm area and filter size stand in.
        {{0, 25, 100, 3}, false, "25, 150, 5", "150"},
        {{0, 25, 100, 3}, true, "25,100,3", "100"},
        {{1, 10, 90, (40 << 8) | 200}, false, "10--90,200--40", "10--90"},  // spot band bytes
        // Count range: low half the minimum, high half the maximum (read unsigned).
        {{7, 0x180, int(0xFFFF0002u), 4}, false, "128,2--65535,4", "2--65535"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.params);
        const GlobalLimits limits{row.showAll, 5, 150};
        EXPECT_EQ(regionParamText(row.region, limits), row.params);
        EXPECT_EQ(regionLimitText(row.region, limits), row.limit);
    }
    EXPECT_EQ(regionLabel(0, "150", 12, 10), "1: 150 / 12 ");
    EXPECT_EQ(regionLabel(10, "150", 12, 11), "11: 12");
}

TEST(ViewTexts, StatusWordsNamesAndCountdown) {
    fillLanguageTable();
    const int language = gLan;
    gLan = 1;
    EXPECT_EQ(liveStatus(true, 3, 1, true).tone, StatusTone::Cyan);  // resampling wins
    const StatusWord stopped = liveStatus(false, 3, 1, true);
    EXPECT_EQ(stopped.tone, StatusTone::Red);
    EXPECT_EQ(stopped.text, QString::fromUtf8("stopping   温度报警"));
    EXPECT_TRUE(liveStatus(false, 1, 0, false).text.isEmpty());

    EXPECT_EQ(detectionName(2, 2), "Right prod");
    EXPECT_TRUE(detectionName(3, 8).isEmpty());
    gLan = language;

    EXPECT_TRUE(countdownText(0.02f).isEmpty());
    EXPECT_EQ(countdownText(2.5f), "2.5");
    EXPECT_EQ(countdownText(12.34f), "12.3");
}
