// The compiled-in language table as the screens read it through gLan.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include "globals.h"
#include "languagetable.h"

namespace {

constexpr int kSimplified = 0;
constexpr int kEnglish = 1;
constexpr int kTraditional = 2;
constexpr int kJapanese = 3;
constexpr int kLastFilledEntry = 677;

QString u(const char* text) {
    return QString::fromUtf8(text);
}

QString slot(int entry, int language) {
    return gaLanStr[entry * kLanguageCount + language];
}

// Entries between 0 and the last filled one that hold no text in any language.
QSet<int> unlistedEntries() {
    QSet<int> entries = {153, 321, 322, 578, 648};
    for (int e = 530; e <= 539; ++e) entries.insert(e);
    for (int e = 632; e <= 639; ++e) entries.insert(e);
    return entries;
}
const QSet<int> kNoEnglish = {549, 552, 553, 555, 557, 561};
const QSet<int> kNoJapanese = {557, 621, 622, 623, 672, 673, 674, 675};
// Entries filled after a gap beyond the last filled one of the contiguous run.
const QSet<int> kFilledBeyond = {685, 690, 691};

class LanguageTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fillLanguageTable(); }
    void TearDown() override { gLan = 0; }
};

TEST_F(LanguageTable, EnglishTextsAreExact) {
    const QList<QPair<int, QString>> expected = {
        {0, u("Camera parameter file error!")},
        {1, u("Regional parameter file error, \r\n please restore the Parameter Group \r\n or "
              "contact the supplier!")},
        {31, u("Point %1 ")},
        {35, u("Note: The polygon area with \r\n up to 20 vertices!")},
        {55, u("Del This ROI ")},
        {68, u("If you want to delete the first \r\ntemplate, please click \"Resample\"!")},
        {73, u("Detection %2 of camera %1 ")},
        {78, u("Defect Detection,the sensitivity is %1,, the filter size is %2, the alarm area "
               "is %3")},
        {86, u("，Changing the maximum gradation from %1 to %2")},
        {94, u(", Changing the sensitivity  from %1 to %2")},
        {110, u("%1  Cycle %2S")},
        {113, u("Be sure to ignore the current alarm \r\npoint?")},
        {119, u("Note: The same of two parameters has \r\n been enabled, take the product para-\r\n"
                "meter as the standard，the parameter \r\n of detection mold is no need to set!")},
        {134, u("The camera was unavailable, \r\n please check the connection! \r\nWhether to "
                "eliminate the SN of \r\n camera?")},
        {152, u("Alarm")},
        {204, u("  Break")},
        {212, u("Live↔Temp")},
        {286, u("Restore the parameter group to 1%")},
        {296, u("Please click on \"OK\" to exit!")},
        {309, u("Note: The change of IO Port or Color\r\ncamera or Gray channel or Lens Optimi-\r\n"
                "zation need to restart to take effect!")},
        {315, u("Templates %1 / %2     %3")},
        {316, u("NG %1 / Total %2      FPS %3")},
        {345, u("delay” setting")},
        {404, u("   Open")},
        {409, u("    Alrm")},
        {455, u("    RSV")},
        {458, u("calibrate \n touch screen")},
        {495, u("   Input %1")},
        {512, u("No select was made for \r\n the last detection！")},
        {527, u("Are you sure you want to \r\n re年store the default settings")},
        {629, u("When the finished product is NG, skip directly after opening and closing the "
                "safety door, and recheck the mold cavity")},
        {653, u("Default is the default parameter \n group and cannot be operated on. \n Please "
                "choose a new name for backup!")},
        {659, u("When the mold cavity detects NG, \n he mold closes and outputs pulses. \n It may "
                "not alarm if it does not.")},
        {668, u("When updating, please confirm whether \nthe version numbers of the corresponding "
                "\nversions are consistent? If the version number \nis not the same series, please "
                "do not update, \notherwise it will cause the system to crash!")},
        {670, u("end current\n polygon")},
        {675, u("Not sequential detection")},
    };
    gLan = kEnglish;
    for (const auto& [entry, text] : expected) EXPECT_EQ(lan(entry), text) << "entry " << entry;
}

