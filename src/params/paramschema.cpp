#include "paramschema.h"

#include <QHash>
#include <QRegularExpression>
#include <cstring>

#include "wizardpara.h"

namespace params {

namespace {

using Numbers = int* (*)(WizardPara&, StoreContext&);
using Text = char* (*)(WizardPara&);

#define MM_NUM(member) [](WizardPara& p, StoreContext&) -> int* { return &p.member; }
#define MM_ARR(member) [](WizardPara& p, StoreContext&) -> int* { return &p.member[0]; }

LoadCheck none() {
    return {};
}
LoadCheck above(quint32 max, int fallback) {
    return {CheckRule::AboveMax, 0, max, fallback};
}
LoadCheck outside(quint32 min, quint32 max, int fallback) {
    return {CheckRule::OutsideRange, min, max, fallback};
}

FieldSpec number(const char* name, Numbers numbers, int count = 1, LoadCheck check = none(),
                 QVector<int> initial = {0}, QVector<int> factory = {},
                 FieldType type = FieldType::Number) {
    FieldSpec f;
    f.name = QLatin1String(name);
    f.type = type;
    f.count = count;
    f.initial = initial;
    f.factory = factory.isEmpty() ? initial : factory;
    f.check = check;
    f.numbers = numbers;
    return f;
}

FieldSpec flag(const char* name, Numbers numbers, int count = 1, QVector<int> factory = {0}) {
    return number(name, numbers, count, none(), {0}, factory, FieldType::Flag);
}

FieldSpec reserved(const char* name, Numbers numbers, int count = 1, LoadCheck check = none()) {
    return number(name, numbers, count, check, {0}, {0}, FieldType::Reserved);
}

FieldSpec text(const char* name, Text field, const QString& initial) {
    FieldSpec f;
    f.name = QLatin1String(name);
    f.type = FieldType::Text;
    f.initialText = initial;
    f.factoryText = initial;
    f.text = field;
    return f;
}

QVector<FieldSpec> buildFields() {
    const int cams = kCameraCount;
    const int steps = kStepCount;
    QVector<FieldSpec> f;
    // Per-camera image settings.
    f << number("exposeTime", MM_ARR(exposeTime), cams, above(10000, 30), {0}, {30});
    f << number("adjustPlus", MM_ARR(adjustPlus), cams, above(10000, 32), {0}, {32});
    f << number("sharp", MM_ARR(sharp), cams, above(10000, 0));
    f << number("contrast", MM_ARR(contrast), cams, above(10000, 50), {0}, {50});
    f << number("gamma", MM_ARR(gamma), cams, above(10000, 70), {0}, {70});
    // A negative delay is kept as stored; stepDelay reads it as no delay.
    f << number("trigInDelay", MM_ARR(trigInDelay), steps);
    // A new database starts with output 3 "Close", as a missing system7 row does.
    f << flag("outputInvert", MM_ARR(outputInvert), kLineCount, {0, 0, 1, 0, 0, 0, 0, 0, 0});
    f << flag("semiAuto", MM_NUM(semiAuto));
    f << flag("sameParam", MM_NUM(sameParam));
    f << flag("stopClampOnStop", MM_NUM(stopClampOnStop));
    f << number("motionCorrect", MM_NUM(motionCorrect), 1,
                {CheckRule::ZeroOrMinusOne, 0, 0, kMotionCorrectOff});
    f << flag("cutEjectorWhenClamp", MM_NUM(cutEjectorWhenClamp));
    f << flag("isPswUsed", MM_NUM(isPswUsed));
    f << flag("templateAutoUpdate", MM_NUM(templateAutoUpdate));
    f << flag("detectProdEnable", MM_NUM(detectProdEnable));
    f << number("tempNum", MM_NUM(tempNum), 1, outside(1, 100, 10), {0}, {10});
    f << number("picNumNG", MM_NUM(picNumNG), 1, above(20000, 0));
    f << number("picNumOK", MM_NUM(picNumOK), 1, above(20000, 0));
    f << number("screenOffTime", MM_NUM(screenOffTime), 1,
                {CheckRule::OutsideRangeUnlessZero, 30, 9999, 600});
    f << number("speed", MM_NUM(speed), 1, above(100, 12), {0}, {12});
    f << number("amplify", MM_NUM(amplify), 1, above(4, 0));
    f << number("autoLogout", MM_NUM(autoLogout), 1, above(10000, 0));
    f << number("reDetectNum", MM_NUM(reDetectNum), 1, above(10000, 0));
    f << number("ejectorPulse", MM_NUM(ejectorPulse), 1, above(10000, 0));
    f << number("clampPulse", MM_NUM(clampPulse), 1, above(10000, 0));
    f << number("output4Pulse", MM_NUM(output4Pulse));
    f << number("inputTimeout", MM_NUM(inputTimeout), 1, above(100000000, 60));
    f << number("debounceTime", MM_NUM(debounceTime));
    f << number("filterSize", MM_NUM(filterSize), 1, outside(1, 100, 3), {0}, {3});
    f << number("alarmArea", MM_NUM(alarmArea), 1, outside(1, 100000, 100), {0}, {100});
    f << number("shapeAccuracy", MM_NUM(shapeAccuracy), 1, above(10, 5), {5});
    f << number("zoomLayers", MM_NUM(zoomLayers), 1, above(10, 5), {5});
    f << flag("noEjectorCtrlProd", MM_NUM(noEjectorCtrlProd));
    f << flag("ejectorPulseOnProdNG", MM_NUM(ejectorPulseOnProdNG));
    f << flag("clampPulseOnMoldNG", MM_NUM(clampPulseOnMoldNG));
    f << number("input4Use", MM_NUM(input4Use));
    f << flag("cutClampAfterMoldOK", MM_NUM(cutClampAfterMoldOK));
    f << flag("cutEjectorAfterProdOK", MM_NUM(cutEjectorAfterProdOK));
    f << flag("okNgPulse", MM_NUM(okNgPulse));
    f << flag("cutEjectorOnProdAlarm", MM_NUM(cutEjectorOnProdAlarm));
    f << flag("cutClampOnMoldAlarm", MM_NUM(cutClampOnMoldAlarm));
    f << flag("moldNGTimedRelease", MM_NUM(moldNGTimedRelease));
    f << flag("pswNotDetect", MM_NUM(pswNotDetect));
    f << flag("pswAddTemp", MM_NUM(pswAddTemp));
    f << flag("pswStopDetect", MM_NUM(pswStopDetect));
    f << flag("safeDoorResetAlarm", MM_NUM(safeDoorResetAlarm));
    f << flag("enableDefect", MM_NUM(enableDefect), 1, {1});
    f << flag("enableSpot", MM_NUM(enableSpot));
    f << flag("enableIgnore", MM_NUM(enableIgnore));
    f << flag("enableLocate", MM_NUM(enableLocate));
    f << flag("showAllParam", MM_NUM(showAllParam));
    f << flag("safeDoorTrigger", MM_NUM(safeDoorTrigger));
    f << reserved("spare140", MM_NUM(spare140));
    f << flag("useStatistics", MM_NUM(useStatistics));
    f << number("output4Use", MM_NUM(output4Use));
    f << number("shapeOffset", MM_NUM(shapeOffset), 1, outside(1, 8000, 8000), {0}, {8000});
    f << flag("templateIsNG", MM_NUM(templateIsNG));
    f << flag("realTimeShowROI", MM_NUM(realTimeShowROI));
    f << flag("useLog", MM_NUM(useLog));
    f << reserved("spare147", MM_NUM(spare147));
    f << flag("matchBrightness", MM_NUM(matchBrightness));
    f << flag("angleCorrect", MM_NUM(angleCorrect));
    f << flag("noRefreshAfterAlarm", MM_NUM(noRefreshAfterAlarm));
    f << flag("addAllCamTemp", MM_NUM(addAllCamTemp));
    f << flag("camSampleSeparately", MM_NUM(camSampleSeparately));
    f << flag("prodNGSkipOnDoor", MM_NUM(prodNGSkipOnDoor));
    f << number("shieldPin", MM_NUM(shieldPin));
    f << flag("cameraLostOpt", MM_NUM(cameraLostOpt));
    f << number("moldOKNum", MM_NUM(moldOKNum));
    f << flag("continuousArea", MM_NUM(continuousArea));
    f << number("comPort", MM_NUM(comPort), 1, above(100, 0));
    f << flag("isColor", MM_NUM(isColor));
    f << flag("isGrayHue", MM_NUM(isGrayHue));
    f << flag("noLensOpt", MM_NUM(noLensOpt));
    f << number("minSpot", MM_NUM(minSpot), 1, outside(1, 100, 3), {0}, {3});
    f << flag("showManualSnap", MM_NUM(showManualSnap));
    f << flag("showFactoryParam", MM_NUM(showFactoryParam));
    f << flag("separateDetectSignal", MM_NUM(separateDetectSignal));
    f << number("detectMode", MM_NUM(detectMode), 1, above(3, kModeStandard));
    f << number("detectModeNext", MM_NUM(detectModeNext));
    f << number("moldSide", MM_NUM(moldSide));  // checked by the layout of modes 1 and 2
    f << number("preCutTime", MM_NUM(preCutTime), 1, above(10000, 0));
    f << flag("isWDR", MM_NUM(isWDR));
    f << flag("enableBlackArea", MM_NUM(enableBlackArea));
    f << flag("enableWhiteArea", MM_NUM(enableWhiteArea));
    f << flag("enableWhiteNum", MM_NUM(enableWhiteNum));
    f << flag("enableBlackNum", MM_NUM(enableBlackNum));
    f << flag("enableSimilarity", MM_NUM(enableSimilarity));
    f << number("rotateAngle", MM_NUM(rotateAngle), 1, above(180, 0));
    f << reserved("spareToken", MM_NUM(spareToken), 1, above(100000000, 0));
    f << text(
        "password", [](WizardPara& p) -> char* { return p.password; }, QString());
    f << reserved("spare203", MM_NUM(spare203));
    f << number("detectNum", MM_NUM(detectNum), 1, outside(2, 8, 2), {2});
    f << number("outputOwner", MM_ARR(outputOwner), steps);
    f << number("detectTrigIn", MM_ARR(detectTrigIn), steps);
    f << number("detectCutMode", MM_ARR(detectCutMode), steps);
    f << number("inputFunc", MM_ARR(inputFunc), steps);
    f << number("outputFunc", MM_ARR(outputFunc), steps);
    f << flag("sequentialDetect", MM_NUM(sequentialDetect));
    f << flag("sysUsage", MM_NUM(sysUsage));
    // Only the first 8 entries of the reserved arrays are stored.
    f << reserved("spare271", MM_ARR(spare271), steps);
    f << reserved("spare287", MM_ARR(spare287), steps);
    f << flag("isHMirror", MM_ARR(isHMirror), cams);
    f << flag("isVMirror", MM_ARR(isVMirror), cams);
    f << reserved("spare325", MM_NUM(spare325));
    f << text(
        "serviceCode", [](WizardPara& p) -> char* { return p.serviceCode; },
        QLatin1String(kFactoryServiceCode));
    // The user-interface language is the process global gLan, stored with the parameters.
    f << number("gLan", [](WizardPara&, StoreContext& c) -> int* { return &c.language; }, 1,
                above(kLanguageLast, kFactoryLanguage), {kFactoryLanguage});
    return f;
}

#undef MM_NUM
#undef MM_ARR

class RowBuilder {
public:
    RowBuilder(const QHash<QString, const FieldSpec*>& byName, const char* name) : byName_(byName) {
        row_.name = QLatin1String(name);
    }
    RowBuilder& tokens(const char* field, int from, int count) {
        const FieldSpec* f = lookup(field);
        if (from < 0 || from + count > f->count)
            qFatal("sysparam row %s addresses %s past its %d elements", qPrintable(row_.name),
                   field, f->count);
        for (int i = 0; i < count; ++i) row_.tokens.append({f, f, from + i});
        return *this;
    }
    RowBuilder& token(const char* field) { return tokens(field, 0, 1); }
    RowBuilder& token(const char* readField, const char* writeField) {
        row_.tokens.append({lookup(readField), lookup(writeField), 0});
        return *this;
    }
    RowBuilder& spare(int count = 1) {
        for (int i = 0; i < count; ++i) token("spareToken");
        return *this;
    }
    RowBuilder& insertWhenMissing(const QString& value) {
        row_.insertWhenMissing = true;
        row_.missingValue = value;
        return *this;
    }
    RowSpec textRow(const char* field) {
        row_.text = lookup(field);
        return row_;
    }
    RowSpec build() { return row_; }

private:
    const FieldSpec* lookup(const char* name) const {
        const FieldSpec* f = byName_.value(QLatin1String(name));
        if (!f) qFatal("sysparam row names the unknown field %s", name);
        return f;
    }
    const QHash<QString, const FieldSpec*>& byName_;
    RowSpec row_;
};

QString zeros(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) list << QStringLiteral("0");
    return list.join(QLatin1Char(' '));
}

QVector<RowSpec> buildRows(const QHash<QString, const FieldSpec*>& byName) {
    auto r = [&](const char* name) { return RowBuilder(byName, name); };
    const int wide = kWideRowTokens;
    QVector<RowSpec> rows;
    rows << r("trigInDelay").tokens("trigInDelay", 0, 8).build();
    rows << r("exposeTime").tokens("exposeTime", 0, 4).build();
    rows << r("adjustPlus").tokens("adjustPlus", 0, 4).build();
    rows << r("numFailDetect")
                .token("detectMode", "detectModeNext")
                .token("moldSide")
                .spare()
                .token("isWDR")
                .spare()
                .token("enableBlackArea")
                .token("enableWhiteArea")
                .token("enableSimilarity")
                .build();
    rows << r("numAllDetect").tokens("gamma", 0, 8).build();
    rows << r("isPswUsed").token("isPswUsed").build();
    rows << r("password").textRow("password");
    rows << r("system1")
                .token("semiAuto")
                .token("detectProdEnable")
                .token("sameParam")
                .token("motionCorrect")
                .token("stopClampOnStop")
                .token("preCutTime")
                .token("reDetectNum")
                .token("picNumOK")
                .spare()
                .build();
    rows << r("system2")
                .token("cutEjectorWhenClamp")
                .token("tempNum")
                .token("minSpot")
                .token("picNumNG")
                .token("ejectorPulse")
                .token("clampPulse")
                .token("ejectorPulseOnProdNG")
                .token("cutClampAfterMoldOK")
                .token("noEjectorCtrlProd")
                .token("pswNotDetect")
                .token("pswAddTemp")
                .token("cameraLostOpt")
                .token("gLan")
                .token("output4Use")
                .token("shapeOffset")
                .token("screenOffTime")
                .token("speed")
                .token("inputTimeout")
                .build();
    rows << r("system3")
                .token("input4Use")
                .token("safeDoorResetAlarm")
                .token("amplify")
                .token("enableDefect")
                .token("enableSpot")
                .token("enableIgnore")
                .token("enableLocate")
                .token("showAllParam")
                .token("autoLogout")
                .token("spare140")
                .token("safeDoorTrigger")
                .build();
    rows << r("system4").token("templateAutoUpdate").token("filterSize").token("alarmArea").build();
    rows << r("sharp").tokens("sharp", 0, 4).build();
    rows << r("contrast").tokens("contrast", 0, 4).build();
    rows << r("system5")
                .tokens("exposeTime", 4, 2)
                .tokens("adjustPlus", 4, 2)
                .tokens("sharp", 4, 2)
                .tokens("contrast", 4, 2)
                .token("okNgPulse")
                .token("rotateAngle")
                .token("cutEjectorOnProdAlarm")
                .token("sysUsage")
                .token("cutClampOnMoldAlarm")
                .build();
    rows << r("system6")
                .tokens("exposeTime", 6, 2)
                .tokens("adjustPlus", 6, 2)
                .tokens("sharp", 6, 2)
                .tokens("contrast", 6, 2)
                .token("debounceTime")
                .token("useStatistics")
                .token("spare147")
                .token("pswStopDetect")
                .build();
    rows << r("system7")
                .token("comPort")
                .token("isColor")
                .token("isGrayHue")
                .token("showManualSnap")
                .tokens("outputInvert", 0, 3)
                .token("noLensOpt")
                .tokens("outputInvert", 3, 1)
                .token("showFactoryParam")
                .token("templateIsNG")
                .token("spare203")
                .token("realTimeShowROI")
                .token("camSampleSeparately")
                .tokens("outputInvert", 4, 5)
                .token("enableWhiteNum")
                .insertWhenMissing(QStringLiteral("0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0"))
                .build();
    rows << r("system8")
                .token("detectNum")
                .tokens("detectTrigIn", 0, 8)
                .tokens("detectCutMode", 0, 8)
                .token("cutEjectorAfterProdOK")
                .token("useLog")
                .token("matchBrightness")
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system9")
                .tokens("outputOwner", 0, 8)
                .token("shapeAccuracy")
                .token("zoomLayers")
                .token("moldNGTimedRelease")
                .token("output4Pulse")
                .token("continuousArea")
                .spare(5)
                .token("spare325")
                .spare()
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system10")
                .tokens("inputFunc", 0, 8)
                .tokens("outputFunc", 0, 8)
                .spare(4)
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system11")
                .tokens("spare271", 0, 8)
                .tokens("spare287", 0, 8)
                .token("sequentialDetect")
                .spare(3)
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system12")
                .token("angleCorrect")
                .tokens("isHMirror", 0, 8)
                .tokens("isVMirror", 0, 8)
                .token("noRefreshAfterAlarm")
                .token("addAllCamTemp")
                .token("separateDetectSignal")
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system13")
                .spare(16)
                .token("enableBlackNum")
                .token("prodNGSkipOnDoor")
                .spare()
                .token("shieldPin")
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("system14")
                .token("clampPulseOnMoldNG")
                .spare()
                .token("moldOKNum")
                .spare(17)
                .insertWhenMissing(zeros(wide))
                .build();
    rows << r("serviceCode")
                .insertWhenMissing(QLatin1String(kFactoryServiceCode))
                .textRow("serviceCode");
    return rows;
}

struct Schema {
    QVector<FieldSpec> fields;
    QHash<QString, const FieldSpec*> fieldByName;
    QVector<RowSpec> rows;
    QHash<QString, const RowSpec*> rowByName;
    QVector<const RowSpec*> saveOrder;

