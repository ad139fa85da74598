#pragma once
// The one description of the stored system parameters: every field with its type, initial
// value, value in a new database and load check, and every sysparam row with the field behind
// each token. The load, the save, the new-database writer and the tests all work from it.

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

class WizardPara;

namespace params {

// Values that live outside the record but are stored with it. The load fills it from the
// rows and then publishes it (gLan); the save and the new-database writer say what to write.
struct StoreContext {
    int language = 0;
};

enum class FieldType {
    Number,    // a 32-bit integer (or array of them)
    Flag,      // 0 off, 1 on
    Reserved,  // a reserved value that is only stored and copied
    Text,      // a Latin-1 text of at most 99 characters
};

enum class CheckRule {
    None,
    AboveMax,                // value > max (unsigned) -> fallback
    OutsideRange,            // value outside min..max (unsigned) -> fallback
    OutsideRangeUnlessZero,  // as OutsideRange, but 0 is kept
    ZeroOrMinusOne,          // anything but 0 or -1 -> fallback
};

// Load checks compare as unsigned 32-bit numbers, so a negative stored value counts as larger
// than any upper limit.
struct LoadCheck {
    CheckRule rule = CheckRule::None;
    quint32 min = 0;
    quint32 max = 0;
    int fallback = 0;

    bool accepts(int value) const;
    int corrected(int value) const { return accepts(value) ? value : fallback; }
};

struct FieldSpec {
    QString name;
    FieldType type = FieldType::Number;
    int count = 1;         // elements (1 for a scalar); text fields: 1
    QVector<int> initial;  // constructor value: one for all elements, or one per element
    QVector<int> factory;  // value in a new database, same form
    QString initialText;   // text fields: constructor value
    QString factoryText;   // text fields: value in a new database
    LoadCheck check;
    // Element 0 of a number field (nullptr for text fields); may point into the context.
    int* (*numbers)(WizardPara&, StoreContext&) = nullptr;
    // A text field's bytes (nullptr for number fields).
    char* (*text)(WizardPara&) = nullptr;

    int initialAt(int element) const;
    int factoryAt(int element) const;
    bool isText() const { return text != nullptr; }
};

// One token of a numeric row: the element of the field it is read into and written from.
// Token 1 of numFailDetect is read into detectMode and written from detectModeNext.
struct TokenSpec {
    const FieldSpec* read = nullptr;
    const FieldSpec* write = nullptr;
    int element = 0;
};

struct RowSpec {
    QString name;
    QVector<TokenSpec> tokens;        // numeric rows
    const FieldSpec* text = nullptr;  // text rows
    // Inserted by the load when the row is missing; null when a missing row is left missing.
    bool insertWhenMissing = false;
    QString missingValue;

    bool isText() const { return text != nullptr; }
};

class ParamSchema {
public:
    // Fields in the record's declaration order (stored fields only).
    static const QVector<FieldSpec>& fields();
    // Rows in the order the load reads them.
    static const QVector<RowSpec>& rows();
    // Rows in the order the save writes them.
    static const QVector<const RowSpec*>& rowsInSaveOrder();
    static const FieldSpec* field(const QString& name);
    static const RowSpec* row(const QString& name);

    // The text the save writes for a row.
    static QString rowText(const RowSpec& row, const WizardPara& para, const StoreContext& ctx);
    // Reads a row's stored value into the record: numeric rows token by token (a missing or
    // non-numeric token reads as 0, extra tokens are ignored); a text longer than 99
    // characters leaves the field unchanged.
    static void readRow(const RowSpec& row, const QString& value, WizardPara& para,
                        StoreContext& ctx);

    // Sets every stored field to its constructor value.
    static void applyInitial(WizardPara& para);
    // Sets every stored field to its value for a new database.
    static void applyFactory(WizardPara& para, StoreContext& ctx);
    // Replaces out-of-range values by their fallbacks, in memory, without a message.
    static void applyLoadChecks(WizardPara& para, StoreContext& ctx);
};

// Copies a text into a 100-byte field; false (field unchanged) when it is too long or not
// Latin-1.
bool setTextField(char* field, const QString& text);
QString textField(const char* field);

}  // namespace params
