#include "recordspage.h"

#include <QHeaderView>
#include <QTableWidget>

#include "colorbutton.h"
#include "globals.h"
#include "pagevisits.h"
#include "settingslayout.h"

namespace settings {

namespace {
constexpr int kColumnEntries[] = {288, 289, 290};  // time, user, operation
constexpr int kEntryClear = 184;
constexpr int kEntryAskClear = 297;
constexpr int kEntryClearRecord = 298;
constexpr int kTimeColumnWidth = 180;
constexpr int kUserColumnWidth = 200;
}  // namespace

RecordsPage::RecordsPage(SettingsHost& host, QWidget* parent)
    : QWidget(parent),
      host_(host),
      table_(new QTableWidget(this)),
      visits_(new PageVisits(parent ? parent : this, "a visit of the settings screen")) {
    QFont f = font();
    f.setPixelSize(kTableFontPx);
    table_->setFont(f);
    table_->setColumnCount(3);
    QStringList headers;
    for (int entry : kColumnEntries) headers << lan(entry).trimmed();
    table_->setHorizontalHeaderLabels(headers);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, kTimeColumnWidth);
    table_->setColumnWidth(1, kUserColumnWidth);
    table_->setWordWrap(true);
    table_->setStyleSheet(QStringLiteral("QTableWidget{background:white;color:black;}"));
    // Under the table's style sheet the table font reaches neither the column titles' header
    // nor the viewport the header draws them in.
    table_->horizontalHeader()->setFont(f);
    table_->horizontalHeader()->viewport()->setFont(f);
    auto* clearButton = new ColorButton(lan(kEntryClear).trimmed(), this, ColorButton::Large);
    clearButton->setObjectName(QStringLiteral("clearRecords"));
    connect(clearButton, &QPushButton::clicked, this, [this] { clear(); });
    clear_ = clearButton;
}

void RecordsPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    table_->setGeometry(0, 0, width() - kButtonWidth - kMargin, height());
    clear_->setGeometry(width() - kButtonWidth, 0, kButtonWidth, kButtonHeight);
}

void RecordsPage::reload() {
    table_->setRowCount(0);
    // Not an older day still waiting in the file for its archive: the list is what a clear
    // deletes.
    listed_ = host_.todaysRecords();
    for (const OperationRecord& record : listed_.records) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        int c = 0;
        for (const QString* text : {&record.time, &record.level, &record.remarks})
            table_->setItem(row, c++, new QTableWidgetItem(*text));
    }
    table_->resizeRowsToContents();
    table_->scrollToBottom();
}

bool RecordsPage::clear() {
    // The password box and the question are modal: an NG alarm may close the settings screen
    // holding the page and write its record, which a clear of the ended visit would take away.
    const dialogs::Subject visit = visits_->subject();
    if (!host_.checkRoot(visit)) return false;
    // A page opened before midnight still lists the day before, which the clear keeps for its
    // archive: the question stands over the rows it deletes, and only those go, also when
    // midnight passes or records are made while it is open.
    reload();
    const RecordListing asked = listed_;
    if (host_.ask(lan(kEntryAskClear), visit) != dialogs::Answer::Yes) return false;
    // A disk that refused the deletion is told with the other files; a record saying the
    // records were cleared would stand beside the very rows it claims are gone.
    const bool cleared = host_.clearRecord(asked);
    if (cleared) host_.insertRecord(lan(kEntryClearRecord));
    reload();
    return cleared;
}

}  // namespace settings
