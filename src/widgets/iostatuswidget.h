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
    // The width of one terminal's cell: the strip's width shared by the cells (inputs and
    // outputs with half a cell between them), never less than the toolkit's cell.
    int cellWidth() const;
    // The one pixel size of every name on the strip: the strip's font size, or the largest
    // smaller one at which the longest name of the language still fits its cell (a name drawn
    // smaller than its neighbours looks like another kind of lamp), never below the least size.
    static int namePixelSize(const QFont& font, int cellWidth);

signals:
    void sigLogout();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawLamp(QPainter& painter, const QRect& cell, bool on, const QString& name);

    StateProvider provider_;
};
