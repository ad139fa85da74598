#include "drawroiwidget.h"

DrawROIWidget::DrawROIWidget(QWidget* parent) : QWidget(parent) {
    hide();
}
