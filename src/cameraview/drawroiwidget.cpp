#include "drawroiwidget.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <initializer_list>

#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "viewlimits.h"

using namespace cameraview;

namespace {

const char* const kShowHideStyle =
    "QPushButton{background-color:#322f2f;border:none;"
    "background-image:url(./images/ShowHide.png);}"
    "QPushButton:checked{background-image:url(./images/ShowHideChecked.png);}";
const char* const kReCheckStyle =
    "QPushButton{background-color:#ff0000;color:white;border:none;border-radius:8px;"
    "font-size:%1px;}"
    "QPushButton:pressed{background-color:qlineargradient(x1:0,y1:0,x2:0,y2:1,"
    "stop:0 #ed9d11,stop:1 #ff9900);}";

int choiceFontPx() {
    return gLan == kLanguageJapanese ? kPageComboFontPxJapanese : kPageComboFontPx;
}

}  // namespace

DrawROIWidget::DrawROIWidget(QWidget* parent, EditPageHost& host)
    : QWidget(parent), host_(host), page_(host) {
    buildControls();
    setFixedSize(kPageWidth, gShowH);
    apply();
}

DrawROIWidget::~DrawROIWidget() = default;

void DrawROIWidget::buildControls() {
    const auto button = [this](void (DrawROIWidget::*slot)(), int width = kPageWidth) {
        auto* b = new ColorButton(QString(), this, ColorButton::Dark);
        b->setFixedSize(width, kPageRowHeight);
        if (slot) connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    QFont choiceFont(QString::fromLatin1(kPanelFontFamily));
    choiceFont.setPixelSize(choiceFontPx());
    // The operator's choice runs the choice's slot when it changes the index.
    const auto combo = [this, &choiceFont](PageChoice which) {
        auto* c = new ComboBox(this);
        c->setFixedSize(kPageWidth, kPageRowHeight);
        c->setItemHeight(kPageRowHeight);
        c->setFont(choiceFont);
        connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, which](int index) { run([&] { page_.choose(which, index); }); });
        return c;
    };
    btnShowHide = button(&DrawROIWidget::SlotShowHide);
    btnShowHide->setCheckable(true);
    btnShowHide->setStyleSheet(QLatin1String(kShowHideStyle));
    cbSource = combo(SourceList);
    cbCamera = combo(CameraList);
    cbDetect = combo(DetectList);
    btnReturn = button(&DrawROIWidget::SlotReturn);
    btnChangeOp = button(&DrawROIWidget::SlotChangeOp);
    btnNoCheck = button(&DrawROIWidget::SlotNoCheckCur);
    btnDrawRect = button(&DrawROIWidget::SlotDrawRect);
    btnTempLast = button(&DrawROIWidget::SlotTempLast, kPageHalfButtonWidth);
    btnAddTemp = button(&DrawROIWidget::SlotAddTemp);
    btnDrawCircle = button(&DrawROIWidget::SlotDrawCircle);
    btnTempNext = button(&DrawROIWidget::SlotTempNext, kPageHalfButtonWidth);
    // Half as wide as the others: their texts take two lines at the others' size.
    btnTempLast->setTwoLines(true);
    btnTempNext->setTwoLines(true);
    btnDrawPolygon = button(&DrawROIWidget::SlotDrawPloygn);
    btnTempDelete = button(&DrawROIWidget::SlotTempDeleteCur);
    btnDrawHand = button(&DrawROIWidget::SlotDrawHand);
    btnCopyArea = button(&DrawROIWidget::SlotCopyArea);
    btnDeleteROI = button(&DrawROIWidget::SlotDeleteROI);
    btnReCheck = button(&DrawROIWidget::SlotReCheck);
    btnReCheck->setStyleSheet(QString::fromLatin1(kReCheckStyle).arg(choiceFontPx()));
    btnDeleteAllROI = button(&DrawROIWidget::SlotDeleteAllROI);
    btnHelp = button(&DrawROIWidget::SlotHelp);
    btnAutoChange = button(&DrawROIWidget::SlotAutoChange);
    btnShowIgnore = button(&DrawROIWidget::SlotShowHideAlarmPoint);
    btnIgnoreAlarm = button(&DrawROIWidget::SlotIgnoreAlarmPoint);
    btnDeleteIgnore = button(&DrawROIWidget::SlotDeleteIgnorePoint);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(1);
    column->setContentsMargins(0, 0, 0, kPageBottomMargin);
    for (QWidget* w : std::initializer_list<QWidget*>{
             btnShowHide, cbSource, cbCamera, cbDetect, btnReturn, btnChangeOp, btnNoCheck,
             btnAddTemp, btnAutoChange, btnHelp, btnDrawRect, btnDrawCircle, btnDrawPolygon,
             btnDrawHand, btnCopyArea, btnDeleteROI, btnDeleteAllROI})
        column->addWidget(w);
    auto* paging = new QHBoxLayout;
    paging->setSpacing(kPageHalfButtonGap);
    paging->setContentsMargins(0, 0, 0, 0);
    paging->addWidget(btnTempLast);
    paging->addWidget(btnTempNext);
    column->addLayout(paging);
    for (QWidget* w : std::initializer_list<QWidget*>{btnTempDelete, btnShowIgnore, btnIgnoreAlarm,
                                                      btnDeleteIgnore})
        column->addWidget(w);
    column->addStretch();
    column->addWidget(btnReCheck);
}

