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
    // The pixel size at which a name fits a cell beside its neighbours: the strip's font size,
    // smaller for a longer name (a language with long names), never below the least size.
    static int fittedPixelSize(const QFont& font, const QString& name, int cellWidth);

signals:
    void sigLogout();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawLamp(QPainter& painter, const QRect& cell, bool on, const QString& name);

    StateProvider provider_;
};
