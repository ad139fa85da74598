// Opening and leaving the editing page, switching source, camera and detection, and arming the
// drawing tools of the camera views. Templates, stored pictures and the save are in
// editpage_store.cpp.
#include "editpage.h"

#include "cammersingleton.h"
#include "cammerwidget.h"
#include "globals.h"
#include "wizardpara.h"

namespace cameraview {

namespace {

constexpr int kEntryCopyCurrent = 9;
constexpr int kEntryEndPolygon = 33;
constexpr int kEntryReturn = 42;
constexpr int kEntryCameraItem = 43;
constexpr int kEntryAllCameras = 44;
constexpr int kEntryNoCheck = 47;
constexpr int kEntryAddTemp = 48;
constexpr int kEntryDrawRect = 49;
constexpr int kEntryChangeArea = 50;
constexpr int kEntryDrawCircle = 51;
constexpr int kEntryViewTemplate = 52;
constexpr int kEntryDrawPolygon = 53;
constexpr int kEntryIgnoreAlarm = 54;
constexpr int kEntryDeleteRoi = 55;
constexpr int kEntryDeleteIgnored = 56;
constexpr int kEntryDeleteAllRoi = 57;
constexpr int kEntryPreviousPicture = 59;
constexpr int kEntryRecentNgSource = 60;
constexpr int kEntryReCheck = 61;
constexpr int kEntryNextPicture = 62;
constexpr int kEntryDeleteTemp = 63;
constexpr int kEntryShowIgnored = 64;
constexpr int kEntryNoneSelected = 65;
constexpr int kEntryAskDeleteRoi = 66;
constexpr int kEntryAskDeleteAll = 67;
constexpr int kEntryDrawHand = 104;
constexpr int kEntryHelp = 111;
constexpr int kEntryProdDisabled = 118;
constexpr int kEntrySameParamNote = 119;
constexpr int kEntryOkRecord = 207;
constexpr int kEntryNgRecord = 208;
constexpr int kEntryAutoChange = 212;
constexpr int kEntryTemplate = 223;
constexpr int kEntryLiveImage = 224;
constexpr int kEntrySameParamRightNote = 371;
constexpr int kEntryPreviousTemplate = 559;
constexpr int kEntryNextTemplate = 560;
constexpr int kEntryEndCurrentPolygon = 670;

// The armed texts of the continuous tools are the same in every language.
const QString kEndRect = QStringLiteral("结束画四边形");
const QString kEndCircle = QStringLiteral("结束画圆形");
const QString kEndHand = QStringLiteral("结束手势区域");

}  // namespace

EditPage::EditPage(EditPageHost& host) : host_(host) {
    const std::pair<PageControl, int> texts[] = {
        {ReturnButton, kEntryReturn},
        {ChangeOpButton, kEntryViewTemplate},
        {NoCheckButton, kEntryNoCheck},
        {DrawRectButton, kEntryDrawRect},
        {TempLastButton, kEntryPreviousPicture},
        {AddTempButton, kEntryAddTemp},
        {DrawCircleButton, kEntryDrawCircle},
        {TempNextButton, kEntryNextPicture},
        {DrawPolygonButton, kEntryDrawPolygon},
        {TempDeleteButton, kEntryDeleteTemp},
        {DrawHandButton, kEntryDrawHand},
        {CopyAreaButton, kEntryCopyCurrent},
        {DeleteRoiButton, kEntryDeleteRoi},
        {ReCheckButton, kEntryReCheck},
        {DeleteAllRoiButton, kEntryDeleteAllRoi},
        {HelpButton, kEntryHelp},
        {AutoChangeButton, kEntryAutoChange},
        {ShowIgnoreButton, kEntryShowIgnored},
        {IgnoreAlarmButton, kEntryIgnoreAlarm},
        {DeleteIgnoreButton, kEntryDeleteIgnored},
    };
    for (const auto& [control, entry] : texts) setText(control, entry);
    look_.controls[ShowHideButton].checkable = true;

    for (int entry :
         {kEntryTemplate, kEntryLiveImage, kEntryRecentNgSource, kEntryOkRecord, kEntryNgRecord})
        look_.choices[SourceList].items << lan(entry);
    for (int c = 0; c < numCamera; ++c)
        look_.choices[CameraList].items << lan(kEntryCameraItem).arg(c + 1);
    if (numCamera > 1) look_.choices[CameraList].items << lan(kEntryAllCameras);
    const WizardPara& p = host_.settings();
    look_.choices[DetectList].items = detectItems(p.detectMode, p.detectNum);
}

// --- helpers ---------------------------------------------------------------------------------

bool EditPage::singleCamera() const {
    const int c = host_.words().curCamera;
    return c >= 0 && c < numCamera;
}

bool EditPage::editingAreas() const {
    return singleCamera() && gSource == kSourceTemplate;
}

CammerWidget* EditPage::current() {
    return singleCamera() ? host_.view(host_.words().curCamera) : nullptr;
}

bool EditPage::continuous() const {
    return host_.settings().continuousArea != 0;
}

void EditPage::setText(PageControl control, int entry) {
    look_.controls[control].text = lan(entry);
}

void EditPage::setChoice(PageChoice choice, int index) {
    ChoiceLook& c = look_.choices[choice];
    if (index < 0 || index >= c.items.size() || index == c.index) return;
    c.index = index;
    if (choice == SourceList)
        SlotChangeSource(index);
    else if (choice == CameraList)
        SlotChangeCamera(index);
    else
        SlotChangeDetect(index);
}

void EditPage::choose(PageChoice choice, int index) {
    setChoice(choice, index);
}

void EditPage::refreshEditCopies() {
    copiesHeld_ = true;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* v = host_.view(c);
        if (!v || !v->liveParam || !v->editParam) continue;
        v->editParam->copyFrom(*v->liveParam);
        v->BackMask();
    }
}

