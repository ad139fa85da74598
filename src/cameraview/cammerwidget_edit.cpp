// The camera view's side of region editing: its mouse events go to the area editor in display
// coordinates, the editor reaches the program through this view, and the side panel's widgets
// show what the panel plan says.

#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QtDebug>
#include <cmath>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "enginefailimage.h"
#include "regionpanel.h"
#include "slider.h"
#include "warnbox.h"
#include "wizardpara.h"

namespace cameraview {

// What the area editor needs from the program, answered by the view, its hooks to the main
// window and the shared dialogs.
class ViewEditHost : public RoiEditHost {
public:
    explicit ViewEditHost(CammerWidget& view) : v_(view) {}

    EditTools tools() const override {
        const ViewHostState s = v_.hostState();
        return EditTools{s.editDetect, s.drawTool, s.freehandDraw, s.copyAreaArmed};
    }
    void setDrawTool(int tool) override {
        if (v_.hooks_.setDrawTool) v_.hooks_.setDrawTool(tool);
    }
    void disarmCopy() override {
        if (v_.hooks_.disarmCopy) v_.hooks_.disarmCopy();
    }
    const WizardPara& settings() const override { return v_.context.para(); }
    float scaleX() const override { return v_.baseScaleX; }
    float scaleY() const override { return v_.baseScaleY; }
    QSize viewSize() const override { return v_.size(); }
    dialogs::Subject subject() const override {
        return v_.hooks_.editSubject ? v_.hooks_.editSubject() : dialogs::Subject::program();
    }
    dialogs::Answer warn(int entry, const dialogs::Subject& about) override {
        if (!gpWarnBox)
            qWarning() << "camera" << v_.cameraNo + 1 << "warning not shown:" << lan(entry);
        return dialogs::notify(lan(entry), about);
    }
    dialogs::Answer confirm(int entry, const dialogs::Subject& about) override {
        if (!gpChooseBox)
            qWarning() << "camera" << v_.cameraNo + 1 << "question not asked:" << lan(entry);
        return dialogs::confirm(lan(entry), about);
    }
    void pageCall(EditPageCall call) override {
        if (v_.hooks_.editingPage) v_.hooks_.editingPage(call);
    }
    void showPanel() override { v_.ShowHideROIPara(); }
    void repaint() override { v_.update(); }
    void setCursorShape(Qt::CursorShape shape) override { v_.setCursor(shape); }
    void panZoom(QPoint widgetPos) override {
        if (v_.hooks_.panZoom) v_.hooks_.panZoom(widgetPos);
    }
    void runTest(int d, int i) override {
        if (v_.recong) v_.recong->RunTest(d, i);
    }
    void drawHint(int size, bool timed) override {
        gDrawHint = size;
        if (timed && v_.hooks_.startDrawHint) v_.hooks_.startDrawHint(kDrawHintMs);
    }
    void saveIgnorePoint(int d) override { v_.SaveIgnorePoint(d); }

private:
    CammerWidget& v_;
};

}  // namespace cameraview

using namespace cameraview;

std::unique_ptr<RoiEditHost> CammerWidget::makeEditHost() {
    return std::make_unique<ViewEditHost>(*this);
}

// --- side panel -----------------------------------------------------------------------------