TEST_F(LanguageTable, RowsGivenInFourLanguagesAreExact) {
    struct Row {
        int entry;
        const char* texts[kLanguageCount];
    };
    const Row rows[] = {
        {0,
         {"相机参数文件打开错误！", "Camera parameter file error!", "相機參數檔打開錯誤！",
          "カメラパラメータファイル\nのオープンエラー！"}},
        {2, {"功能：", "Func", "功能：", "機能："}},
        {125, {"请输入密码！", "Password:", "請輸入密碼！", "パスワードを入力してください！"}},
        {317, {"简体中文", "English", "繁體中文", "日文"}},
        {357,
         {"密码错误，请重新输入！", "The password is wrong", "密碼錯誤，請重新輸入！",
          "パスワードが間違っています。\n再入力してください！"}},
        {367, {"平均 %1", "Aver %1", "平均 %1", "平均%1"}},
        {370,
         {"松开手进入触摸屏校正...", "Release hand into TS calibration",
          "鬆開手進入觸控式螢幕校正...", "手を離してタッチパネル\n補正にに入ります.."}},
        {379, {"移左止", "Shift left", "移左止", "左到着"}},
        {540, {"秒", "S", "秒", "秒"}},
        {544,
         {"结果统计文件错误，请还原\n参数组或联系供应商！",
          "Res statistics file error, please \r\n restore parameter group \r\n or contact "
          "supplier",
          "結果統計檔錯誤，請還原\n參數組或聯繫供應商！",
          "結果統計ファイルエラー、\nパラメータグループを復元\nするか、ベンダーに連絡\nしてくだ"
          "さい！"}},
        {264, {"模腔", "Mold", "模腔", "キャビティ"}},
        {586, {"%1号相机", "Camera %1", "%1號相機", "%1号カメラ"}},
        {651, {"加载其他插件", "Load other plugins", "加載其他挿件", "追加プラグインのロード"}},
        {652, {"完成", "complete", "完成", "完了"}},
    };
    for (const Row& row : rows) {
        for (int language = 0; language < kLanguageCount; ++language) {
            gLan = language;
            EXPECT_EQ(lan(row.entry), u(row.texts[language]))
                << "entry " << row.entry << " language " << language;
        }
    }
    EXPECT_EQ(slot(549, kSimplified), u("早班 / 晚班"));
    EXPECT_EQ(slot(549, kJapanese), u("早番/夜勤"));
    EXPECT_EQ(slot(557, kSimplified), u("产品名称:"));
    EXPECT_EQ(slot(557, kTraditional), u("參數組:"));
}

TEST_F(LanguageTable, SimplifiedTextsOfTheStatisticsScreensAndTheExportAreExact) {
    // Runs of consecutive entries: the first entry and the texts from there on.
    const QList<QPair<int, QStringList>> runs = {
        {147, {u("导出成功！")}},
        {234, {u("是否保存系统参数的修改？")}},
        {263, {u("成品"), u("模腔")}},
        {320, {u("找不到U盘，是否插入U盘重试？")}},
        {372, {u("左成品"), u("左模腔"), u("右成品"), u("右模腔")}},
        {477, u("一次 二次 三次 四次 五次 六次 七次 八次").split(' ')},
        {542, {u("OK总数"), u("NG总数")}},
        {547, {u("生产总数")}},
        {584, {u("所有检测"), u("所有相机"), u("%1号相机")}},
        {589, {u("合格次数"), u("异常次数")}},
        {654, {u("正在导出，请稍等！")}},
    };
    for (const auto& [first, texts] : runs)
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_EQ(slot(first + i, kSimplified), texts[i]) << "entry " << first + i;
}

TEST_F(LanguageTable, FilledEntriesHaveEveryLanguageTheyShouldAndNothingElseIsFilled) {
    const QSet<int> unlisted = unlistedEntries();
    for (int entry = 0; entry < lang::kEntryCount; ++entry) {
        const bool listed = (entry <= kLastFilledEntry && !unlisted.contains(entry)) ||
                            kFilledBeyond.contains(entry);
        for (int language = 0; language < kLanguageCount; ++language) {
            bool expectText = listed;
            if (language == kEnglish && kNoEnglish.contains(entry)) expectText = false;
            if (language == kJapanese && kNoJapanese.contains(entry)) expectText = false;
            EXPECT_EQ(!slot(entry, language).isEmpty(), expectText)
                << "entry " << entry << " language " << language;
        }
    }
}

