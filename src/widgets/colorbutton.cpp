#include "colorbutton.h"

#include <QFont>
#include <QFontMetrics>

#include "fittedfont.h"
#include "globals.h"
#include "toolkitlimits.h"

ColorButton::ColorButton(const QString& text, QWidget* parent, int type)
    : QPushButton(text, parent), type_(type) {
    setFocusPolicy(Qt::NoFocus);
    // Inside a dialog a button would otherwise become the default one for Return.
    setAutoDefault(false);
    QFont f = font();
    f.setPixelSize(fontPixelSize(type, gLan));
    setFont(f);
    setStyleSheet(styleSheetFor(type));
}

void ColorButton::SetRepeat() {
    setAutoRepeat(true);
    setAutoRepeatDelay(toolkit::kRepeatDelayMs);
    setAutoRepeatInterval(toolkit::kRepeatIntervalMs);
}

void ColorButton::FitText() {
    QFont f = font();
    f.setPixelSize(fontPixelSize(type_, gLan));
    const int room = width() - toolkit::kButtonTextMarginPx;
    if (!twoLines_) {
        setFont(fittedFont(f, text(), room, toolkit::kMinFittedFontPx));
        return;
    }
    if (text() != broken_) oneLine_ = text();
    broken_ = twoLineText(f, oneLine_, room);
    // Both lines within the button's height as well.
    const int lines = broken_.count(QLatin1Char('\n')) + 1;
    while (f.pixelSize() > toolkit::kMinFittedFontPx &&
           lines * QFontMetrics(f).lineSpacing() > height() - toolkit::kButtonTextMarginPx)
        f.setPixelSize(f.pixelSize() - 1);
    setFont(fittedFont(f, broken_, room, toolkit::kMinFittedFontPx));
    setText(broken_);
}

int ColorButton::fontPixelSize(int type, int language) {
    const bool chinese = language == 0;
    if (type == Large || type == Dark)
        return chinese ? toolkit::kLargeButtonFontPxChinese : toolkit::kLargeButtonFontPxOther;
    return chinese ? toolkit::kSmallButtonFontPxChinese : toolkit::kSmallButtonFontPxOther;
}

QString ColorButton::styleSheetFor(int type) {
    const QString orange =
        QStringLiteral("qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #ed9d11,stop:1 #ff9900)");
    if (type == Dark) {
        return QStringLiteral(
                   "QPushButton{background-color:#322f2f;color:white;border:none;"
                   "border-radius:%1px;}"
                   "QPushButton:checked,QPushButton:pressed{background-color:%2;}"
                   "QPushButton:disabled{background-color:#808080;color:#c0c0c0;}")
            .arg(toolkit::kButtonRadiusPx)
            .arg(orange);
    }
    return QStringLiteral(
               "QPushButton{background-color:#e6e6e6;color:black;border:1px solid #9a9a9a;"
               "border-radius:%1px;}"
               "QPushButton:checked,QPushButton:pressed{background-color:%2;color:white;}"
               "QPushButton:disabled{background-color:#b4b4b4;color:#707070;}")
        .arg(toolkit::kButtonRadiusPx)
        .arg(orange);
}