QWidget* DrawROIWidget::control(int k) const {
    QWidget* const controls[PageControlCount] = {
        btnShowHide,   cbSource,        cbCamera,        cbDetect,      btnReturn,
        btnChangeOp,   btnNoCheck,      btnAddTemp,      btnAutoChange, btnHelp,
        btnDrawRect,   btnDrawCircle,   btnDrawPolygon,  btnDrawHand,   btnCopyArea,
        btnDeleteROI,  btnDeleteAllROI, btnTempLast,     btnTempNext,   btnTempDelete,
        btnShowIgnore, btnIgnoreAlarm,  btnDeleteIgnore, btnReCheck};
    return k >= 0 && k < PageControlCount ? controls[k] : nullptr;
}

ComboBox* DrawROIWidget::choice(int k) const {
    ComboBox* const choices[PageChoiceCount] = {cbSource, cbCamera, cbDetect};
    return k >= 0 && k < PageChoiceCount ? choices[k] : nullptr;
}

void DrawROIWidget::apply() {
    const PageLook& look = page_.look();
    for (int k = 0; k < PageChoiceCount; ++k) {
        ComboBox* c = choice(k);
        const ChoiceLook& wanted = look.choices[size_t(k)];
        const QSignalBlocker quiet(c);
        QStringList items;
        for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
        if (items != wanted.items) {
            c->clear();
            c->addItems(wanted.items);
        }
        c->setCurrentIndex(wanted.index);
    }
    for (int k = 0; k < PageControlCount; ++k) {
        QWidget* w = control(k);
        const ControlLook& c = look.controls[size_t(k)];
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            const QSignalBlocker quiet(b);
            if (k != ShowHideButton) b->setText(c.text);
            if (auto* cb = qobject_cast<ColorButton*>(b)) cb->FitText();
            b->setCheckable(c.checkable);
            b->setChecked(c.checked);
            b->setEnabled(c.enabled);
        }
        w->setVisible(c.shown);
    }
    move(look.atLeft ? 0 : gShowW - kPageWidth, 0);
    setVisible(look.shown);
    update();
}

// --- forwarding ------------------------------------------------------------------------------

