#pragma once
// The editing page's logic: the image source, camera and detection on show, the drawing tools
// it arms on the camera views, paging through templates, recent NG frames and stored pictures,
// deleting templates and areas, and the save that makes the edits effective with their
// operation records and retraining.
//
// A plain class over the program (EditPageHost) and the camera views. What the page's widgets
// show is kept here as a `PageLook`; the widget applies it after every call and forwards the
// operator's presses and choices. Setting a choice's index runs its slot when the index
// changes, as a combo box's index change does.

#include <QImage>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "editpagehost.h"
#include "editpagerules.h"
#include "viewhooks.h"

namespace cameraview {

struct ControlLook {
    bool shown = false;
    QString text;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
};

enum PageChoice { SourceList, CameraList, DetectList, PageChoiceCount };

struct ChoiceLook {
    QStringList items;
    int index = 0;
};

struct PageLook {
    std::array<ControlLook, PageControlCount> controls;
    std::array<ChoiceLook, PageChoiceCount> choices;
    bool shown = false;
    bool atLeft = false;  // at the left edge of the display instead of the right one
};

// Where a new template goes: a free slot (marked used once the file is written), or the slot of
// an old template it replaces, with a leftover file of a larger library removed after.
struct TemplateSlot {
    int slot = -1;
    bool free = false;
    QString removePath;
};

class EditPage {
public:
    explicit EditPage(EditPageHost& host);

    const PageLook& look() const { return look_; }
    // The operator chose item `index` of a choice.
    void choose(PageChoice choice, int index);

    // --- opening and closing ---
    void Reset(bool openOp);
    void Restart();
    void SlotReturn();
    void setSource(int source);
    void ChangeDetectNum(int count);

    // --- switching ---
    void SlotShowHide();
    void SlotChangeOp();
    void SlotChangeSource(int source);
    void SlotChangeCamera(int index);
    void SlotChangeDetect(int index);
    void SlotChangePage();

    // --- areas and drawing tools ---
    void SlotCopyArea();
    void SlotDrawRect();
    void SlotDrawCircle();
    void SlotDrawHand();
    void SlotDrawPloygn();
    void SlotDeleteROI();
    void SlotDeleteAllROI();
    void startDrawPloygn();
    void SlotHelp();
    // The drawing-tool slot a camera view asks for.
    void viewCall(EditPageCall call);

    // --- templates and stored pictures ---
    void SlotTempLast() { page(false); }
    void SlotTempNext() { page(true); }
    void SlotTempDeleteCur();
    void SlotTempDeleteAll();
    void GetTempTIme(int camera, int detection, int slot);
    // The cycle stored a new template in `slot` of camera's `detection` (a re-sampling, the
    // automatic update): when that template is on show, the new one replaces it.
    void templateStored(int camera, int detection, int slot);
    void LoadPic();
    // The stored picture on show, as the camera views paint it.
    RecordPicture recordPicture() const;

    // --- saving ---
    // Compares nothing and asks nothing while the page is closed: its editing copies are given
    // back then and stand for no edit.
    void SlotSaveData();
    // The same, its question asked about the subject of the caller's road: Gone when the
    // subject went while it was open (nothing saved), else Yes (also with nothing to save) or
    // No (declined).
    dialogs::Answer saveData(const dialogs::Subject& about);

    // What the page's boxes are asked about, read now: the opening of the page, what it shows
    // (result state, source, camera) and, during an NG alarm, the alarm's step, the alarm and
    // its latest judgement. A modal box lets the cycle go on (a closed door judges the mould
    // again, a pass lifts the alarm and closes the page, a new alarm opens it again), so every
    // box of a road is asked about the subject read where the road begins.
    dialogs::Subject subject() const;
    // The same, and on the recent NG frames also the frame on show: what "Add As Temp" adds.
    dialogs::Subject shownFrameSubject() const;

    // --- answers to an NG alarm (editpage_alarm.cpp) ---
    void SlotAddTemp();
    // The frame on show of `camera` becomes a template of `detection`.
    // A template whose file cannot be written is not added (the operator is told why).
    void AddTemp(int camera, int detection);
    void SlotNoCheckCur();
    // "Don't Detect" this mould on every camera, without asking.
    void notCheckcur();
    void SlotReCheck();
    void SlotAutoChange();
    void SlotShowHideAlarmPoint();
    void SlotIgnoreAlarmPoint();
    void SlotDeleteIgnorePoint();

    // --- state (read by the views and the alarm handling) ---
    // Counts every opening and closing of the page: what a modal question was asked on.
    int opening() const { return opening_; }
    // The views' editing copies hold the live areas of this opening.
    bool holdsCopies() const { return copiesHeld_; }
    int opPage = 0;
    bool panelLeft = false;
    bool refreshEditCopy = false;
    std::array<bool, kMaxCameras> templatesChanged{};
    QString recordName;
    QImage recordImage;
    int recordCamera = 0;
    int recordDetect = 0;
    int recordCount = 0;
    int recordKind = 0;  // 1 OK pictures, 0 NG pictures
    int recordIndex = 0;

private:
    dialogs::Subject::Reading pageReading() const;
    // Commits the edited copies of the cameras whose copy differs, once the operator agrees.
    dialogs::Answer commitEdits(const dialogs::Subject& about);
    // The roads of SlotReCheck and notCheckcur, begun by another road or by their own.
    void reCheck(const dialogs::Subject& about);
    void skipAll(const dialogs::Subject& about);

    bool singleCamera() const;
    bool editingAreas() const;  // one camera shown and the template source
    CammerWidget* current();
    bool continuous() const;
    void setChoice(PageChoice choice, int index);
    void setText(PageControl control, int entry);
    void setCheckable();
    void refreshEditCopies();
    // Returns every camera's editing copy and edited masks to their state before the first
    // opening, which gives their memory back.
    void releaseEditCopies();
    // The current view shows template `curTemplate` of the edited detection.
    void showTemplate(CammerWidget& v);
    void page(bool forward);
    void deselectCurrent();
    void armTool(int tool, PageControl button, const QString& armedText);
    // False when the disk did not take the camera's areas: nothing of them is put in force.
    bool saveCamera(int c);
    void train(int c);
    // The current view when one camera is shown and it failed; else warns "switch to the
    // alarm camera" and gives null.
    CammerWidget* failedCurrent(const dialogs::Subject& about);
    dialogs::Answer warnEntry(int entry, const dialogs::Subject& about);
    // The slot a new template of the view's detection d takes. Nothing is marked used and no
    // file is removed before the new template is on the disk (claimTemplateSlot).
    TemplateSlot chooseTemplateSlot(CammerWidget& v, int d) const;
    void claimTemplateSlot(CammerWidget& v, int d, const TemplateSlot& slot);
    // Adds the template; the file that could not be written, else empty (also when nothing
    // was to be added).
    QString addTemplate(int camera, int detection);
    // Tells the operator which files could not be written and why; the answer is not done.
    void warnUnwritten(const QStringList& files, const dialogs::Subject& about);
    // Stores mask as the ignore points of detection d of the view, then takes it over and
    // retrains, recording `record`; false (operator told, nothing changed) when the file
    // cannot be written.
    bool storeIgnorePoints(CammerWidget& v, int d, std::vector<uchar> mask, const QString& record,
                           const dialogs::Subject& about);

    EditPageHost& host_;
    PageLook look_;
    bool notePending_ = true;  // the same-parameters note is shown once per run
    int opening_ = 0;          // counts every opening and closing of the page
    bool copiesHeld_ = false;  // the editing copies hold the live areas of this opening
};

}  // namespace cameraview
