#pragma once
// Fills the few language-table entries a test needs (the table is filled by the start-up
// sequence in the program) and empties them again afterwards.
#include <QString>
#include <initializer_list>
#include <utility>
#include <vector>

#include "globals.h"

class LangTable {
public:
    // Entries given in English (language 1) and, marked, in simplified Chinese (language 0).
    LangTable(std::initializer_list<std::pair<int, const char*>> english,
              std::initializer_list<std::pair<int, const char*>> chinese = {}) {
        for (const auto& e : english) set(e.first, 1, e.second);
        for (const auto& e : chinese) set(e.first, 0, e.second);
        previousLanguage_ = gLan;
        gLan = 1;
    }
    ~LangTable() {
        for (int slot : slots_) gaLanStr[slot].clear();
        gLan = previousLanguage_;
    }

private:
    void set(int entry, int language, const char* text) {
        const int slot = entry * kLanguageCount + language;
        gaLanStr[slot] = QString::fromUtf8(text);
        slots_.push_back(slot);
    }
    std::vector<int> slots_;
    int previousLanguage_ = 0;
};
