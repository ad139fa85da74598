#pragma once
#include <QWidget>
#include <functional>

// The bottom status strip: one lamp per input terminal (1..10) and output terminal (1..9).
// The state of a terminal comes from a provider the main window installs (the IO board
// facade's IOState: kind 0 input, non-zero output; n the bit). A tap on the strip logs the
// operator out (sigLogout).
class IOStatusWidget : public QWidget {
    Q_OBJECT
public:
    using StateProvider = std::function<bool(int kind, int n)>;

    explicit IOStatusWidget(QWidget* owner);

    void setStateProvider(StateProvider provider);
    // False for every terminal while no provider is installed.
    bool terminalState(int kind, int n) const;
    // The short name shown under a terminal's lamp.
    static QString terminalName(int kind, int n);

signals:
    void sigLogout();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawLamp(QPainter& painter, const QRect& cell, bool on, const QString& name);

    StateProvider provider_;
};