void EditPage::releaseEditCopies() {
    copiesHeld_ = false;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* v = host_.view(c);
        if (!v || !v->editParam) continue;
        v->editParam->reset();
        for (auto& masks : v->context.editRoiMask)
            for (cv::Mat& mask : masks) mask.release();
    }
}

void EditPage::deselectCurrent() {
    if (CammerWidget* v = current()) {
        v->DeselectROI();
        v->ShowHideROIPara();
    }
}

dialogs::Subject EditPage::subject() const {
    return dialogs::Subject("the editing page", [this] { return pageReading(); });
}

dialogs::Subject EditPage::shownFrameSubject() const {
    return dialogs::Subject("the frame on show", [this] {
        dialogs::Subject::Reading reading = pageReading();
        // A failure kept in the ring of recent NG frames meanwhile may take the slot on show
        // and changes the count under it; the operator answered about what was there before.
        const int d = host_.words().editDetect;
        const CammerWidget* v = host_.view(host_.words().curCamera);
        if (gSource == kSourceRecentNg && v && d >= 0 && d < kMaxDetections)
            reading.insert(reading.end(), {v->recentNgCount[d], v->recentNgShown});
        return reading;
    });
}

dialogs::Subject::Reading EditPage::pageReading() const {
    const int result = host_.resultState();
    // Outside an alarm the cycle goes on judging and moving its step while the page edits
    // areas: that is no change of what the page asks about.
    const bool alarm = result == kResultNgAlarm;
    return dialogs::Subject::Reading{opening_,
                                     result,
                                     gSource,
                                     host_.words().curCamera,
                                     alarm ? host_.curDetect() : -1,
                                     host_.alarmSerial(),
                                     alarm ? host_.judgementSerial() : 0};
}

// --- opening and closing ---------------------------------------------------------------------