// A translation that loses or adds a %n breaks QString::arg at the point of use.
TEST_F(LanguageTable, TranslationsCarryTheSamePlaceholdersAsEnglish) {
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    auto placeholders = [&](const QString& text) {
        QStringList found;
        auto it = placeholder.globalMatch(text);
        while (it.hasNext()) found << it.next().captured();
        found.sort();
        return found;
    };
    for (int entry = 0; entry < lang::kEntryCount; ++entry) {
        const QString english = slot(entry, kEnglish);
        // Entry 286 is missing its placeholder in English ("1%"); the others carry "%1".
        const QStringList expected =
            entry == 286 ? QStringList{QStringLiteral("%1")} : placeholders(english);
        if (english.isEmpty()) continue;
        for (int language : {kSimplified, kTraditional, kJapanese}) {
            if (slot(entry, language).isEmpty()) continue;
            EXPECT_EQ(placeholders(slot(entry, language)), expected)
                << "entry " << entry << " language " << language;
        }
    }
}

// A text written for English or for the other Chinese script in the wrong column shows up as
// characters that do not belong to the language.
TEST_F(LanguageTable, EachColumnIsWrittenInItsOwnScript) {
    const QString simplifiedOnly = u("这们设数门开关机时为检测图区报灵启动输码错误请选项网络线头");
    const QString traditionalOnly = u("這們設數門開關機時為檢測圖區報靈啟動輸碼錯誤請選項網絡線頭");
    const QString simplifiedNotJapanese = u("这们设门开关时为检测图报灵启动输码错误请选项网络线头");
    // Traditional forms whose Japanese form differs (檢 for 検, 圖 for 図 and so on).
    const QString notJapanese = u("檢圖區數關顯錄邊變單對應體啟碼這們靈還");
    const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    const QRegularExpression cjk(QStringLiteral("[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}]"));
    for (int entry = 0; entry <= kLastFilledEntry; ++entry) {
        const QString simplified = slot(entry, kSimplified);
        const QString traditional = slot(entry, kTraditional);
        for (const QChar c : traditionalOnly)
            EXPECT_FALSE(simplified.contains(c)) << "entry " << entry << " has " << c.unicode();
        for (const QChar c : simplifiedOnly)
            EXPECT_FALSE(traditional.contains(c)) << "entry " << entry << " has " << c.unicode();
        for (const QChar c : simplifiedNotJapanese + notJapanese)
            EXPECT_FALSE(slot(entry, kJapanese).contains(c))
                << "entry " << entry << " has " << c.unicode();
        if (!slot(entry, kEnglish).contains(word)) continue;
        for (int language : {kSimplified, kTraditional, kJapanese}) {
            const QString text = slot(entry, language);
            if (text.isEmpty()) continue;
            EXPECT_TRUE(text.contains(cjk)) << "entry " << entry << " language " << language;
        }
    }
}

TEST_F(LanguageTable, SwitchingTheLanguageSwitchesEveryLookup) {
    for (int language = 0; language < kLanguageCount; ++language) {
        gLan = language;
        for (int entry = 0; entry < lang::kEntryCount; ++entry)
            ASSERT_EQ(lan(entry), slot(entry, language)) << "entry " << entry;
    }
    gLan = kEnglish;
    EXPECT_EQ(lan(127), u("Stop Detection"));
    EXPECT_EQ(lan(621), u("Suppress image refresh after alarm"));
    gLan = kJapanese;
    EXPECT_EQ(lan(652), u("完了"));
    EXPECT_TRUE(lan(621).isEmpty());
    EXPECT_TRUE(lan(578).isEmpty());
    EXPECT_TRUE(lan(2047).isEmpty());
}

TEST_F(LanguageTable, FillingAgainGivesTheSameTable) {
    const QString before = slot(68, kEnglish);
    gaLanStr[4000] = QStringLiteral("stale");
    fillLanguageTable();
    EXPECT_EQ(slot(68, kEnglish), before);
    EXPECT_TRUE(gaLanStr[4000].isEmpty());
}

}  // namespace
