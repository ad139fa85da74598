#include "combobox.h"

#include <QListView>

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setView(new QListView(this));
    setFocusPolicy(Qt::NoFocus);
}

void ComboBox::setItemHeight(int px) {
    itemHeight_ = px;
    setStyleSheet(QStringLiteral("QComboBox QAbstractItemView::item{height:%1px;}").arg(px));
}