    Schema() : fields(buildFields()) {
        for (const FieldSpec& f : qAsConst(fields)) fieldByName.insert(f.name, &f);
        rows = buildRows(fieldByName);
        for (const RowSpec& r : qAsConst(rows)) rowByName.insert(r.name, &r);
        static const char* const kSaveOrder[] = {
            "trigInDelay",  "exposeTime", "sharp",    "contrast", "adjustPlus", "numFailDetect",
            "numAllDetect", "isPswUsed",  "password", "system1",  "system2",    "system3",
            "system4",      "system5",    "system6",  "system7",  "system8",    "system9",
            "system10",     "system11",   "system12", "system13", "system14",   "serviceCode"};
        for (const char* name : kSaveOrder) saveOrder.append(rowByName.value(QLatin1String(name)));
        Q_ASSERT(saveOrder.size() == rows.size());
    }
};

const Schema& schema() {
    static const Schema instance;
    return instance;
}

int valueAt(const QVector<int>& values, int element) {
    if (values.isEmpty()) return 0;
    return values.size() == 1 ? values.first() : values.value(element);
}

}  // namespace

bool LoadCheck::accepts(int value) const {
    const quint32 u = static_cast<quint32>(value);
    switch (rule) {
        case CheckRule::None:
            return true;
        case CheckRule::AboveMax:
            return u <= max;
        case CheckRule::OutsideRange:
            return u >= min && u <= max;
        case CheckRule::OutsideRangeUnlessZero:
            return value == 0 || (u >= min && u <= max);
        case CheckRule::ZeroOrMinusOne:
            return value == 0 || value == -1;
    }
    return true;
}

