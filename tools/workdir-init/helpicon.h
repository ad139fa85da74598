#pragma once
// The help button's picture, which the program takes from the working folder: a panel gets it
// with its installation, a development folder from here. Without it the button is an empty
// square on the picture.

#include <QImage>
#include <QString>

namespace workdirdemo {

constexpr int kHelpIconSide = 70;  // the button's size on the main window
constexpr const char* kHelpIconFile = "images/help.png";

// A question mark in a ring, drawn without fonts (the tool runs without a screen).
QImage drawHelpIcon(int side = kHelpIconSide);
// Writes the picture to folder/images/help.png unless a file is there; false when it cannot.
bool installHelpIcon(const QString& folder);

}  // namespace workdirdemo