void EditPage::Reset(bool openOp) {
    ++opening_;
    panelLeft = false;
    refreshEditCopy = true;
    opPage = 0;
    gDrawHint = 0;
    refreshEditCopies();
    EditWords& w = host_.words();
    w.editDetect = openingDetect(host_.curDetect(), host_.resultState(), host_.settings(), gDNum);
    setChoice(DetectList, w.editDetect);
    const int wanted = host_.resultState() == kResultNgAlarm ? kSourceLive : kSourceTemplate;
    if (look_.choices[SourceList].index != wanted)
        setChoice(SourceList, wanted);
    else
        SlotChangeSource(wanted);
    if (openOp) SlotChangeOp();
    look_.controls[ShowHideButton].checked = false;
    look_.shown = true;
}

void EditPage::Restart() {
    ++opening_;
    host_.setResultState(kResultWaiting);
    // The source goes with the page: an alarm lifted by a cycle's OK while the page showed the
    // templates would leave the views painting the template with its editing marks.
    gSource = kSourceNone;
    for (int c = 0; c < numCamera; ++c)
        if (CammerWidget* v = host_.view(c)) v->DeselectROI();
    // Every opening copies the live areas again; until then the copies hold no memory.
    releaseEditCopies();
    host_.showToolBar();
    host_.showHelpButton(true);
    look_.shown = false;
    for (int c = 0; c < numCamera; ++c) {
        if (CammerWidget* v = host_.view(c)) {
            v->ShowHideROIPara();
            v->update();
        }
    }
    host_.editCopiesReleased();
}

void EditPage::SlotReturn() {
    const dialogs::Subject about = subject();
    host_.hideKeypads();
    EditWords& w = host_.words();
    w.drawTool = kToolNone;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* v = host_.view(c);
        if (!v) continue;
        v->context.curTemplate = 0;
        v->DeselectROI();
        v->ShowHideROIPara();
        v->HotCameraUpdateROI();
    }
    host_.showIoStatus(true);
    host_.zoomToMin();
    if (saveData(about) == dialogs::Answer::Gone) return;
    if (host_.resultState() == kResultNgAlarm) {
        setChoice(SourceList, kSourceLive);
        return;
    }
    panelLeft = false;
    w.copyAreaArmed = 0;
    gSource = kSourceNone;
    host_.showHelpButton(true);
    Restart();
    if (gFromTrain) {
        gFromTrain = 0;
        host_.backTrain();
    }
}

void EditPage::setSource(int source) {
    setChoice(SourceList, source);
}

void EditPage::ChangeDetectNum(int count) {
    if (count < 1) return;
    look_.choices[DetectList].items = detectItems(kModeMultiDetect, count);
    look_.choices[DetectList].index = 0;
}

// --- switching -------------------------------------------------------------------------------

void EditPage::SlotShowHide() {
    ControlLook& button = look_.controls[ShowHideButton];
    button.checked = !button.checked;
    panelLeft = !panelLeft;
    SlotChangePage();
}

void EditPage::SlotChangeOp() {
    opPage = opPage ? 0 : 1;
    SlotChangePage();
}

void EditPage::SlotChangePage() {
    const ControlSet shown = visibleControls(gSource, host_.resultState(), numCamera);
    for (int k = 0; k < PageControlCount; ++k) look_.controls[size_t(k)].shown = shown[size_t(k)];
    if (gSource == kSourceTemplate) {
        if (continuous()) host_.words().drawTool = kToolNone;
        setText(ChangeOpButton, kEntryChangeArea);
    }
    look_.atLeft = panelLeft;
}

