#pragma once
// The day document: the JSON form of one production day, kept in the statistics database.
// Writers number records by position; summaries are written last with the identifier -1.
// The shift sums are not written; they are recomputed after every load.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "statisticsrecords.h"

namespace stats {

// detectCount is written as "detectCount" (the detection-step count at the time of writing).
QJsonObject dayToJson(const CountGroupList& day, int detectCount);
QJsonObject groupToJson(const CountGroup& group, int detectCount);
// writtenStages receives the number of stage records written before the summary.
QJsonObject cameraToJson(const CountCamera& camera, int cameraID, int& writtenStages);
QJsonObject detectToJson(const CountDetect& record, int detectID);

void dayFromJson(CountGroupList& day, const QJsonObject& json);
void groupFromJson(CountGroup& group, const QJsonObject& json);
void cameraFromJson(CountCamera& camera, const QJsonObject& json);
void detectFromJson(CountDetect& record, const QJsonObject& json);

// Indented UTF-8 text of a document, as stored.
QByteArray documentText(const QJsonObject& json);
// The object of a stored text (UTF-8); an empty object when the text does not parse.
QJsonObject documentFromText(const QString& text);

}  // namespace stats
