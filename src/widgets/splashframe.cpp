#include "splashframe.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QVBoxLayout>

#include "toolkitlimits.h"

namespace {
QPixmap background() {
    QPixmap pixmap(toolkit::kSplashWidth, toolkit::kSplashHeight);
    pixmap.fill(QColor(20, 20, 20));
    return pixmap;
}
}  // namespace

SplashFrame::SplashFrame() : QSplashScreen(background()), status_(QStringLiteral("程序加载中..")) {
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(toolkit::kSplashWidth, toolkit::kSplashHeight);

    auto* dialog = new QFrame(this);
    dialog->setObjectName(QStringLiteral("progressdialog"));
    auto* layout = new QVBoxLayout(dialog);
    label_ = new QLabel(status_, dialog);
    label_->setObjectName(QStringLiteral("loadlabel"));
    label_->setAlignment(Qt::AlignCenter);
    label_->setStyleSheet(QStringLiteral("QLabel{color:white;font-size:30px;}"));
    label_->setFixedSize(toolkit::kSplashBarWidth, toolkit::kSplashLabelHeight);
    bar_ = new QProgressBar(dialog);
    bar_->setObjectName(QStringLiteral("progressbar"));
    bar_->setRange(0, toolkit::kSplashPercentMax);
    bar_->setValue(0);
    bar_->setFixedSize(toolkit::kSplashBarWidth, toolkit::kSplashBarHeight);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    dialog->adjustSize();
    dialog->move((toolkit::kSplashWidth - dialog->width()) / 2,
                 toolkit::kSplashHeight * 2 / 3 - dialog->height() / 2);
    progressDialog_ = dialog;
}

void SplashFrame::flushstep(int percent, QString text) {
    const int step = qBound(0, percent, toolkit::kSplashPercentMax);
    shown_ = qMax(shown_, step);
    if (!text.isEmpty()) status_ = text;
    if (progressDialog_) {
        label_->setText(status_);
        bar_->setValue(shown_);
    }
    show();
    repaint();
    QCoreApplication::processEvents();
    if (step > toolkit::kSplashClosePercent && progressDialog_) {
        progressDialog_->close();
        delete progressDialog_.data();
        label_ = nullptr;
        bar_ = nullptr;
    }
}