void EditPage::SlotChangeSource(int source) {
    EditWords& w = host_.words();
    const bool alarm = host_.resultState() == kResultNgAlarm;
    if (source == kSourceTemplate && alarm) {
        // The alarm page shows the live image until the password is given: the cycle goes on
        // while it is typed and reads the source.
        const dialogs::Subject about = subject();
        const bool admitted = host_.checkPassword(about) != 0;
        // Refused, or the alarm was answered, judged again or replaced while the password was
        // asked: the page stays on the source it shows now (a re-check may have turned it), and
        // the choice says so.
        if (!about.holds() || !admitted) {
            if (gSource >= 0 && gSource < look_.choices[SourceList].items.size())
                look_.choices[SourceList].index = gSource;
            return;
        }
    }
    panelLeft = false;
    gSource = source;
    w.copyAreaArmed = 0;
    if (alarm && source != kSourceLive) host_.alarmOutputOff();
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* v = host_.view(c);
        if (!v) continue;
        v->context.curTemplate = 0;
        v->DeselectROI();
        v->ShowHideROIPara();
    }
    if (!cameraAllowed(source, w.curCamera, numCamera)) {
        w.curCamera = 0;
        host_.changeCamera();
    }
    setChoice(CameraList, w.curCamera);

    host_.showIoStatus(source != kSourceTemplate);
    look_.controls[ShowHideButton].checked = false;
    setText(TempLastButton, kEntryPreviousPicture);
    setText(TempNextButton, kEntryNextPicture);
    host_.showHelpButton(false);
    host_.zoomToMin();

    CammerWidget* v = current();
    const int d = w.editDetect;
    switch (source) {
        case kSourceRecentNg:
            if (v && d >= 0 && d < kMaxDetections && !v->recentNgBuf[d].empty()) {
                v->recentNgShown = 0;
                v->showFrame(v->recentNgBuf[d][0]);
            } else if (v) {
                // A detection with no ring: its caption counts no frame, and nothing is shown.
                v->recentNgShown = 0;
                v->showFrame({});
            }
            break;
        case kSourceOkRecords:
        case kSourceNgRecords:
            recordIndex = 0;
            recordKind = source == kSourceOkRecords ? 1 : 0;
            LoadPic();
            if (v) v->update();
            break;
        case kSourceLive:
            if (alarm) {
                const WizardPara& p = host_.settings();
                const int run = host_.curDetect();
                const bool keepNgFrame =
                    p.noRefreshAfterAlarm && !p.okNgPulse &&
                    ((run == 0 && !p.ejectorPulseOnProdNG) || (run == 1 && !p.clampPulseOnMoldNG));
                for (int c = 0; c < numCamera; ++c) {
                    CammerWidget* view = host_.view(c);
                    if (!view) continue;
                    view->alarmBlink = kBlinkOff;
                    // Another source's frame may still be on show, and a frozen alarm picture
                    // is not refreshed by the grabs: the camera's own frame replaces it at once.
                    view->showFrame(keepNgFrame ? view->context.alignedBuf : view->context.grabBuf);
                }
                setText(ShowIgnoreButton, kEntryShowIgnored);
            }
            break;
        case kSourceTemplate:
            setText(DrawRectButton, kEntryDrawRect);
            setText(DrawCircleButton, kEntryDrawCircle);
            setText(DrawPolygonButton, kEntryDrawPolygon);
            setText(DrawHandButton, kEntryDrawHand);
            setText(TempLastButton, kEntryPreviousTemplate);
            setText(TempNextButton, kEntryNextTemplate);
            setCheckable();
            w.drawTool = kToolNone;
            if (refreshEditCopy) {
                refreshEditCopy = false;
                refreshEditCopies();
            }
            if (v) showTemplate(*v);
            break;
        default:
            break;
    }
    SlotChangePage();
}

void EditPage::SlotChangeCamera(int index) {
    host_.words().curCamera = chosenCamera(gSource, index, numCamera);
    host_.changeCamera();
    SlotChangeSource(gSource);
}

