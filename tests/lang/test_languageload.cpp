// Reading the table's data: escapes must survive exactly and a bad line must not disturb others.
#include <gtest/gtest.h>

#include <QString>
#include <vector>

#include "languagetable.h"

namespace {

constexpr int kSmallTable = 16 * kLanguageCount;

struct Loaded {
    std::vector<QString> texts = std::vector<QString>(kSmallTable);
    lang::LoadReport report;
};

Loaded load(const QByteArray& data) {
    Loaded result;
    result.report = lang::loadLanguageTable(data, result.texts.data(), kSmallTable);
    return result;
}

TEST(LanguageLoad, KeepsBreaksTabsQuotesAndEdgeBlanksExactly) {
    const Loaded t = load(R"([3, "  两个空格", "Click \"OK\"!\r\n next ", "\t制表", "末尾の空白 "])"
                          "\n");
    EXPECT_EQ(t.report.entries, 1);
    EXPECT_EQ(t.report.rejected, 0);
    EXPECT_EQ(t.texts[12], QString::fromUtf8("  两个空格"));
    EXPECT_EQ(t.texts[13], QStringLiteral("Click \"OK\"!\r\n next "));
    EXPECT_EQ(t.texts[14], QString::fromUtf8("\t制表"));
    EXPECT_EQ(t.texts[15], QString::fromUtf8("末尾の空白 "));
}

TEST(LanguageLoad, SkipsBadLinesAndKeepsTheRest) {
    const Loaded t = load(
        "[1, \"a\", \"b\", \"c\", \"d\"]\n"
        "\n"
        "[2, \"missing a language\", \"b\", \"c\"]\n"
        "[3, \"a\", \"b\", \"c\", 7]\n"
        "[16, \"beyond the table\", \"b\", \"c\", \"d\"]\n"
        "[-1, \"negative\", \"b\", \"c\", \"d\"]\n"
        "[4.5, \"fraction\", \"b\", \"c\", \"d\"]\n"
        "[\"5\", \"text number\", \"b\", \"c\", \"d\"]\n"
        "{\"entry\": 6}\n"
        "[7, \"unterminated\n"
        "[1, \"second time\", \"x\", \"y\", \"z\"]\n"
        "[8, \"\", \"\", \"\", \"\"]\n");
    EXPECT_EQ(t.report.entries, 2);
    EXPECT_EQ(t.report.rejected, 9);
    // The first listing of an entry wins; a repeat writes nothing.
    EXPECT_EQ(t.texts[4], QStringLiteral("a"));
    EXPECT_EQ(t.texts[7], QStringLiteral("d"));
    for (int slot = 0; slot < kSmallTable; ++slot) {
        if (slot / kLanguageCount == 1) continue;
        EXPECT_TRUE(t.texts[slot].isEmpty()) << "slot " << slot;
    }
}

TEST(LanguageLoad, LeavesUnlistedSlotsAlone) {
    std::vector<QString> texts(kSmallTable, QStringLiteral("before"));
    lang::loadLanguageTable("[2, \"a\", \"b\", \"c\", \"d\"]", texts.data(), kSmallTable);
    EXPECT_EQ(texts[8], QStringLiteral("a"));
    EXPECT_EQ(texts[7], QStringLiteral("before"));
    EXPECT_EQ(texts[12], QStringLiteral("before"));
}

}  // namespace
