#include "iostatuswidget.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "globals.h"
#include "toolkitlimits.h"

namespace {
// Terminals with a fixed function carry its short name (language entries); the others their
// number.
int inputNameEntry(int n) {
    switch (n) {
        case 0:
            return 301;  // mould open
        case 1:
            return 302;  // safety door
        case 2:
            return 303;  // ejector back
        default:
            return -1;
    }
}
int outputNameEntry(int n) {
    switch (n) {
        case 0:
            return 305;  // clamp interlock
        case 1:
            return 306;  // ejector interlock
        case 2:
            return 307;  // alarm
        case 3:
            return 304;  // reserve output
        default:
            return -1;
    }
}
}  // namespace

IOStatusWidget::IOStatusWidget(QWidget* owner) : QWidget(owner) {
    const int ownerWidth = owner ? owner->width() : 0;
    const int ownerHeight = owner ? owner->height() : toolkit::kIOStripHeight;
    const int cells = toolkit::kIOInputCount + toolkit::kIOOutputCount;
    const int width = qMax(cells * toolkit::kIOCellWidth + toolkit::kIOCellWidth / 2,
                           ownerWidth - toolkit::kIOStripRightReserve);
    setGeometry(0, ownerHeight - toolkit::kIOStripHeight, width, toolkit::kIOStripHeight);
}

void IOStatusWidget::setStateProvider(StateProvider provider) {
    provider_ = std::move(provider);
    update();
}

bool IOStatusWidget::terminalState(int kind, int n) const {
    return provider_ ? provider_(kind, n) : false;
}

QString IOStatusWidget::terminalName(int kind, int n) {
    const int entry = kind == 0 ? inputNameEntry(n) : outputNameEntry(n);
    const QString name = entry >= 0 ? lan(entry).trimmed() : QString();
    if (!name.isEmpty()) return name;
    return QStringLiteral("%1%2")
        .arg(kind == 0 ? QStringLiteral("I") : QStringLiteral("O"))
        .arg(n + 1);
}

int IOStatusWidget::cellWidth() const {
    const int halves = 2 * (toolkit::kIOInputCount + toolkit::kIOOutputCount) + 1;
    return qMax(toolkit::kIOCellWidth, width() * 2 / halves);
}

int IOStatusWidget::namePixelSize(const QFont& font, int cellWidth) {
    QStringList names;
    for (int n = 0; n < toolkit::kIOInputCount; ++n) names << terminalName(0, n);
    for (int n = 0; n < toolkit::kIOOutputCount; ++n) names << terminalName(1, n);
    QFont f = font;
    int px = toolkit::kIOFontPx;
    for (; px > toolkit::kIOMinFontPx; --px) {
        f.setPixelSize(px);
        const QFontMetrics metrics(f);
        const auto fits = [&](const QString& name) {
            return metrics.horizontalAdvance(name) <= cellWidth - toolkit::kIOLabelPadPx;
        };
        if (std::all_of(names.cbegin(), names.cend(), fits)) break;
    }
    return px;
}

void IOStatusWidget::drawLamp(QPainter& painter, const QRect& cell, bool on, const QString& name) {
    const int lamp = toolkit::kIOLampPx;
    const QRect lampRect(cell.center().x() - lamp / 2, cell.top() + 6, lamp, lamp);
    QPixmap* picture = gpPixmapOUT[on ? 0 : 1];
    if (picture && !picture->isNull()) {
        painter.drawPixmap(lampRect, *picture);
    } else {
        painter.setPen(Qt::black);
        painter.setBrush(on ? QColor(0, 220, 0) : QColor(90, 90, 90));
        painter.drawEllipse(lampRect);
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(cell.left(), lampRect.bottom() + 2, cell.width(),
                           cell.bottom() - lampRect.bottom() - 2),
                     Qt::AlignHCenter | Qt::AlignTop, name);
}

void IOStatusWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(30, 30, 30));
    const int w = cellWidth();
    QFont f = painter.font();
    f.setPixelSize(namePixelSize(f, w));
    painter.setFont(f);
    int x = 0;
    for (int n = 0; n < toolkit::kIOInputCount; ++n, x += w)
        drawLamp(painter, QRect(x, 0, w, height()), terminalState(0, n), terminalName(0, n));
    // A gap sets the outputs apart from the inputs.
    x += w / 2;
    for (int n = 0; n < toolkit::kIOOutputCount; ++n, x += w)
        drawLamp(painter, QRect(x, 0, w, height()), terminalState(1, n), terminalName(1, n));
}

void IOStatusWidget::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (rect().contains(event->pos())) emit sigLogout();
}
