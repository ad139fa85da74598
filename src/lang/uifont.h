#pragma once
// The user interface shows Chinese and Japanese texts; these pick a font family on this machine
// that has their glyphs.

#include <QString>

#include "globals.h"

class QApplication;

namespace lang {

// Family names the screens ask for by name; they fall back to the chosen family when missing.
constexpr const char* kPanelFamilies[] = {"wqy-microhei", "WenQuanYi Micro Hei"};

// A family present on this machine that draws the texts of the language (0..3), preferring the
// regional glyph forms of that language; empty when no CJK-capable family is installed.
QString cjkFontFamily(int language);

}  // namespace lang

// Makes the application font a CJK-capable family for the language and lets widgets that ask
// for the panel's usual family by name use it when that family is missing. Returns the family
// chosen (empty, with a warning, when there is none). Only a choice made for the language the
// parameters hold is logged: the one before them is the start screen's and may differ.
enum class UiFontLog { Quiet, Announce };
QString applyUiFont(QApplication& app, int language = gLan, UiFontLog log = UiFontLog::Announce);
