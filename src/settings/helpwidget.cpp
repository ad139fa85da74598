#include "helpwidget.h"

#include <QLabel>

#include "colorbutton.h"
#include "globals.h"
#include "settingslayout.h"

namespace {
constexpr int kTitleEntry = 111;  // "Help"
// The pages by number, named by their language entries: system, camera, input/output,
// advanced, parameter groups, operation records and the alarm (page 6).
constexpr int kPageEntries[] = {215, 260, 259, 229, 261, 206, 146};
constexpr int kHeadingFontPx = 34;
}  // namespace

HelpWidget::HelpWidget(QWidget* parent)
    : SettingsPage(parent, kTitleEntry), heading_(new QLabel(this)) {
    using namespace settings;
    const int count = pageCount();
    const int w = (width() - 2 * kMargin - (count - 1) * 8) / count;
    for (int i = 0; i < count; ++i) {
        auto* b = new ColorButton(lan(kPageEntries[i]).trimmed(), this, ColorButton::Small);
        b->setCheckable(true);
        b->setGeometry(kMargin + i * (w + 8), kTopBar, w, kTabHeight - 6);
        connect(b, &QPushButton::clicked, this, [this, i] { showPage(i); });
        buttons_.append(b);
    }
    QFont f = heading_->font();
    f.setPixelSize(kHeadingFontPx);
    heading_->setFont(f);
    heading_->setAlignment(Qt::AlignCenter);
    heading_->setGeometry(kMargin, kTopBar + kTabHeight + kMargin, width() - 2 * kMargin,
                          height() - kTopBar - kTabHeight - 2 * kMargin);
}

int HelpWidget::pageCount() {
    return int(std::size(kPageEntries));
}

void HelpWidget::showEvent(QShowEvent* event) {
    SettingsPage::showEvent(event);
    showPage(gHelpC);
}

void HelpWidget::showPage(int page) {
    page_ = (page >= 0 && page < pageCount()) ? page : 0;
    for (int i = 0; i < buttons_.size(); ++i) buttons_[i]->setChecked(i == page_);
    heading_->setText(lan(kPageEntries[page_]).trimmed());
}
