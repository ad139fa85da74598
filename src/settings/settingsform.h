#pragma once
// The rows of one settings page: a label and an editor per item, packed into columns and, when
// they do not fit, into sheets that the screen pages through. Every entry goes to the session;
// a refused value is reported with its range and the field shows the value kept.

#include <QVector>
#include <QWidget>

#include "settingsitems.h"

class QLabel;
class PageVisits;

namespace settings {

class SettingsSession;

class SettingsForm : public QWidget {
    Q_OBJECT
public:
    SettingsForm(SettingsSession& session, SettingsHost& host, QWidget* parent);

    void setItems(const QVector<SettingItem>& items);
    const QVector<SettingItem>& items() const { return items_; }
    int sheetCount() const { return sheets_; }
    int sheet() const { return sheet_; }
    void setSheet(int sheet);
    // Shows the editing copy's values again.
    void refresh();
    // The editor of an item (tests drive it like a finger would).
    QWidget* editorOf(const QString& field, int element = 0) const;
    QLabel* labelOf(const QString& field, int element = 0) const;

private:
    struct Row {
        QLabel* label = nullptr;
        QWidget* editor = nullptr;
        QWidget* extra = nullptr;  // range hint or second password field
        int sheet = 0;
    };
    Row makeRow(int index);
    void layoutRows();
    void showValue(int index);
    void numberEntered(int index);
    void refuse(const SettingItem& item);

    SettingsSession& session_;
    SettingsHost& host_;
    QVector<SettingItem> items_;
    QVector<Row> rows_;
    int sheets_ = 1;
    int sheet_ = 0;
    PageVisits* visits_;  // of the screen holding the page
};

}  // namespace settings
