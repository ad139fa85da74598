#pragma once
#include <QVector>

#include "settingspage.h"

class QLabel;
class ColorButton;

// The help page. It opens on the page the global gHelpC names (the editing page sets the alarm
// help, 6); the operator can turn to the other pages.
class HelpWidget : public SettingsPage {
    Q_OBJECT
public:
    static constexpr int kAlarmPage = 6;

    explicit HelpWidget(QWidget* parent);

    int currentPage() const { return page_; }
    void showPage(int page);
    static int pageCount();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QVector<ColorButton*> buttons_;
    QLabel* heading_;
    int page_ = 0;
};