void DrawROIWidget::Reset(bool openOp) {
    run([&] { page_.Reset(openOp); });
    raise();
}
void DrawROIWidget::Restart() {
    run([&] { page_.Restart(); });
}
void DrawROIWidget::setSource(int source) {
    run([&] { page_.setSource(source); });
}
void DrawROIWidget::ChangeDetectNum(int count) {
    run([&] { page_.ChangeDetectNum(count); });
}
void DrawROIWidget::startDrawPloygn() {
    run([&] { page_.startDrawPloygn(); });
}
void DrawROIWidget::viewCall(EditPageCall call) {
    run([&] { page_.viewCall(call); });
}
void DrawROIWidget::SlotShowHide() {
    run([&] { page_.SlotShowHide(); });
}
void DrawROIWidget::SlotReturn() {
    run([&] { page_.SlotReturn(); });
}
void DrawROIWidget::SlotChangeSource(int source) {
    run([&] { page_.SlotChangeSource(source); });
}
void DrawROIWidget::SlotChangeCamera(int index) {
    run([&] { page_.SlotChangeCamera(index); });
}
void DrawROIWidget::SlotChangeDetect(int index) {
    run([&] { page_.SlotChangeDetect(index); });
}
void DrawROIWidget::SlotChangeOp() {
    run([&] { page_.SlotChangeOp(); });
}
void DrawROIWidget::SlotCopyArea() {
    run([&] { page_.SlotCopyArea(); });
}
void DrawROIWidget::SlotDrawHand() {
    run([&] { page_.SlotDrawHand(); });
}
void DrawROIWidget::SlotDrawRect() {
    run([&] { page_.SlotDrawRect(); });
}
void DrawROIWidget::SlotDrawCircle() {
    run([&] { page_.SlotDrawCircle(); });
}
void DrawROIWidget::SlotDrawPloygn() {
    run([&] { page_.SlotDrawPloygn(); });
}
void DrawROIWidget::SlotDeleteROI() {
    run([&] { page_.SlotDeleteROI(); });
}
void DrawROIWidget::SlotDeleteAllROI() {
    run([&] { page_.SlotDeleteAllROI(); });
}
void DrawROIWidget::SlotTempLast() {
    run([&] { page_.SlotTempLast(); });
}
void DrawROIWidget::SlotTempNext() {
    run([&] { page_.SlotTempNext(); });
}
void DrawROIWidget::SlotTempDeleteCur() {
    run([&] { page_.SlotTempDeleteCur(); });
}
void DrawROIWidget::SlotTempDeleteAll() {
    run([&] { page_.SlotTempDeleteAll(); });
}
void DrawROIWidget::SlotNoCheckCur() {
    run([&] { page_.SlotNoCheckCur(); });
}
void DrawROIWidget::SlotAddTemp() {
    run([&] { page_.SlotAddTemp(); });
}
void DrawROIWidget::SlotReCheck() {
    run([&] { page_.SlotReCheck(); });
}
void DrawROIWidget::SlotHelp() {
    run([&] { page_.SlotHelp(); });
}
void DrawROIWidget::SlotAutoChange() {
    run([&] { page_.SlotAutoChange(); });
}
void DrawROIWidget::SlotShowHideAlarmPoint() {
    run([&] { page_.SlotShowHideAlarmPoint(); });
}
void DrawROIWidget::SlotIgnoreAlarmPoint() {
    run([&] { page_.SlotIgnoreAlarmPoint(); });
}
void DrawROIWidget::SlotDeleteIgnorePoint() {
    run([&] { page_.SlotDeleteIgnorePoint(); });
}
void DrawROIWidget::AddTemp(int camera, int detection) {
    run([&] { page_.AddTemp(camera, detection); });
}
void DrawROIWidget::notCheckcur() {
    run([&] { page_.notCheckcur(); });
}
void DrawROIWidget::SlotChangePage() {
    run([&] { page_.SlotChangePage(); });
}
void DrawROIWidget::SlotSaveData() {
    run([&] { page_.SlotSaveData(); });
}
dialogs::Answer DrawROIWidget::saveData(const dialogs::Subject& about) {
    dialogs::Answer answer = dialogs::Answer::Yes;
    run([&] { answer = page_.saveData(about); });
    return answer;
}
void DrawROIWidget::LoadPic() {
    run([&] { page_.LoadPic(); });
}
void DrawROIWidget::GetTempTIme(int camera, int detection, int slot) {
    page_.GetTempTIme(camera, detection, slot);
}

void DrawROIWidget::showEvent(QShowEvent* event) {
    host_.showVersion(false);
    QWidget::showEvent(event);
}

void DrawROIWidget::hideEvent(QHideEvent* event) {
    host_.showVersion(true);
    QWidget::hideEvent(event);
}
