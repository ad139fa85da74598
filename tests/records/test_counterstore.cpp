#include <gtest/gtest.h>

#include <QFile>

#include "counterstore.h"
#include "globals.h"
#include "testsupport.h"

TEST(CounterStore, RoundTripThroughTheGlobals) {
    testsupport::WorkDir dir;
    ProductionCounters c;
    for (int i = 0; i < 8; ++i) {
        c.allNum[i] = 100 + i;
        c.failNum[i] = i;
        c.allCycleNum[i] = 200 + i;
        c.failCycleNum[i] = 2 * i;
    }
    c.syncNGNum = 7;
    c.syncNGCycleNum = 9;
    c.toGlobals();
    CounterStore store("count.ini");
    store.write(ProductionCounters::fromGlobals());

    ProductionCounters().toGlobals();
    store.read().toGlobals();
    EXPECT_EQ(gAllNum[7], 107);
    EXPECT_EQ(gFailCycleNum[3], 6);
    EXPECT_EQ(gSyncNGNum, 7);
    EXPECT_EQ(gSyncNGCycleNum, 9);

    QFile file("count.ini");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const char* key : {"list_allnum=", "list_failnum=", "gSyncNGNum=", "list_allcyclenum=",
                            "list_failcyclenum=", "gSyncNGcycleNum="})
        EXPECT_TRUE(text.contains(key)) << key;
}

TEST(CounterStore, RangeRulesOnRead) {
    testsupport::WorkDir dir;
    {
        QFile file("count.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[General]\nlist_allnum=5, 100000000, 100000001\n"
            "list_failnum=-1, x, 3, 4, 5, 6, 7, 8, 9, 10\ngSyncNGNum=12\n");
    }
    const ProductionCounters c = CounterStore("count.ini").read();
    EXPECT_EQ(c.allNum[0], 5);
    EXPECT_EQ(c.allNum[1], 100000000);
    EXPECT_EQ(c.allNum[2], 0);  // above the limit
    EXPECT_EQ(c.allNum[3], 0);  // missing
    EXPECT_EQ(c.failNum[0], 0);
    EXPECT_EQ(c.failNum[1], 0);
    EXPECT_EQ(c.failNum[7], 8);  // only the first eight count
    EXPECT_EQ(c.syncNGNum, 12);
    EXPECT_EQ(c.syncNGCycleNum, 0);
}

TEST(CounterStore, MissingFileReadsZero) {
    testsupport::WorkDir dir;
    const ProductionCounters c = CounterStore("nothing/count.ini").read();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c.allNum[i] + c.failNum[i] + c.allCycleNum[i], 0);
}
