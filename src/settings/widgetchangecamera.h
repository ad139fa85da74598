#pragma once
#include <QVector>

#include "settingspage.h"

class ComboBox;
class QLabel;

// The camera-number page: the cameras in use with their serial numbers, and for each camera
// number the camera the operator wants there. The chosen order goes to
// CameraManager::resortCameraSN and takes effect at the next start. While the page is visible
// the tool-bar commands are ignored.
class WidgetChangeCamera : public SettingsPage {
    Q_OBJECT
public:
    explicit WidgetChangeCamera(QWidget* owner);

    // Lists the cameras in use again, each number showing its own camera.
    void reload();
    ComboBox* choiceOf(int number) const { return choices_.value(number); }
    // Hands the chosen order to the camera manager; a camera chosen twice is refused, an order
    // that could not be stored is reported to the operator. True when stored.
    bool save();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QVector<QLabel*> labels_;
    QVector<ComboBox*> choices_;
};
