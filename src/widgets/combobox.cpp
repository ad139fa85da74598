#include "combobox.h"

#include <QEvent>
#include <QListView>

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setView(new QListView(this));
    setFocusPolicy(Qt::NoFocus);
}

void ComboBox::setItemHeight(int px) {
    itemHeight_ = px;
    setStyleSheet(QStringLiteral("QComboBox QAbstractItemView::item{height:%1px;}").arg(px));
    view()->setStyleSheet(QStringLiteral("QAbstractItemView::item{height:%1px;}").arg(px));
}

void ComboBox::changeEvent(QEvent* event) {
    // The drop-down is a window of its own, which a font given to the combo box never reaches.
    if (event->type() == QEvent::FontChange) view()->setFont(font());
    QComboBox::changeEvent(event);
}