int FieldSpec::initialAt(int element) const {
    return valueAt(initial, element);
}
int FieldSpec::factoryAt(int element) const {
    return valueAt(factory, element);
}

const QVector<FieldSpec>& ParamSchema::fields() {
    return schema().fields;
}
const QVector<RowSpec>& ParamSchema::rows() {
    return schema().rows;
}
const QVector<const RowSpec*>& ParamSchema::rowsInSaveOrder() {
    return schema().saveOrder;
}

const FieldSpec* ParamSchema::field(const QString& name) {
    return schema().fieldByName.value(name);
}

const RowSpec* ParamSchema::row(const QString& name) {
    return schema().rowByName.value(name);
}

QString ParamSchema::rowText(const RowSpec& row, const WizardPara& para, const StoreContext& ctx) {
    // The accessors hand out writable pointers; nothing is written through them here.
    auto& p = const_cast<WizardPara&>(para);
    auto& c = const_cast<StoreContext&>(ctx);
    if (row.isText()) return textField(row.text->text(p));
    QStringList tokens;
    tokens.reserve(row.tokens.size());
    for (const TokenSpec& t : row.tokens)
        tokens << QString::number(t.write->numbers(p, c)[t.element]);
    return tokens.join(QLatin1Char(' '));
}

void ParamSchema::readRow(const RowSpec& row, const QString& value, WizardPara& para,
                          StoreContext& ctx) {
    if (row.isText()) {
        if (value.size() <= kMaxTextLength) {
            const QByteArray bytes = value.toLatin1();
            char* field = row.text->text(para);
            std::memset(field, 0, kTextFieldBytes);
            std::memcpy(field, bytes.constData(), static_cast<size_t>(bytes.size()));
        }
        return;
    }
    static const QRegularExpression kSpaces(QStringLiteral("\\s+"));
    const QStringList tokens = value.split(kSpaces, Qt::SkipEmptyParts);
    for (int i = 0; i < row.tokens.size(); ++i) {
        bool ok = false;
        const int number = i < tokens.size() ? tokens.at(i).toInt(&ok, 10) : 0;
        const TokenSpec& t = row.tokens.at(i);
        t.read->numbers(para, ctx)[t.element] = ok ? number : 0;
    }
}

