#pragma once
// What the board's output terminals mean to the machine, for the simulator's log: each
// terminal's name as the panel shows it (in English), what it does when switched on, and the
// level that means "on" (a terminal whose output is inverted in the parameters is on at 0).
// The names and levels come from the panel's parameter database when one is given, else from
// the factory values.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class WizardPara;

namespace iosim {

constexpr int kOutputTerminals = 9;  // bits 0..8 of the output word

struct OutputTerminal {
    QString name;     // "Clmp", "Alrm", ... (may be empty)
    QString onText;   // what "on" means at the machine
    QString offText;  // and "off"
    bool inverted = false;
};

class OutputNames {
public:
    OutputNames();  // the factory parameters

    // Takes names and levels from a parameter database; false (with the reason) when it cannot
    // be read, and the names stay as they were.
    bool load(const QString& paramDb, QString* error = nullptr);
    // Loads again when the file changed since the last load; true when it was loaded.
    bool reloadIfChanged();

    const OutputTerminal& terminal(int bit) const { return terminals_[bit]; }
    bool isOn(quint32 word, int bit) const {
        return (((word >> bit) & 1u) != 0) != terminals_[bit].inverted;
    }

    // One line per terminal that changed between the two words, e.g.
    // "OUT3 Alrm: ON - alarm (level 0, on at 0)".
    QStringList describeChanges(quint32 before, quint32 after) const;
    // The whole word in one line: every terminal with its state.
    QString describeWord(quint32 word) const;

private:
    // The panel's own name file (its first lines name the terminals) is read as the panel reads
    // it, from the working folder of the parameters.
    void setFrom(const WizardPara& para, const QString& nameFile);

    OutputTerminal terminals_[kOutputTerminals];
    QString paramDb_;
    QDateTime loadedStamp_;
};

}  // namespace iosim
