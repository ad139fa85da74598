#pragma once
// The day range of a statistics export: six presets that end today, or two dates by hand.

#include <QDialog>
#include <QPair>
#include <QString>

class QButtonGroup;
class QDateEdit;

class DateSeletDialog : public QDialog {
    Q_OBJECT
public:
    explicit DateSeletDialog(QWidget* parent = nullptr);

    // (first day, last day) as "yyyy-MM-dd".
    QPair<QString, QString> getDays() const;
    // Sets both dates from the chosen preset; nothing for the custom range.
    void updateDate();

    QButtonGroup* presets() const { return presetGroup; }
    QDateEdit* startDate() const { return startEdit; }
    QDateEdit* endDate() const { return endEdit; }
    int preset() const { return presetId; }

private:
    QButtonGroup* presetGroup;
    QDateEdit* startEdit;
    QDateEdit* endEdit;
    int presetId = 0;
};
