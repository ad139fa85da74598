#pragma once
#include <QWidget>

#include "cameramanager.h"

// Placeholder of the camera view until it is built.
class CammerWidget : public QWidget {
    Q_OBJECT
public:
    CammerWidget(QWidget* parent, int cameraNo, const _cameraInfo& info)
        : QWidget(parent), cameraNo(cameraNo), info(info) {}
    int cameraNo;
    _cameraInfo info;
    bool isOpen = false;
    int isOK = 1;
    int pixelCount = 0;
};

class DrawROIWidget : public QWidget {
    Q_OBJECT
public:
    explicit DrawROIWidget(QWidget* parent) : QWidget(parent) {}
};
