#pragma once
// The language table: every user-visible text, addressed as entry * 4 + language in gaLanStr.
// The texts live in texts.jsonl, one entry a line as a JSON array: the entry number followed by
// the simplified Chinese, English, traditional Chinese and Japanese texts. Entries that are not
// listed stay empty in every language.

#include <QByteArray>
#include <QString>

#include "globals.h"

namespace lang {

constexpr int kEntryCount = kLanguageTableSize / kLanguageCount;
// Where the texts are compiled into the program.
constexpr const char* kTableResource = ":/lang/texts.jsonl";

// Counts of one load, for the start-up log.
struct LoadReport {
    int entries = 0;   // lines that filled an entry
    int rejected = 0;  // lines skipped: malformed, out of range or a repeated entry
};

// Parses table text into table[0 .. tableSize) (entry * 4 + language); slots of entries that are
// not listed are left as they are. A rejected line is reported as a warning and changes nothing.
LoadReport loadLanguageTable(const QByteArray& data, QString* table, int tableSize);

}  // namespace lang

// Fills gaLanStr from the compiled-in texts; every slot not listed becomes empty.
void fillLanguageTable();