namespace {
// Sets every field to one of its two default sets (constructor or new-database values).
void applyDefaults(WizardPara& para, StoreContext& ctx, bool factory) {
    for (const FieldSpec& f : ParamSchema::fields()) {
        if (f.isText()) {
            setTextField(f.text(para), factory ? f.factoryText : f.initialText);
            continue;
        }
        int* values = f.numbers(para, ctx);
        for (int i = 0; i < f.count; ++i) values[i] = factory ? f.factoryAt(i) : f.initialAt(i);
    }
}
}  // namespace

void ParamSchema::applyInitial(WizardPara& para) {
    StoreContext unused;
    applyDefaults(para, unused, false);
}

void ParamSchema::applyFactory(WizardPara& para, StoreContext& ctx) {
    applyDefaults(para, ctx, true);
}

void ParamSchema::applyLoadChecks(WizardPara& para, StoreContext& ctx) {
    for (const FieldSpec& f : fields()) {
        if (f.isText() || f.check.rule == CheckRule::None) continue;
        int* values = f.numbers(para, ctx);
        for (int i = 0; i < f.count; ++i) values[i] = f.check.corrected(values[i]);
    }
}

bool setTextField(char* field, const QString& text) {
    if (text.size() > kMaxTextLength) return false;
    for (const QChar ch : text)
        if (ch.unicode() > 0xFF || ch.unicode() == 0) return false;
    const QByteArray bytes = text.toLatin1();
    std::memset(field, 0, kTextFieldBytes);
    std::memcpy(field, bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

QString textField(const char* field) {
    return QString::fromLatin1(field, static_cast<int>(qstrnlen(field, kTextFieldBytes - 1)));
}

}  // namespace params
