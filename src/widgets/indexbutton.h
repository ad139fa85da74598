#pragma once
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class ColorButton;
class ComboBox;
class QAbstractButton;

// The main tool bar. Its command buttons are connected by name to the owner's slots
// SlotReturn, SlotStartStop, SlotSystemPara, SlotReTrain, SlotAdjustArea, SlotManualTrig1,
// SlotManualTrig0 and SlotMuliManualTrig (a slot the owner lacks is skipped with a warning).
// The bar collapses after two minutes without a press on a camera view; the statistics
// button is shown only while statistics are kept.
class IndexButton : public QWidget {
    Q_OBJECT
public:
    explicit IndexButton(QWidget* owner);

    // The start/stop button offers "Stop Detection" while detecting, "Start Detection" while
    // stopped.
    void setDetecting(bool detecting);
    bool isDetecting() const { return detecting_; }
    // Shows or hides the statistics button (while statistics are kept).
    void setStatisticsVisible(bool visible);
    // Number of detection steps offered by the snapshot choice (1..8).
    void setStepCount(int steps);
    // The 0-based step chosen for a snapshot (0 when nothing is chosen).
    int CurChooseTrig() const;

    bool isCollapsed() const { return collapsed_; }
    bool isCollapseTimerActive() const { return collapseTimer_.isActive(); }
    int collapseInterval() const { return collapseTimer_.interval(); }
    // Number of owner slots the buttons were connected to.
    int connectedSlots() const { return connectedSlots_; }

public slots:
    // Collapses the tool bar.
    void SlotShowHideTimeout();
    // Expands a collapsed tool bar; does nothing otherwise.
    void checkShowHide();
    // Restarts the collapse timer (every press on a camera view does).
    void restartCollapseTimer();

signals:
    // The statistics button was pressed: the main window creates and shows the statistics
    // screen.
    void sigShowStatistics();

private:
    ColorButton* addButton(const QString& name, const QString& text);
    void connectToOwner(QAbstractButton* button, const char* slotName);
    void setCollapsed(bool collapsed);
    void placeOnOwner();

    QPointer<QWidget> owner_;
    QWidget* panel_;
    QList<QWidget*> rows_;
    ColorButton* startStop_ = nullptr;
    ColorButton* statistics_ = nullptr;
    ComboBox* stepChoice_ = nullptr;
    QTimer collapseTimer_;
    bool detecting_ = true;
    bool collapsed_ = false;
    int connectedSlots_ = 0;
};