void CammerWidget::buildSidePanel() {
    const auto button = [this](const QString& text, int type, void (CammerWidget::*slot)(),
                               bool repeat = false) {
        auto* b = new ColorButton(text, this, type);
        connect(b, &QPushButton::clicked, this, slot);
        if (repeat) b->SetRepeat();
        b->hide();
        return b;
    };
    const auto slider = [this](int max, int value, void (CammerWidget::*slot)(int)) {
        auto* s = new Slider(0, max, 1, value, this, QString());
        connect(s, &Slider::valueChanged, this, slot);
        s->hide();
        return s;
    };
    sliderA = slider(10, 25, &CammerWidget::SlotMinWH);
    sliderB = slider(255, 25, &CammerWidget::SlotSensitivity);
    sliderC = slider(1000, 50, &CammerWidget::SlotArea);
    lblFunc = new QLabel(lan(kEntryFunc), this);
    lblFunc->setFont(panelFont(kPanelFontPx));
    lblFunc->hide();
    btnFunc = button(QString(), ColorButton::Large, &CammerWidget::SlotChangeFunc);
    btnParamSwitch =
        button(lan(kEntryParamSwitch), ColorButton::Large, &CammerWidget::SlotChangeParaShow);
    cmbNgOutput = new ComboBox(this);
    for (int n = 0; n < roi::kNgOutputs; ++n)
        cmbNgOutput->addItem(QStringLiteral("N%1").arg(n + 1), n);
    QFont comboFont = cmbNgOutput->font();
    comboFont.setPixelSize(kNgOutputFontPx);
    cmbNgOutput->setFont(comboFont);
    cmbNgOutput->setItemHeight(kNgOutputItemHeight);
    connect(cmbNgOutput, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CammerWidget::SlotOutN);
    cmbNgOutput->hide();
    btnRoiSwitch = button(lan(kEntryRoiSwitch), ColorButton::Large, &CammerWidget::SlotNextROI);
    btnPoint = button(QString(), ColorButton::Large, &CammerWidget::SlotChangeObject);
    btnStep0 = button(QString(), ColorButton::Large, &CammerWidget::SlotAdd10, true);
    btnStep1 = button(QString(), ColorButton::Large, &CammerWidget::SlotAdd1, true);
    btnStep2 = button(QString(), ColorButton::Large, &CammerWidget::SlotSub1, true);
    btnStep3 = button(QString(), ColorButton::Large, &CammerWidget::SlotSub10, true);

    btnSync = button(tr("同步参数"), ColorButton::Dark, &CammerWidget::SlotSyncParam);
    btnFineTune = new ColorButton(lan(kEntryMoveUp), this, ColorButton::Dark);
    btnFineTune->setCheckable(true);
    btnFineTune->hide();
    connect(btnFineTune, &QPushButton::toggled, this, [this](bool on) {
        btnFineTune->setChecked(on);
        ShowHideROIPara();
    });
    btnMoveT = button(lan(kEntryMoveUp), ColorButton::Dark, &CammerWidget::SlotMoveT, true);
    btnMoveB = button(lan(kEntryMoveUp + 1), ColorButton::Dark, &CammerWidget::SlotMoveB, true);
    btnMoveL = button(lan(kEntryMoveUp + 2), ColorButton::Dark, &CammerWidget::SlotMoveL, true);
    btnMoveR = button(lan(kEntryMoveUp + 3), ColorButton::Dark, &CammerWidget::SlotMoveR, true);
    btnMoveAll = button(lan(kEntryHideSet), ColorButton::Dark, &CammerWidget::SlotMoveAll);

    // The fixed row at the bottom of the display area, right of the legend.
    const int top = gShowH - kFixedRowTopAboveBottom;
    const int height = kFixedRowTopAboveBottom - kFixedRowBottomAboveBottom + 1;
    int x = kFixedRowLeft;
    for (QWidget* w : {static_cast<QWidget*>(btnSync), static_cast<QWidget*>(btnFineTune),
                       static_cast<QWidget*>(btnMoveT), static_cast<QWidget*>(btnMoveB),
                       static_cast<QWidget*>(btnMoveL), static_cast<QWidget*>(btnMoveR),
                       static_cast<QWidget*>(btnMoveAll)}) {
        w->setGeometry(x, top, kFixedButtonWidth, height);
        x += kFixedButtonWidth + kFixedButtonGap;
    }
}

QWidget* CammerWidget::panelWidget(int control) const {
    QWidget* const widgets[PanelControlCount] = {
        sliderB,      sliderC,  sliderA,  lblFunc,  btnFunc,  btnParamSwitch, cmbNgOutput,
        btnRoiSwitch, btnPoint, btnStep0, btnStep1, btnStep2, btnStep3,       btnSync,
        btnFineTune,  btnMoveT, btnMoveB, btnMoveL, btnMoveR, btnMoveAll};
    return control >= 0 && control < PanelControlCount ? widgets[control] : nullptr;
}

void CammerWidget::ShowHideROIPara() {
    context.testShown = false;
    if (!sliderA) return;
    PanelState state;
    state.detect = hostState().editDetect;
    state.selected = selectedRoi;
    state.dragPoint = dragPoint;
    state.moveAllMode = moveAllMode;
    state.fineTune = btnFineTune->isChecked();
    state.baseScaleY = baseScaleY;
    const PanelPlan plan = editParam && state.detect >= 0 && state.detect < kMaxDetections
                               ? planPanel(*editParam, state, context.para())
                               : PanelPlan{};
    if (!plan.selected) {
        for (int c = 0; c < PanelControlCount; ++c) panelWidget(c)->hide();
        const QSignalBlocker quiet(btnFineTune);
        btnFineTune->setChecked(false);
        moveAllMode = 0;
        dragPoint = 0;
        btnMoveAll->setText(lan(kEntryHideSet));
        update();
        return;
    }
    // Cleared before the sliders are re-armed: a re-armed slider writes its value into the
    // newly selected area, and with the toggle still set a minimum would land in the maximum.
    paraShowToggle = false;
    for (int c = 0; c < PanelControlCount; ++c) {
        QWidget* w = panelWidget(c);
        if (!plan.place[c].isNull()) w->setGeometry(plan.place[c]);
        if (!plan.text[c].isNull()) {
            if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(plan.text[c]);
        }
        if (plan.shown[c] != Shown::Keep) w->setVisible(plan.shown[c] == Shown::Show);
        if (auto* b = qobject_cast<ColorButton*>(w)) b->FitText();
    }
    if (plan.ngOutput >= 0) cmbNgOutput->setCurrentIndex(plan.ngOutput);
    Slider* const sliders[] = {sliderB, sliderC, sliderA};
    for (int k = 0; k < 3; ++k) {
        const SliderArm& a = plan.arm[size_t(k)];
        sliders[k]->Reset(a.min, a.max, 1, a.value, lan(a.captionEntry));
    }
    update();
}

