#pragma once
// Today's operation records on the settings screen; clearing them needs the service level and
// goes through the main window's ClearRecord, which deletes the rows the question stood over.

#include <QWidget>

#include "settingshost.h"

class QTableWidget;
class PageVisits;

namespace settings {

class RecordsPage : public QWidget {
    Q_OBJECT
public:
    RecordsPage(SettingsHost& host, QWidget* parent);

    // Reads today's records again, newest last.
    void reload();
    // Asks for the service level and the operator's confirmation, about the visit of the page,
    // then clears. True when done.
    bool clear();
    QTableWidget* table() const { return table_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    SettingsHost& host_;
    QTableWidget* table_;
    QWidget* clear_ = nullptr;
    RecordListing listed_;  // what the table shows
    PageVisits* visits_;    // of the screen holding the page
};

}  // namespace settings
