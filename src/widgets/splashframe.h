#pragma once
#include <QPointer>
#include <QSplashScreen>

class QFrame;
class QLabel;
class QProgressBar;

// The start-up splash: a frameless 1920 x 1080 loading screen with a status text (label
// "loadlabel") and a 500 x 50 progress bar in a progress dialog. The bar never moves back;
// the step that reaches 100 closes the progress dialog.
class SplashFrame : public QSplashScreen {
    Q_OBJECT
public:
    SplashFrame();

    // Shows one start-up step: a non-empty text replaces the status text, the bar shows the
    // larger of percent (clamped to 0..100) and what it showed before; pending events are
    // processed at once (the callers block the event loop). Above 99 the progress dialog is
    // closed and deleted; later steps only show the screen.
    void flushstep(int percent, QString text);

    int progressValue() const { return shown_; }
    QString statusText() const { return status_; }
    bool hasProgressDialog() const { return !progressDialog_.isNull(); }

private:
    QPointer<QFrame> progressDialog_;
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QString status_;
    int shown_ = 0;
};
