#pragma once
#include <QComboBox>

// The toolkit's combo box: a list-view drop-down with touch-sized items and no keyboard focus.
// The drop-down's rows are drawn in the combo box's own font.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent);

    // Height of the drop-down items in pixels.
    void setItemHeight(int px);
    int itemHeight() const { return itemHeight_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    int itemHeight_ = 0;
};
