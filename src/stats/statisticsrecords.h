#pragma once
// The counters of one production day: per parameter group, camera, detection stage and hour.
// Plain value records; the lists inside are implicitly shared.

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVector>

#include "statisticsconstants.h"

// A pair of totals.
struct sCount {
    int NG = 0;
    int OK = 0;
};

// The counts of one detection stage (or, with detectID -1, a camera's whole-cycle summary).
struct CountDetect {
    int detectID = -1;
    QList<int> OK;  // per hour slot
    QList<int> NG;  // per hour slot
    // Derived by the sum computation, never stored.
    sCount morning;
    sCount night;
    sCount all;
};

// One camera: its stage records (index = stage) and its whole-cycle summary.
struct CountCamera {
    int cameraID = -1;
    CountDetect summary;
    QList<CountDetect> detects;
};

// One parameter group: its cameras (index = camera) and the group record over all cameras.
struct CountGroup {
    int morningStart = stats::kDefaultMorningStart;
    int nightStart = stats::kDefaultNightStart;
    QString groupName = QString::fromLatin1(stats::kMissingGroupName);
    CountCamera summary;
    QList<CountCamera> cameras;
};

// One production day.
struct CountGroupList {
    QString date;  // "yyyy-MM-dd" of the day start
    QVector<CountGroup> groups;
};

enum ShiftType { SHIFT_MORNING = 0, SHIFT_NIGHT = 1, SHIFT_ALLDAY = 2 };

Q_DECLARE_METATYPE(CountGroup)

namespace stats {

// --- record builders ---
CountDetect newDetect();                 // detectID -1, 24 zero slots each, sums 0
CountCamera newCamera(int detectCount);  // cameraID -1, detectCount fresh stage records
// Replaces cameras and summary and sets the name; the shift hours stay as they are.
void fillGroup(CountGroup& group, const QString& name, int cameraCount, int detectCount);
// A day with one group of the given name.
CountGroupList newDay(const QString& date, const QString& groupName, int cameraCount,
                      int detectCount);

// --- sums ---
// Slots 0 .. n-1 of a day belong to the morning shift.
int morningSlotCount(int morningsStart, int morningsEnd);
void computeSums(CountDetect& record, int morningSlots);
void computeSums(CountCamera& camera, int morningSlots);
void computeSums(CountGroup& group, int morningSlots);
void computeSums(CountGroupList& day, int morningSlots);

// --- growth and repair ---
// Appends fresh stage records until the camera (or every camera and the group record) holds n.
void growStages(CountCamera& camera, int n);
void growStages(CountGroup& group, int n);
// Makes a loaded day safe to count into: every slot list at least 24 long (summaries too).
void padSlots(CountGroupList& day);

// Adds the counts of another record of the same day, slot by slot: groups by name, cameras and
// stages by position; what only `from` holds is taken over. The shift starts of `into` stay.
void addDay(CountGroupList& into, const CountGroupList& from);

// Counts one result into the slot of a record; false when the slot is not in the list.
bool countResult(CountDetect& record, int slot, bool ok);

// Keeps a count read from the program's globals inside what a record can hold.
int boundedCameraCount(int cameras);
int boundedStageCount(int stages);

}  // namespace stats
