// One fuzz step over the message core's request parser: heads cut from the byte stream, bodies
// that arrive in pieces, and the JSON, multipart and file decoders. Driven by the bounded random
// loop of test_netcore_wire and, in clang builds with MOULDMON_FUZZ=ON, by libFuzzer
// (fuzz_netcore corpus -max_total_time=N). The first input byte chooses how the stream is cut
// into reads, the second how long a multipart boundary the direct decoder gets; the rest is the
// stream. False when an invariant breaks.
#include <QList>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "execobjrecv.h"
#include "headcut.h"

namespace {

constexpr int kFuzzMaxHead = 2048;
constexpr qint64 kFuzzMaxBody = 64 * 1024;

// What one complete message decoded into, for comparing two ways of reading the same stream.
struct Decoded {
    QString method, url, userAgent;
    QByteArray body;
    bool ok = false;
    int values = 0, mats = 0, byteArrays = 0;
    bool operator==(const Decoded& o) const {
        return method == o.method && url == o.url && userAgent == o.userAgent && body == o.body &&
               ok == o.ok && values == o.values && mats == o.mats && byteArrays == o.byteArrays;
    }
};

// Every image of a decoded record is whole: 8-bit, 1, 3 or 4 channels, continuous.
bool imagesWhole(const CTask_FormData& task) {
    for (const cv::Mat& image : task.mats) {
        if (image.empty() || image.depth() != CV_8U || !image.isContinuous()) return false;
        const int c = image.channels();
        if (c != 1 && c != 3 && c != 4) return false;
    }
    return true;
}

// Reads `stream` as a session does, in reads of `step` bytes (0: whole); false when an invariant
// breaks. The messages decoded go to *out.
bool readStream(const QByteArray& stream, int step, QList<Decoded>* out) {
    QByteArray buffer;
    std::unique_ptr<SCI_ExecObj_Recv> current;
    const int piece = step > 0 ? step : qMax(1, stream.size());
    for (int at = 0; at < stream.size(); at += piece) {
        buffer.append(stream.mid(at, piece));
        for (;;) {
            if (!current) {
                QByteArray head;
                const wire::HeadCut cut = wire::cutHead(&buffer, kFuzzMaxHead, &head);
                if (cut == wire::HeadCut::TooLong) return true;  // the connection is closed
                if (cut == wire::HeadCut::NeedMore) break;
                if (cut == wire::HeadCut::Blank) continue;
                if (head.size() > kFuzzMaxHead) return false;
                current = std::make_unique<SCI_ExecObj_Recv>(head, 1);
                if (!current->hasUsableLength() || current->contentLength > kFuzzMaxBody)
                    return true;  // the connection is closed
            }
            const qint64 need = current->getNeedLength();
            const int count = int(qMin<qint64>(qMax<qint64>(need, 0), buffer.size()));
            if (count > 0) {
                current->addBody(buffer.left(count));
                buffer.remove(0, count);
            }
            if (current->getNeedLength() > 0) break;
            if (current->body.size() != current->contentLength) return false;
            Decoded decoded;
            decoded.ok = current->analysisIntegrality();
            const CTask_FormData task = current->getFormData();
            if (!imagesWhole(task)) return false;
            decoded.method = current->method;
            decoded.url = current->url;
            decoded.userAgent = current->userAgent;
            decoded.body = current->body;
            decoded.values = task.values.size();
            decoded.mats = task.mats.size();
            decoded.byteArrays = task.byteArrays.size();
            out->append(decoded);
            current.reset();
        }
    }
    return true;
}

}  // namespace

bool netcoreFuzzOne(const uint8_t* data, size_t size) {
    if (size < 2) return true;
    const int step = data[0] % 32;
    const int boundaryLength = data[1] % 24;
    const QByteArray stream(reinterpret_cast<const char*>(data + 2), int(size - 2));

    QList<Decoded> whole;
    QList<Decoded> pieces;
    if (!readStream(stream, 0, &whole) || !readStream(stream, step, &pieces)) return false;
    // How the stream was cut into reads changes nothing.
    if (whole != pieces) return false;

    // The multipart decoder on its own, with the stream's first bytes as the boundary.
    const QByteArray boundary = stream.left(boundaryLength);
    if (!boundary.isEmpty()) {
        CTask_FormData task;
        SCI_ExecObj_Recv::analysisIntegrality_multipart(boundary, stream.mid(boundaryLength), task);
        if (!imagesWhole(task)) return false;
    }
    return true;
}

#ifdef MOULDMON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!netcoreFuzzOne(data, size)) std::abort();
    return 0;
}
#endif
