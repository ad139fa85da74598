#include "settingsitems.h"

#include "globals.h"
#include "wizardpara.h"

namespace settings {

namespace {

// Ranges of fields that the load does not check: long enough for any machine cycle, short of
// an overflow when counted in 100 ms ticks.
constexpr Range kTenthsRange{0, 10000};
constexpr Range kCountRange{0, 10000};
constexpr Range kFlagRange{0, 1};

// Fields not offered, and why: derived or in force until the next start (detectMode is edited as
// detectModeNext), reserved values that are only stored and copied.
const char* const kHiddenFields[] = {"detectMode", "spare140", "spare147", "spareToken",
                                     "spare203",   "spare271", "spare287", "spare325"};

// Labels of our own, by OwnLabel: simplified Chinese, English, traditional Chinese, Japanese.
// %1 is the IO row, written "n#" as the row owners' choices show it.
const char* const kOwnLabels[][kLanguageCount] = {
    {"", "", "", ""},
    {"检测模具", "Molds detected", "檢測模具", "検出する金型"},
    {"%1# 触发输入", "%1# trigger input", "%1# 觸發輸入", "%1# トリガ入力"},
    {"%1# 断开方式", "%1# cut mode", "%1# 斷開方式", "%1# オフ方式"},
    {"服务码", "Service code", "服務碼", "サービスコード"},
};

// Japanese texts for the entries of this screen whose Japanese cell the table leaves empty; a
// Japanese operator would otherwise read these rows and choices in English.
struct JapaneseFillIn {
    int entry;
    const char* text;
};
const JapaneseFillIn kJapaneseFillIns[] = {
    {621, "アラーム後は画像を更新しない"},
    {622, "全カメラのテンプレートを一括追加"},
    {623, "検出信号を個別にする"},
    {672, "自身を遅延オフ"},
    {673, "全て遅延オフ"},
    {674, "NG時に自身をオフ"},
    {675, "順次でない検出"},
};

Range rangeOf(const params::FieldSpec& spec) {
    const params::LoadCheck& c = spec.check;
    switch (c.rule) {
        case params::CheckRule::AboveMax:
            return {0, int(c.max)};
        case params::CheckRule::OutsideRange:
            return {int(c.min), int(c.max)};
        case params::CheckRule::OutsideRangeUnlessZero:
            return {int(c.min), int(c.max), true};
        case params::CheckRule::ZeroOrMinusOne:
            return {-1, 0};
        case params::CheckRule::None:
            break;
    }
    return spec.type == params::FieldType::Flag ? kFlagRange : kCountRange;
}

class Builder {
public:
    explicit Builder(QVector<SettingItem>& items) : items_(items) {}
    Builder& page(Page p) {
        page_ = p;
        return *this;
    }
    SettingItem& add(const char* field, int entry, Editor editor, int element = 0) {
        SettingItem item;
        item.field = QLatin1String(field);
        item.element = element;
        item.page = page_;
        item.labelEntry = entry;
        item.editor = editor;
        const params::FieldSpec* spec = params::ParamSchema::field(item.field);
        if (!spec) qFatal("settings name the unknown field %s", field);
        item.range = rangeOf(*spec);
        items_.append(item);
        return items_.last();
    }
    SettingItem& number(const char* field, int entry, int element = 0) {
        return add(field, entry, Editor::Number, element);
    }
    SettingItem& flag(const char* field, int entry, int element = 0) {
        SettingItem& item = add(field, entry, Editor::Flag, element);
        item.range = kFlagRange;
        return item;
    }
    SettingItem& choice(const char* field, int entry, QVector<int> values, QVector<int> entries,
                        int element = 0) {
        SettingItem& item = add(field, entry, Editor::Choice, element);
        item.choiceValues = values;
        item.choiceEntries = entries;
        item.range = {values.isEmpty() ? 0 : values.first(), values.isEmpty() ? 0 : values.last()};
        return item;
    }

private:
    QVector<SettingItem>& items_;
    Page page_ = Page::System;
};

QVector<int> iota(int from, int count) {
    QVector<int> v;
    for (int i = 0; i < count; ++i) v << from + i;
    return v;
}

void systemPage(Builder& b) {
    b.page(Page::System);
    const int delayEntries[params::kStepCount] = {161, 162, 485, 486, 487, 488, 489, 490};
    for (int k = 0; k < params::kStepCount; ++k)
        b.number("trigInDelay", delayEntries[k], k).range = kTenthsRange;
    b.number("reDetectNum", 167);
    b.number("preCutTime", 166);
    b.number("ejectorPulse", 168);
    b.number("clampPulse", 169);
    b.number("screenOffTime", 243);
    b.number("autoLogout", 189);
    b.number("inputTimeout", 336);
    b.number("tempNum", 185);
    b.number("picNumNG", 186);
    b.number("picNumOK", 187);
    b.choice("detectModeNext", 2, {0, 1, 2, 3}, {384, 385, 386, 472});
    b.choice("moldSide", -1, {0, 1, 2}, {376, 377, 383}).ownLabel = OwnLabel::MoldSide;
    b.add("gLan", 317, Editor::Language);
    b.flag("semiAuto", 174);
    b.flag("detectProdEnable", 175);
    b.flag("sameParam", 177);
    b.flag("isPswUsed", 170);
    b.add("password", 171, Editor::Password);
    b.flag("pswNotDetect", 194);
    b.flag("pswAddTemp", 341);
    b.flag("pswStopDetect", 556);
    b.flag("useStatistics", 554);
    b.flag("useLog", 558);
    b.flag("showManualSnap", 272);
    b.flag("realTimeShowROI", 470);
    b.flag("cameraLostOpt", 657);
    b.flag("showFactoryParam", 254);
    b.flag("templateAutoUpdate", 400);
    b.flag("addAllCamTemp", 622);
    b.flag("camSampleSeparately", 624);
    b.flag("noRefreshAfterAlarm", 621);
    b.flag("continuousArea", 671);
}

void cameraPage(Builder& b) {
    b.page(Page::Camera);
    struct Image {
        const char* field;
        int entry;
        CameraSetting setting;
    };
    const Image image[] = {{"exposeTime", 164, CameraSetting::Exposure},
                           {"adjustPlus", 165, CameraSetting::Gain},
                           {"sharp", 241, CameraSetting::Sharpness},
                           {"contrast", 242, CameraSetting::Contrast},
                           {"gamma", 364, CameraSetting::Gamma}};
    for (const Image& i : image) {
        SettingItem& item = b.add(i.field, i.entry, Editor::Slider);
        item.perCamera = true;
        item.hasCamera = true;
        item.camera = i.setting;
    }
    for (const Image& i : {Image{"isHMirror", 617, CameraSetting::HMirror},
                           Image{"isVMirror", 618, CameraSetting::VMirror}}) {
        SettingItem& item = b.flag(i.field, i.entry);
        item.perCamera = true;
        item.hasCamera = true;
        item.camera = i.setting;
    }
    SettingItem& wdr = b.flag("isWDR", 388);
    wdr.hasCamera = true;
    wdr.camera = CameraSetting::WDR;
    b.number("speed", 244);
    b.flag("isColor", 270);
    b.flag("isGrayHue", 271);
    b.flag("noLensOpt", 337);
    b.flag("sysUsage", 519);
}

void ioPage(Builder& b) {
    b.page(Page::InputOutput);
    SettingItem& com = b.choice("comPort", 269, iota(0, 8), QVector<int>(8, -1));
    for (int i = 0; i < 8; ++i) com.choiceTexts << QStringLiteral("COM%1").arg(i + 1);
    const int outputEntries[params::kLineCount] = {273, 274, 275, 281, 491, 492, 493, 494, 496};
    for (int k = 0; k < params::kLineCount; ++k) {
        SettingItem& item = b.choice("outputInvert", outputEntries[k], {0, 1}, {204, 211}, k);
        if (k == params::kLineCount - 1) item.labelArg = k + 1;
    }
    b.choice("input4Use", 203, {0, 1, 2, 3}, {455, 404, 405, 406});
    b.choice("output4Use", 334, {0, 1, 2, 3}, {455, 407, 408, 409});
    b.number("output4Pulse", 667);
    b.number("debounceTime", 524).range = kTenthsRange;
    b.number("shieldPin", 630);
    b.number("moldOKNum", 662);
    b.flag("safeDoorTrigger", 265);
    b.flag("safeDoorResetAlarm", 195);
    b.flag("stopClampOnStop", 179);
    b.flag("cutEjectorWhenClamp", 178);
    b.flag("cutClampAfterMoldOK", 193);
    b.flag("cutEjectorAfterProdOK", 513);
    b.flag("noEjectorCtrlProd", 192);
    b.flag("ejectorPulseOnProdNG", 190);
    b.flag("clampPulseOnMoldNG", 659);
    b.flag("okNgPulse", 202);
    b.flag("cutEjectorOnProdAlarm", 515);
    b.flag("cutClampOnMoldAlarm", 562);
    b.flag("moldNGTimedRelease", 666);
    b.flag("prodNGSkipOnDoor", 629);
    b.flag("separateDetectSignal", 623);
    // The multi-detection layout: number of steps, who drives each step, and per IO row its
    // trigger input and cut mode; then the function of each free input and output terminal.
    b.number("detectNum", 472);
    SettingItem& sequential = b.flag("sequentialDetect", 675);
    sequential.editor = Editor::InvertedFlag;
    for (int j = 0; j < params::kStepCount; ++j) {
        QVector<int> values{params::kNoOwner};
        values << iota(0, params::kStepCount);
        QVector<int> entries{173};
        entries << QVector<int>(params::kStepCount, 469);
        SettingItem& owner = b.choice("outputOwner", 591, values, entries, j);
        owner.labelArg = j + 1;
        owner.choiceArgBase = 1;  // IO row r is shown as "r+1#"
    }
    for (int r = 0; r < params::kStepCount; ++r) {
        SettingItem& trig = b.choice("detectTrigIn", -1, iota(0, params::kTriggerSlotCount),
                                     QVector<int>(params::kTriggerSlotCount, 495), r);
        trig.choiceArgBase = kArgTriggerSlot;
        trig.ownLabel = OwnLabel::TriggerInput;
        trig.labelArg = r + 1;
    }
    for (int r = 0; r < params::kStepCount; ++r) {
        SettingItem& cut =
            b.choice("detectCutMode", -1, iota(0, 6), {474, 475, 523, 672, 673, 674}, r);
        cut.ownLabel = OwnLabel::CutMode;
        cut.labelArg = r + 1;
    }
    for (int i = 0; i < params::kStepCount; ++i) {
        SettingItem& in = b.choice("inputFunc", 495, iota(0, params::kInputFunctionCount),
                                   QVector<int>(params::kInputFunctionCount, -1), i);
        in.labelArg = i == 0 ? 1 : i + 2;  // input terminal 2 is the fixed safety-door input
        in.choiceArgBase = kArgInputFunction;
    }
    for (int j = 0; j < params::kStepCount; ++j) {
        SettingItem& out = b.choice("outputFunc", 476, iota(0, params::kOutputFunctionCount),
                                    QVector<int>(params::kOutputFunctionCount, -1), j);
        out.labelArg = j < 2 ? j + 1 : j + 2;  // output terminal 3 is the fixed alarm output
        out.choiceArgBase = kArgOutputFunction;
    }
}

void advancedPage(Builder& b) {
    b.page(Page::Advanced);
    b.flag("enableDefect", 196);
    b.flag("enableSpot", 197);
    b.flag("enableIgnore", 198);
    b.flag("enableLocate", 199);
    b.flag("enableBlackArea", 390);
    b.flag("enableWhiteArea", 391);
    b.flag("enableSimilarity", 397);
    b.flag("enableWhiteNum", 520);
    b.flag("enableBlackNum", 625);
    b.flag("showAllParam", 200);
    b.number("filterSize", 22);
    b.number("alarmArea", 24);
    b.number("amplify", 188);
    b.number("minSpot", 181);
    b.number("shapeOffset", 213);
    b.number("shapeAccuracy", 663);
    b.number("zoomLayers", 664);
    b.number("rotateAngle", 403);
    SettingItem& motion = b.add("motionCorrect", 176, Editor::OnZero);
    motion.range = {-1, 0};
    b.flag("angleCorrect", 583);
    b.flag("matchBrightness", 582);
    b.flag("templateIsNG", 457);
    b.add("serviceCode", -1, Editor::Text).ownLabel = OwnLabel::ServiceCode;
}

QVector<SettingItem> build() {
    QVector<SettingItem> items;
    Builder b(items);
    systemPage(b);
    cameraPage(b);
    ioPage(b);
    advancedPage(b);
    return items;
}

}  // namespace

namespace {
int language() {
    return qBound(0, gLan, kLanguageCount - 1);
}

// The text of an entry; where the table leaves the current language empty, our own Japanese
// text, else the English one, so that no row or choice is left without a name.
QString textOf(int entry) {
    const QString text = lan(entry);
    if (!text.trimmed().isEmpty()) return text;
    if (language() == 3) {
        for (const JapaneseFillIn& f : kJapaneseFillIns)
            if (f.entry == entry) return QString::fromUtf8(f.text);
    }
    return gaLanStr[entry * kLanguageCount + 1];
}
}  // namespace

QString Range::text() const {
    const QString span = QStringLiteral("%1 - %2").arg(min).arg(max);
    return zeroAllowed ? QStringLiteral("0, ") + span : span;
}

QString SettingItem::label() const {
    if (editor == Editor::Language) {
        // Every operator can find his own language's name here.
        QStringList names;
        for (int l = 0; l < kLanguageCount; ++l) names << gaLanStr[labelEntry * kLanguageCount + l];
        return names.join(QStringLiteral(" / "));
    }
    QString text =
        ownLabel != OwnLabel::None ? lanOwn(kOwnLabels[int(ownLabel)]) : textOf(labelEntry);
    if (labelArg >= 0) text = text.arg(labelArg);
    return text.trimmed();
}

QString SettingItem::choiceText(int index) const {
    if (index < 0 || index >= choiceValues.size()) return QString();
    const int value = choiceValues[index];
    if (choiceArgBase == kArgInputFunction)
        return QString::fromUtf8(gInName[value * kLanguageCount + gLan]);
    if (choiceArgBase == kArgOutputFunction)
        return QString::fromUtf8(gOutName[value * kLanguageCount + gLan]);
    const int entry = index < choiceEntries.size() ? choiceEntries[index] : -1;
    if (entry < 0) return index < choiceTexts.size() ? choiceTexts[index] : QString::number(value);
    QString text = textOf(entry);
    if (text.contains(QLatin1String("%1"))) {
        const int arg = choiceArgBase == kArgTriggerSlot ? TriginNo[value] : value + choiceArgBase;
        text = text.arg(arg);
    }
    return text.trimmed();
}

const QVector<SettingItem>& settingItems() {
    static const QVector<SettingItem> items = build();
    return items;
}

QVector<SettingItem> itemsOf(Page page, int camera) {
    QVector<SettingItem> out;
    for (const SettingItem& item : settingItems()) {
        if (item.page != page) continue;
        SettingItem copy = item;
        if (copy.perCamera) copy.element = camera;
        out.append(copy);
    }
    return out;
}

bool needsServiceLevel(Page page) {
    return page == Page::InputOutput || page == Page::Advanced;
}

bool isHiddenField(const QString& name) {
    for (const char* hidden : kHiddenFields)
        if (name == QLatin1String(hidden)) return true;
    return false;
}

int* SettingsEdit::slot(const SettingItem& item) const {
    const params::FieldSpec* spec = item.spec();
    if (!spec || !spec->numbers || item.element < 0 || item.element >= spec->count) return nullptr;
    return spec->numbers(para_, ctx_) + item.element;
}

int SettingsEdit::value(const SettingItem& item) const {
    const int* p = slot(item);
    return p ? *p : 0;
}

bool SettingsEdit::setValue(const SettingItem& item, int value) {
    int* p = slot(item);
    if (!p || !item.range.contains(value)) return false;
    *p = value;
    return true;
}

}  // namespace settings
