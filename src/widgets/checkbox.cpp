#include "checkbox.h"

#include "toolkitlimits.h"

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    QPalette p = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, Qt::white);  // the text beside the box
        p.setColor(group, QPalette::Base, Qt::white);        // the box
        p.setColor(group, QPalette::Text, Qt::black);        // the mark
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x60, 0x60, 0x60));
    setPalette(p);
    setStyleSheet(QStringLiteral("QCheckBox::indicator{width:%1px;height:%1px;}")
                      .arg(toolkit::kCheckBoxIndicatorPx));
}
