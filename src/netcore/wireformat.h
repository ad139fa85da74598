#pragma once
// The bytes of the message protocol: heads, JSON bodies and the multipart form. Pure functions,
// shared by the writer and by tools that talk to the core.

#include <QByteArray>
#include <QList>
#include <QString>

#include "taskformdata.h"

namespace wire {

// Delimiter of the multipart form: written without a leading "--", the last one without "--".
extern const char* const kBoundary;
extern const char* const kStatusLine;
extern const char* const kJsonType;
extern const char* const kOctetType;
extern const char* const kNotHandledMessage;   // "code" 404
extern const char* const kFileMissingMessage;  // "code" 1

// A header value as it may be written: CR, LF and NUL removed, so a value taken from a peer
// can never start a header line of its own.
QString headerSafe(const QString& value);

// "%1 %2 HTTP/1.1" with the method and url.
QByteArray requestLine(const CTask_FormData& task);
// The request line for a request (url non-empty), the status line for a reply.
QByteArray firstLine(const CTask_FormData& task);
// The head: first line, "User-Agent", "Content-Type", "Content-Length", the "Device-ID" line when
// a device id is set, and the empty line.
QByteArray head(const QByteArray& firstLine, const CTask_FormData& task,
                const QByteArray& contentType, qint64 contentLength);

// Body of a JSON request: the object of the first value, or {}.
QByteArray requestJsonBody(const CTask_FormData& task);
// Body of a JSON reply: {"code":..,"msg":..,"result":..}; "result" only when there are values.
QByteArray replyJsonBody(const CTask_FormData& task, int code, const QString& message);

// Content type of the multipart form.
QByteArray multipartContentType();
// The multipart body as the list of pieces written one after another: the JSON parts, then for
// each image its descriptor part and its pixel part, then the final delimiter. Images that are
// not 8-bit are left out; images whose rows are not back to back are sent as a packed copy.
QList<QByteArray> multipartBody(const CTask_FormData& task);

}  // namespace wire
