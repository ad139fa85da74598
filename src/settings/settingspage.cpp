#include "settingspage.h"

#include <QLabel>

#include "colorbutton.h"
#include "globals.h"
#include "pagevisits.h"

namespace {
constexpr int kCloseEntry = 211;
constexpr int kTitleHeight = 80;
constexpr int kTitleFontPx = 40;
constexpr int kCloseWidth = 240;
constexpr int kCloseHeight = 76;
constexpr int kMargin = 20;
}  // namespace

SettingsPage::SettingsPage(QWidget* owner, int titleEntry)
    : QWidget(owner),
      titleEntry_(titleEntry),
      title_(new QLabel(this)),
      close_(new ColorButton(QString(), this, ColorButton::Dark)),
      visits_(new PageVisits(this, "a visit of a settings page")) {
    hide();
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        QStringLiteral("SettingsPage{background-color:#202020;}"
                       "QLabel{color:white;}"));
    if (owner) setGeometry(owner->rect());
    title_->setObjectName(QStringLiteral("title"));
    QFont f = title_->font();
    f.setPixelSize(kTitleFontPx);
    title_->setFont(f);
    title_->setGeometry(kMargin, kMargin, qMax(0, width() - kCloseWidth - 3 * kMargin),
                        kTitleHeight);
    close_->setObjectName(QStringLiteral("close"));
    close_->setFixedSize(kCloseWidth, kCloseHeight);
    close_->move(qMax(kMargin, width() - kCloseWidth - kMargin), kMargin);
    connect(close_, &QPushButton::clicked, this, [this] { closePage(); });
    refreshTexts();
}

QString SettingsPage::title() const {
    return title_->text();
}

dialogs::Subject SettingsPage::visit() const {
    return visits_->subject();
}

void SettingsPage::refreshTexts() {
    title_->setText(lan(titleEntry_).trimmed());
    close_->setText(lan(kCloseEntry).trimmed());
}