void EditPage::SlotChangeDetect(int index) {
    const bool pagedSource = gSource == kSourceTemplate || gSource == kSourceRecentNg ||
                             gSource == kSourceOkRecords || gSource == kSourceNgRecords;
    if (!singleCamera() || !pagedSource || index < 0 || index >= kMaxDetections) return;
    EditWords& w = host_.words();
    const WizardPara& p = host_.settings();
    w.copyAreaArmed = 0;
    // The warnings are modal: an alarm may open the page again on its own step meanwhile.
    const dialogs::Subject about = subject();
    const int step = twoMoulds(p.detectMode) ? index & 1 : index;
    if (step == 0 && !p.detectProdEnable) {
        if (host_.warn(lan(kEntryProdDisabled), about) == dialogs::Answer::Gone) return;
        setChoice(DetectList, 1);
        return;
    }
    if (p.sameParam && notePending_ && gSource == kSourceTemplate) {
        int note = -1;
        if (step != 0 && p.detectEnable[0] && p.detectMode == 0)
            note = kEntrySameParamNote;
        else if (twoMoulds(p.detectMode) && index >= 2)
            note = kEntrySameParamRightNote;
        if (note >= 0) {
            notePending_ = false;
            if (host_.warn(lan(note), about) == dialogs::Answer::Gone) return;
        }
    }
    if (CammerWidget* v = current()) v->DeselectROI();
    w.drawTool = kToolNone;
    w.editDetect = index;
    SlotChangeSource(gSource);
}

// --- areas and drawing tools -------------------------------------------------------------------

void EditPage::SlotCopyArea() {
    if (!editingAreas()) return;
    EditWords& w = host_.words();
    w.copyAreaArmed = 1;
    w.drawTool = kToolNone;
    setText(DrawPolygonButton, kEntryDrawPolygon);
}

void EditPage::SlotDeleteROI() {
    if (!editingAreas()) return;
    host_.words().copyAreaArmed = 0;
    CammerWidget* v = current();
    const dialogs::Subject about = subject();
    if (v && v->selectedRoi == -1) {
        host_.warn(lan(kEntryNoneSelected), about);
    } else if (v && host_.ask(lan(kEntryAskDeleteRoi), about) == dialogs::Answer::Yes) {
        v->DeleteROI(v->selectedRoi);
        v->setCurRoi(-1);
        v->ShowHideROIPara();
    }
    host_.repaintWindow();
}

void EditPage::SlotDeleteAllROI() {
    if (!editingAreas()) return;
    host_.words().copyAreaArmed = 0;
    CammerWidget* v = current();
    const int d = host_.words().editDetect;
    if (v && host_.ask(lan(kEntryAskDeleteAll), subject()) == dialogs::Answer::Yes && d >= 0 &&
        d < kMaxDetections) {
        if (v->editParam) v->editParam->roiCount[d] = 0;
        v->setCurRoi(-1);
        v->ShowHideROIPara();
        std::fill(v->context.ignoreMask[d].begin(), v->context.ignoreMask[d].end(), uchar(0));
        v->SaveIgnorePoint(d);
    }
    host_.repaintWindow();
}

void EditPage::SlotHelp() {
    host_.showHelpPage(kHelpPageRegions);
}

void EditPage::startDrawPloygn() {
    setText(DrawPolygonButton, kEntryEndCurrentPolygon);
}

void EditPage::viewCall(EditPageCall call) {
    switch (call) {
        case EditPageCall::StartPolygon:
            startDrawPloygn();
            break;
        case EditPageCall::EndPolygon:
            SlotDrawPloygn();
            break;
        case EditPageCall::EndFreehand:
            SlotDrawHand();
            break;
        case EditPageCall::EndCircle:
            SlotDrawCircle();
            break;
        case EditPageCall::EndRect:
            SlotDrawRect();
            break;
    }
}

// The rectangle and circle tools: a second press of the armed tool's button disarms it in
// continuous drawing.
void EditPage::armTool(int tool, PageControl button, const QString& armedText) {
    if (!editingAreas()) return;
    EditWords& w = host_.words();
    const int idleEntry = tool == kToolRect ? kEntryDrawRect : kEntryDrawCircle;
    if (continuous() && w.drawTool == tool) {
        w.drawTool = kToolNone;
        setText(button, idleEntry);
    } else {
        w.copyAreaArmed = 0;
        deselectCurrent();
        w.drawTool = tool;
        setText(DrawPolygonButton, kEntryDrawPolygon);
        if (continuous()) {
            setText(DrawCircleButton, kEntryDrawCircle);
            setText(DrawRectButton, kEntryDrawRect);
            look_.controls[button].text = armedText;
        }
    }
    setCheckable();
}

