#include "outputnames.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "globals.h"
#include "languagetable.h"
#include "paramschema.h"
#include "sqlitefiles.h"
#include "wizardpara.h"
#include "wizardparalayout.h"
#include "wizardparastore.h"

namespace iosim {

namespace {

constexpr int kEnglish = 1;  // the language column the log is written in

// The meaning of each terminal is fixed by the board's wiring; only the names and the levels
// are parameters.
struct Meaning {
    const char* on;
    const char* off;
};
constexpr Meaning kMeanings[kOutputTerminals] = {
    {"mould closing withheld", "mould may close"},
    {"ejection withheld", "ejection allowed"},
    {"alarm", "no alarm"},
    {"fourth output on", "fourth output off"},
    {"NG output on", "NG output off"},
    {"NG output on", "NG output off"},
    {"NG output on", "NG output off"},
    {"NG output on", "NG output off"},
    {"NG output on", "NG output off"},
};

// Where the display names of the output terminals sit among the IO names of a detection mode.
int nameIndex(int detectMode, int bit) {
    if (detectMode == 3) return 9 + bit;  // the alarm terminal's fixed name sits at 11
    return bit < 4 ? 4 + bit : -1;
}

}  // namespace

OutputNames::OutputNames() {
    fillLanguageTable();
    WizardPara factory;
    params::StoreContext ctx;
    ctx.language = kEnglish;
    params::ParamSchema::applyFactory(factory, ctx);
    params::deriveLayout(factory);
    setFrom(factory, QStringLiteral("name.txt"));
}

bool OutputNames::load(const QString& paramDb, QString* error) {
    const QFileInfo info(paramDb);
    if (!info.exists()) {
        if (error) *error = QStringLiteral("%1 does not exist").arg(paramDb);
        return false;
    }
    WizardPara para;
    {
        storage::SqliteConnection connection(paramDb, QStringLiteral("iosim-params"));
        if (!connection.isOpen()) {
            if (error) *error = connection.errorText();
            return false;
        }
        params::StoreContext ctx;
        if (!WizardParaStore(connection.database()).readRows(para, ctx)) {
            if (error) *error = QStringLiteral("%1 cannot be read").arg(paramDb);
            return false;
        }
        params::ParamSchema::applyLoadChecks(para, ctx);
    }
    params::deriveLayout(para);
    setFrom(para, info.dir().filePath(QStringLiteral("name.txt")));
    paramDb_ = paramDb;
    loadedStamp_ = info.lastModified();
    return true;
}

bool OutputNames::reloadIfChanged() {
    if (paramDb_.isEmpty()) return false;
    const QFileInfo info(paramDb_);
    if (!info.exists() || info.lastModified() == loadedStamp_) return false;
    return load(paramDb_);
}

void OutputNames::setFrom(const WizardPara& para, const QString& nameFile) {
    QString names[kIONameCount];
    params::deriveNames(para, kEnglish, nameFile, names);
    for (int bit = 0; bit < kOutputTerminals; ++bit) {
        OutputTerminal& t = terminals_[bit];
        const int index = nameIndex(para.detectMode, bit);
        t.name = index >= 0 ? names[index].trimmed() : QString();
        t.onText = QLatin1String(kMeanings[bit].on);
        t.offText = QLatin1String(kMeanings[bit].off);
        t.inverted = para.outputInvert[bit] != 0;
    }
    if (para.output4Use >= 1 && para.output4Use <= 3) {
        const int mirrored = para.output4Use - 1;
        terminals_[3].onText = QStringLiteral("mirrors OUT%1: %2")
                                   .arg(mirrored + 1)
                                   .arg(QLatin1String(kMeanings[mirrored].on));
    }
}

QStringList OutputNames::describeChanges(quint32 before, quint32 after) const {
    QStringList lines;
    for (int bit = 0; bit < kOutputTerminals; ++bit) {
        if (((before ^ after) >> bit & 1u) == 0) continue;
        const OutputTerminal& t = terminals_[bit];
        const bool on = isOn(after, bit);
        lines << QStringLiteral("OUT%1%2: %3 - %4 (level %5, on at %6)")
                     .arg(bit + 1)
                     .arg(t.name.isEmpty() ? QString() : QLatin1Char(' ') + t.name)
                     .arg(on ? QStringLiteral("ON") : QStringLiteral("off"))
                     .arg(on ? t.onText : t.offText)
                     .arg((after >> bit) & 1u)
                     .arg(t.inverted ? 0 : 1);
    }
    return lines;
}

QString OutputNames::describeWord(quint32 word) const {
    QStringList parts;
    for (int bit = 0; bit < kOutputTerminals; ++bit) {
        const OutputTerminal& t = terminals_[bit];
        parts << QStringLiteral("OUT%1%2 %3")
                     .arg(bit + 1)
                     .arg(t.name.isEmpty() ? QString() : QLatin1Char(' ') + t.name)
                     .arg(isOn(word, bit) ? QStringLiteral("ON") : QStringLiteral("off"));
    }
    return QStringLiteral("outputs 0x%1: %2")
        .arg(word, 3, 16, QLatin1Char('0'))
        .arg(parts.join(", "));
}

}  // namespace iosim