void CammerWidget::SlotChangeParaShow() {
    if (!editor_.hasSelection() || !sliderA) return;
    editor_.toggleParaShow();
    const int d = editor_.detect();
    SliderArm arm;
    const PanelControl which =
        paramSwitchSlider(editParam->roiFunc[d][selectedRoi], editParam->roiParam3[d][selectedRoi],
                          editParam->roiParam2[d][selectedRoi], paraShowToggle, &arm);
    if (which != PanelControlCount)
        static_cast<Slider*>(panelWidget(which))
            ->Reset(arm.min, arm.max, 1, arm.value, lan(arm.captionEntry));
    update();
}

bool CammerWidget::GetFuncInitParam(int code, int& B, int& C, int& A) const {
    return funcInitParam(code, context.para(), B, C, A);
}

bool CammerWidget::SaveIgnorePoint(int d) {
    return failimage::saveIgnorePoint(context, d);
}

// --- pointer --------------------------------------------------------------------------------

bool CammerWidget::editsRegions(const ViewHostState& host) const {
    return cameraNo < numCamera && host.curCamera != numCamera;
}

void CammerWidget::MUpdateXYV(int x, int y) {
    const ViewHostState host = hostState();
    if (gShowW <= 0 || gShowH <= 0 || host.zoomScale <= 0.0f || !hooks_.pointerOver) return;
    PointerSample sample;
    sample.image = QPoint(int(float(x - host.zoomX) * float(imageW) / (gShowW * host.zoomScale)),
                          int(float(y - host.zoomY) * float(imageH) / (gShowH * host.zoomScale)));
    const int ix = sample.image.x();
    const int iy = sample.image.y();
    sample.inFrame = ix >= 0 && iy >= 0 && ix < imageW && iy < imageH &&
                     showBuf.size() == size_t(frameBytes) && frameBytes > 0;
    if (sample.inFrame) {
        const size_t at = size_t(iy) * size_t(imageW) + size_t(ix);
        if (gisColor) {
            const uchar* px = &showBuf[at * kColorBytesPerPixel];
            sample.pixel =
                quint32(px[0]) | quint32(px[1]) << 8 | quint32(px[2]) << 16 | quint32(px[3]) << 24;
        } else {
            sample.pixel = showBuf[at];
        }
    }
    hooks_.pointerOver(sample);
}

void CammerWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p(int(std::lround(event->localPos().x())),
                   int(std::lround(event->localPos().y())));
    emit clicked(p);
    const ViewHostState host = hostState();
    if (cameraNo == host.curCamera) {
        if (hooks_.pressedAt) hooks_.pressedAt(p);
        MUpdateXYV(p.x(), p.y());
    }
    if (hooks_.viewTouched) hooks_.viewTouched();
    if (!editsRegions(host)) return;
    if (gSource != kSourceTemplate) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    editor_.press(toDisplay(event->localPos(), host.zoomX, host.zoomY, host.zoomScale));
}

void CammerWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p(int(std::lround(event->localPos().x())),
                   int(std::lround(event->localPos().y())));
    const ViewHostState host = hostState();
    if (cameraNo == host.curCamera) MUpdateXYV(p.x(), p.y());
    if (gSource != kSourceTemplate || cameraNo >= numCamera) return;
    editor_.move(toDisplay(event->localPos(), host.zoomX, host.zoomY, host.zoomScale), p,
                 event->buttons() & Qt::LeftButton);
}

void CammerWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (cameraNo < numCamera && gSource == kSourceTemplate) editor_.release();
    QWidget::mouseReleaseEvent(event);
}

void CammerWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
}

void CammerWidget::SlotCheckDoubleClicked(QPoint p) {
    if (doubleTap_ && doubleTap_->press(p)) editor_.doubleTapped();
}
