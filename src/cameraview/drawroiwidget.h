#pragma once
// The ROI and template editing page: a column of touch buttons and choices over one edge of the
// camera views. Its logic is the EditPage it owns; the page builds the controls, forwards the
// operator's presses and choices and every outside call to it, and shows what it says.

#include <QWidget>
#include <memory>

#include "editpage.h"

class ColorButton;
class ComboBox;

class DrawROIWidget : public QWidget {
    Q_OBJECT
public:
    DrawROIWidget(QWidget* parent, cameraview::EditPageHost& host);
    ~DrawROIWidget() override;

    cameraview::EditPage& page() { return page_; }

    // --- called from outside the page ---
    void Reset(bool openOp);
    void Restart();
    void setSource(int source);
    void ChangeDetectNum(int count);
    void startDrawPloygn();
    // The frame on show of `camera` becomes a template of `detection`.
    void AddTemp(int camera, int detection);
    // "Don't Detect" this mould on every camera, without asking.
    void notCheckcur();
    // The page's save, its question asked about the caller's subject.
    dialogs::Answer saveData(const dialogs::Subject& about);
    // The drawing-tool slot a camera view asks for (first point, double tap).
    void viewCall(cameraview::EditPageCall call);
    // The stored picture on show, as the camera views paint it.
    cameraview::RecordPicture recordPicture() const { return page_.recordPicture(); }

    // --- controls ---
    ColorButton* btnShowHide = nullptr;
    ComboBox* cbSource = nullptr;
    ComboBox* cbCamera = nullptr;
    ComboBox* cbDetect = nullptr;
    ColorButton* btnReturn = nullptr;
    ColorButton* btnChangeOp = nullptr;
    ColorButton* btnNoCheck = nullptr;
    ColorButton* btnDrawRect = nullptr;
    ColorButton* btnTempLast = nullptr;
    ColorButton* btnAddTemp = nullptr;
    ColorButton* btnDrawCircle = nullptr;
    ColorButton* btnTempNext = nullptr;
    ColorButton* btnDrawPolygon = nullptr;
    ColorButton* btnTempDelete = nullptr;
    ColorButton* btnDrawHand = nullptr;
    ColorButton* btnCopyArea = nullptr;
    ColorButton* btnDeleteROI = nullptr;
    ColorButton* btnReCheck = nullptr;
    ColorButton* btnDeleteAllROI = nullptr;
    ColorButton* btnHelp = nullptr;
    ColorButton* btnAutoChange = nullptr;
    ColorButton* btnShowIgnore = nullptr;
    ColorButton* btnIgnoreAlarm = nullptr;
    ColorButton* btnDeleteIgnore = nullptr;

public slots:
    void SlotShowHide();
    void SlotReturn();
    void SlotChangeSource(int source);
    void SlotChangeCamera(int index);
    void SlotChangeDetect(int index);
    void SlotChangeOp();
    void SlotCopyArea();
    void SlotDrawHand();
    void SlotDrawRect();
    void SlotDrawCircle();
    void SlotDrawPloygn();
    void SlotDeleteROI();
    void SlotDeleteAllROI();
    void SlotTempLast();
    void SlotTempNext();
    void SlotTempDeleteCur();
    void SlotTempDeleteAll();
    void SlotNoCheckCur();
    void SlotAddTemp();
    void SlotReCheck();
    void SlotHelp();
    void SlotAutoChange();
    void SlotTimerAutoC() {}
    void SlotShowHideAlarmPoint();
    void SlotIgnoreAlarmPoint();
    void SlotDeleteIgnorePoint();
    void SlotChangePage();
    void SlotSaveData();
    void LoadPic();
    void GetTempTIme(int camera, int detection, int slot);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    QWidget* control(int k) const;
    ComboBox* choice(int k) const;
    // Shows what the logic says: controls, choices, the edge the page stands at, the page.
    void apply();
    template <class Call>
    void run(Call call) {
        call();
        apply();
    }

    cameraview::EditPageHost& host_;
    cameraview::EditPage page_;
};