void EditPage::SlotDrawRect() {
    armTool(kToolRect, DrawRectButton, kEndRect);
}

void EditPage::SlotDrawCircle() {
    armTool(kToolCircle, DrawCircleButton, kEndCircle);
}

void EditPage::SlotDrawHand() {
    if (!editingAreas()) return;
    EditWords& w = host_.words();
    if (continuous() && w.drawTool == kToolPolygon && w.freehandDraw) {
        w.freehandDraw = 0;
        w.drawTool = kToolNone;
        setText(DrawHandButton, kEntryDrawHand);
        setCheckable();
        return;
    }
    w.copyAreaArmed = 0;
    w.freehandDraw = 1;
    deselectCurrent();
    if (continuous()) {
        if (CammerWidget* v = current()) v->pointCount = 0;
        look_.controls[DrawHandButton].text = kEndHand;
        setText(DrawCircleButton, kEntryDrawCircle);
        setText(DrawRectButton, kEntryDrawRect);
    }
    w.drawTool = kToolPolygon;
    setText(DrawPolygonButton, kEntryDrawPolygon);
    setCheckable();
}

void EditPage::SlotDrawPloygn() {
    if (!editingAreas()) return;
    EditWords& w = host_.words();
    CammerWidget* v = current();
    w.copyAreaArmed = 0;
    const bool armed = w.drawTool == kToolPolygon && !(continuous() && w.freehandDraw);
    if (!continuous()) w.freehandDraw = 0;
    if (!armed) {
        if (continuous()) {
            w.freehandDraw = 0;
            if (v) v->pointCount = 0;
            setText(DrawCircleButton, kEntryDrawCircle);
            setText(DrawRectButton, kEntryDrawRect);
            setText(DrawHandButton, kEntryDrawHand);
        }
        deselectCurrent();
        w.drawTool = kToolPolygon;
        setText(DrawPolygonButton, kEntryEndPolygon);
        setCheckable();
        return;
    }
    if (!v) return;
    if (continuous()) {
        const bool open = v->polygonOpen();
        v->SavePolygon();
        if (open) {
            // The tool stays armed for the next polygon.
            v->polyEditing = false;
            v->editState = kEditIdle;
            v->ShowHideROIPara();
            w.drawTool = kToolPolygon;
            setText(DrawPolygonButton, kEntryEndPolygon);
        } else {
            w.drawTool = kToolNone;
            setText(DrawPolygonButton, kEntryDrawPolygon);
        }
        setText(DrawCircleButton, kEntryDrawCircle);
        setText(DrawRectButton, kEntryDrawRect);
    } else {
        v->SavePolygon();
        if (w.drawTool == kToolNone) setText(DrawPolygonButton, kEntryDrawPolygon);
    }
    v->update();
    setCheckable();
}

void EditPage::setCheckable() {
    const PageControl tools[] = {DrawRectButton, DrawCircleButton, DrawPolygonButton,
                                 DrawHandButton};
    const PageControl locked[] = {DrawRectButton,     DrawCircleButton, DrawPolygonButton,
                                  DrawHandButton,     CopyAreaButton,   DeleteRoiButton,
                                  DeleteAllRoiButton, ChangeOpButton};
    for (PageControl k : tools) {
        look_.controls[k].checkable = continuous();
        look_.controls[k].checked = false;
    }
    if (!continuous()) return;
    const EditWords& w = host_.words();
    for (PageControl k : locked) look_.controls[k].enabled = w.drawTool == kToolNone;
    if (w.drawTool == kToolNone) return;
    PageControl armed = DrawPolygonButton;
    if (w.drawTool == kToolRect)
        armed = DrawRectButton;
    else if (w.drawTool == kToolCircle)
        armed = DrawCircleButton;
    else if (w.freehandDraw)
        armed = DrawHandButton;
    look_.controls[armed].checked = true;
    look_.controls[armed].enabled = true;
}

}  // namespace cameraview
