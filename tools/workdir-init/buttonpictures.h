#pragma once
// The pictures of buttons that the program takes from the working folder: a panel gets them
// with its installation, a development folder from here. Without them the buttons are empty
// rectangles on the screen.

#include <QImage>
#include <QString>

namespace workdirdemo {

constexpr int kHelpIconSide = 70;  // the help button's size on the main window
constexpr const char* kHelpIconFile = "images/help.png";
// The editing page's first row, which moves the page to the other screen edge; the style sheet
// draws the picture at its own size, so it has the row's size.
constexpr int kShowHideWidth = 240;
constexpr int kShowHideHeight = 76;
constexpr const char* kShowHideFile = "images/ShowHide.png";                // page at the right
constexpr const char* kShowHideCheckedFile = "images/ShowHideChecked.png";  // page at the left
// The date edits of the statistics export: the right button steps the date forward, the left
// one back; the style sheet gives each button this size.
constexpr int kDateArrowSide = 50;
constexpr const char* kDateForwardFile = "images/right.png";
constexpr const char* kDateBackFile = "images/left.png";

// Drawn without fonts (the tool runs without a screen).
// A question mark in a ring.
QImage drawHelpIcon(int side = kHelpIconSide);
// A double arrow towards the edge the page moves to when pressed.
QImage drawShowHideIcon(bool towardsRight);
// A solid arrow head pointing right or left, dark on the edit's white field.
QImage drawDateArrow(bool towardsRight);
// Writes every missing picture under folder/images; pictures there are kept. False when one
// cannot be written.
bool installButtonPictures(const QString& folder);

}  // namespace workdirdemo
