#pragma once
#include <QCheckBox>

// The toolkit's check box for the dark settings screens: white text and a finger-sized box
// whose mark is dark on the box's white, so that a setting that is on reads as on at a glance.
// A style sheet colour would reach the mark as well (the style draws it in the text colour),
// which is why the colours are set in the palette; give no "color" to a check box's sheet.
class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(const QString& text = QString(), QWidget* parent = nullptr);
};
