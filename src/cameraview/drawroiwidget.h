#pragma once
// The ROI and template editing page. The page itself comes later; the main window keeps it as
// a hidden page and the views read what it shows through their hooks.

#include <QWidget>

class DrawROIWidget : public QWidget {
    Q_OBJECT
public:
    explicit DrawROIWidget(QWidget* parent);
};
