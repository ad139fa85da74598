// The message record and the wire format: what the writers put on a socket, and what the
// reader makes of it, for every body kind; head parsing; hostile image descriptors.
#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>

#include "execobjrecv.h"
#include "execobjsend.h"
#include "netcoretestutil.h"
#include "pacedtransfer.h"
#include "testsupport.h"
#include "wireformat.h"

bool netcoreFuzzOne(const uint8_t* data, size_t size);

namespace {

// What a record looks like on the wire (written on a real loopback socket). A marker written
// once the writer is done ends it: anything the writer put on the socket, a second message
// too, arrives before the marker.
QByteArray writtenBytes(const CTask_FormData& task) {
    QTcpServer server;
    nettest::RawClient reader;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0) &&
                reader.connectTo(server.serverPort()) &&
                testsupport::waitFor([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> writer(server.nextPendingConnection());
    if (!writer) return {};
    if (PacedTransfer* transfer = SCI_ExecObj_Send(task).SerializeWrite(writer.get())) {
        QSignalSpy done(transfer, &PacedTransfer::finished);
        EXPECT_TRUE(testsupport::waitFor([&] { return !done.isEmpty(); }));
    }
    const QByteArray marker = "<end of the test's bytes>";
    writer->write(marker);
    QByteArray received;
    EXPECT_TRUE(testsupport::waitFor([&] {
        received += reader.socket.readAll();
        return received.endsWith(marker);
    }));
    return received.left(received.indexOf(marker));
}

// The reader's view of one complete message, already decoded.
std::unique_ptr<SCI_ExecObj_Recv> decoded(const QByteArray& bytes) {
    const int end = bytes.indexOf("\r\n\r\n");
    EXPECT_GE(end, 0) << "no complete head";
    auto message = std::make_unique<SCI_ExecObj_Recv>(end < 0 ? bytes : bytes.left(end), 7);
    message->setDuplex_Info(QHostAddress(QStringLiteral("::ffff:10.1.2.3")), 4321);
    if (end >= 0) message->addBody(bytes.mid(end + 4));
    EXPECT_TRUE(message->analysisIntegrality()) << bytes.left(end).constData();
    return message;
}

QByteArray part(const QByteArray& name, const QByteArray& type, const QByteArray& content) {
    return QByteArray(wire::kBoundary) + "\r\nContent-Disposition: form-data; name=\"" + name +
           "\"\r\nContent-Type: " + type + "\r\n\r\n" + content + "\r\n";
}

QByteArray descriptor(int channels, qint64 width, qint64 height, const QByteArray& key = "img") {
    return "{\"channels\":" + QByteArray::number(channels) +
           ",\"data_type\":\"data_type\",\"datakey\":\"" + key +
           "\",\"size_height\":" + QByteArray::number(height) +
           ",\"size_width\":" + QByteArray::number(width) + "}";
}

CTask_FormData decodeMultipart(const QByteArray& parts) {
    CTask_FormData task;
    SCI_ExecObj_Recv::analysisIntegrality_multipart(
        wire::kBoundary, parts + QByteArray(wire::kBoundary) + "\r\n", task);
    return task;
}

cv::Mat patterned(int rows, int cols, int type) {
    cv::Mat image(rows, cols, type);
    for (size_t i = 0; i < image.total() * image.elemSize(); ++i) image.data[i] = uchar(i * 7 + 1);
    return image;
}

bool samePixels(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() &&
           cv::countNonZero(cv::Mat(a != b).reshape(1)) == 0;
}

}  // namespace

TEST(MessageRecord, PackageTypeAndJsonObjectRules) {
    // Pictures together with raw bytes, or values that do not start with an object, have no
    // body the writers could make: nothing is written.
    CTask_FormData record;
    record.mats.insert("a", cv::Mat::zeros(2, 2, CV_8UC1));
    record.byteArrays.insert("", "x");
    EXPECT_EQ(record.getTaskPkgType(), kPkgNothing);
    record = CTask_FormData();
    record.values.insert("a", "text");
    record.values.insert("body", QVariant::fromValue(QJsonObject{{"from", "body"}}));
    EXPECT_EQ(record.getTaskPkgType(), kPkgNothing);

    // The last object in key order wins: a reply's "result" over the request's "body".
    record.values.insert("result", QVariant::fromValue(QJsonObject{{"from", "result"}}));
    EXPECT_EQ(record.extract_jsonobject().value("from").toString(), "result");

    record.url = "/keep";
    record.set_jsonobject(QJsonObject{{"v", 2}}, QString(), QString(), 5);
    EXPECT_EQ(record.sessionId, -1);  // addressed to all sessions, stays so
    EXPECT_EQ(record.url, "/keep");
    EXPECT_EQ(record.values.keys(), QStringList{"result"});
    record.sessionId = 3;
    record.set_jsonobject(QJsonObject(), QString(), QString(), 5);
    EXPECT_EQ(record.sessionId, 5);
}

TEST(MessageWire, JsonRepliesAndRequestsAreByteExactWithSafeHeaders) {
    // The 404 reply counts its Content-Length in UTF-8 bytes, not characters.
    CTask_FormData reply;
    reply.uuid = "task-9";
    reply.handled = 0;
    reply.values.insert("result", QVariant::fromValue(QJsonObject{{"a", 1}}));
    QByteArray bytes = writtenBytes(reply);
    const QByteArray body = QByteArray("{\"code\":404,\"msg\":\"") + wire::kNotHandledMessage +
                            "\",\"result\":{\"a\":1}}";
    EXPECT_EQ(bytes,
              "HTTP/1.1 200 OK\r\nUser-Agent: task-9\r\nContent-Type: application/json\r\n"
              "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_GT(body.size(), QString::fromUtf8(body).size());
    auto message = decoded(bytes);
    EXPECT_TRUE(message->isResponse);
    CTask_FormData back = message->getFormData();
    EXPECT_TRUE(back.url.isEmpty());
    EXPECT_EQ(back.uuid, "task-9");
    EXPECT_EQ(back.peerAddress, "10.1.2.3");
    EXPECT_EQ(back.peerPort, 4321);
    EXPECT_EQ(back.extract_jsonobject().value("code").toInt(), 404);

    CTask_FormData request;
    request.url = "/x";
    request.uuid = "u1";
    EXPECT_EQ(writtenBytes(request),
              "POST /x HTTP/1.1\r\nUser-Agent: u1\r\nContent-Type: application/json\r\n"
              "Content-Length: 2\r\n\r\n{}");
    // CR, LF and NUL are taken out of header values, so no value can start a line of its own.
    request.uuid = QStringLiteral("u\r\nX-Evil: 1\n") + QChar(0) + "2";
    request.deviceId = "pan\rel-3";
    request.values.insert("body", QVariant::fromValue(QJsonObject{{"z", 1}, {"a", "b"}}));
    bytes = writtenBytes(request);
    EXPECT_EQ(bytes,
              "POST /x HTTP/1.1\r\nUser-Agent: uX-Evil: 12\r\nContent-Type: application/json\r\n"
              "Content-Length: 15\r\nDevice-ID: panel-3\r\n\r\n{\"a\":\"b\",\"z\":1}");
    back = decoded(bytes)->getFormData();
    EXPECT_EQ(back.url, "/x");
    EXPECT_EQ(back.values.value("body").toJsonObject().value("a").toString(), "b");
}

TEST(MessageWire, MultipartPicturesAndValuesRoundTrip) {
    // Grey, colour and 4-channel pictures, one whose rows are not back to back in memory, and
    // a JSON value, in a reply.
    CTask_FormData task;
    const cv::Mat grey = patterned(3, 2, CV_8UC1);
    const cv::Mat colour = patterned(5, 7, CV_8UC3);
    const cv::Mat rgba = patterned(4, 3, CV_8UC4);
    const cv::Mat window = patterned(10, 10, CV_8UC1)(cv::Rect(2, 3, 4, 5));
    task.mats.insert("img", grey);
    task.mats.insert("colour", colour);
    task.mats.insert("rgba", rgba);
    task.mats.insert("window", window);
    task.values.insert("meta", QVariant::fromValue(QJsonObject{{"shot", 3}}));
    const QByteArray bytes = writtenBytes(task);
    EXPECT_TRUE(bytes.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(
        bytes.contains("Content-Type: multipart/form-data;boundary=------------------------"
                       "tcpservreactor\r\n"));
    EXPECT_TRUE(bytes.contains(part("img-info", "application/json",
                                    "{\"channels\":1,\"data_type\":\"data_type\",\"datakey\":"
                                    "\"img\",\"size_height\":3,\"size_width\":2}")));
    EXPECT_TRUE(bytes.endsWith(QByteArray(wire::kBoundary) + "\r\n"));
    const CTask_FormData back = decoded(bytes)->getFormData();
    EXPECT_EQ(back.values.keys(), QStringList{"meta"});
    EXPECT_EQ(back.values.value("meta").toJsonObject().value("shot").toInt(), 3);
    EXPECT_EQ(back.mats.size(), 4);
    EXPECT_TRUE(samePixels(back.mats.value("img-info"), grey));
    EXPECT_TRUE(samePixels(back.mats.value("colour-info"), colour));
    EXPECT_TRUE(samePixels(back.mats.value("rgba-info"), rgba));
    EXPECT_TRUE(samePixels(back.mats.value("window-info"), window.clone()));
}

TEST(MessageWire, RawBytesAndFilesRoundTrip) {
    CTask_FormData bytesReply;
    const QByteArray binary("\x00\x01binary\r\n\r\n", 12);
    bytesReply.byteArrays.insert("", binary);
    EXPECT_EQ(decoded(writtenBytes(bytesReply))->getFormData().byteArrays.value(""), binary);

    // A file several chunks long is streamed; the reader gets it whole.
    testsupport::WorkDir dir;
    QByteArray content;
    for (int i = 0; i < 300000; ++i) content.append(char(i % 251));
    QFile file(dir.file("picture.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    CTask_FormData fileRequest;
    fileRequest.url = "/upload";
    fileRequest.byteArrays.insert(dir.file("picture.bin"), QByteArray());
    const QByteArray bytes = writtenBytes(fileRequest);
    EXPECT_TRUE(bytes.startsWith("POST /upload HTTP/1.1\r\n"));
    EXPECT_EQ(decoded(bytes)->getFormData().byteArrays.value(""), content);

    // A missing file: a reply says so with code 1, a request writes nothing.
    CTask_FormData missing;
    missing.byteArrays.insert(dir.file("absent.jpg"), QByteArray());
    const QJsonObject reply = decoded(writtenBytes(missing))->getFormData().extract_jsonobject();
    EXPECT_EQ(reply.value("code").toInt(), 1);
    EXPECT_EQ(reply.value("msg").toString(), QString::fromUtf8(wire::kFileMissingMessage));
    missing.url = "/x";
    EXPECT_EQ(writtenBytes(missing), QByteArray());
}

TEST(MessageHead, ParsingFollowsTheProtocol) {
    SCI_ExecObj_Recv request(
        "POST /a HTTP/1.1\r\nUser-Agent: my id\r\nContent-Type: application/json\r\n"
        "Content-Length: 2",
        3);
    request.addBody("{}");
    ASSERT_TRUE(request.analysisIntegrality());
    EXPECT_EQ(request.getFormData().uuid, "myid");  // blanks are not part of a task id
    EXPECT_TRUE(SCI_ExecObj_Recv("HTTP/1.1 404 Not Found\r\nContent-Type: x", 1).isResponse);
    // No url, a header name in other case, a multipart type without boundary.
    for (const QByteArray& head :
         {QByteArray("POST HTTP/1.1\r\nContent-Type: application/json"),
          QByteArray("POST /a HTTP/1.1\r\ncontent-type: application/json"),
          QByteArray("POST /a HTTP/1.1\r\nContent-Type: multipart/form-data")})
        EXPECT_FALSE(SCI_ExecObj_Recv(head, 1).analysisIntegrality()) << head.constData();

    // Content-Length: blanks allowed, a word counts 0, negative or beyond 64 bits is unusable.
    const auto length = [](const char* value) {
        return SCI_ExecObj_Recv(QByteArray("POST /a HTTP/1.1\r\nContent-Length:") + value, 1)
            .contentLength;
    };
    EXPECT_EQ(length("  12 "), 12);
    EXPECT_EQ(length(" twelve"), 0);
    EXPECT_EQ(length(" -5"), -1);
    EXPECT_EQ(length(" 99999999999999999999"), -1);
}

TEST(MultipartDescriptor, HostileDescriptorsGiveNoImage) {
    // 3 x 4 x 2 needs 24 bytes: 23 is refused. 2 channels (the size alone would pass), sizes
    // whose 32-bit product wraps to the size of the part, negative sizes, zero or five
    // channels, a data key with no pixel part.
    const struct {
        QByteArray descriptor;
        QByteArray pixels;
    } hostile[] = {
        {descriptor(3, 4, 2), QByteArray(23, 'p')},
        {descriptor(2, 4, 2), QByteArray(16, 'p')},
        {descriptor(1, 65536, 65536), QByteArray()},
        {descriptor(1, 65536, 65537), QByteArray(65536, 'p')},
        {descriptor(1, -4, -2), QByteArray(8, 'p')},
        {descriptor(0, 4, 2), QByteArray(8, 'p')},
        {descriptor(5, 1, 1), QByteArray(5, 'p')},
        {descriptor(1, 2, 2, "elsewhere"), QByteArray(4, 'p')},
        // Pixels that contain the delimiter are cut there.
        {descriptor(1, int(strlen(wire::kBoundary)) + 4, 1),
         "ab" + QByteArray(wire::kBoundary) + "cd"},
    };
    for (const auto& c : hostile) {
        const CTask_FormData task =
            decodeMultipart(part("img-info", "application/json", c.descriptor) +
                            part("img", "application/octet-stream", c.pixels));
        EXPECT_TRUE(task.mats.isEmpty()) << c.descriptor.constData();
        EXPECT_TRUE(task.values.isEmpty());
    }

    // A JSON part without "data_type" and a text part are values; a later filename= wins.
    const CTask_FormData task =
        decodeMultipart(part("plain", "application/json", "{\"v\":1}") +
                        part("note", "text/plain", "hello") + QByteArray(wire::kBoundary) +
                        "\r\nContent-Disposition: form-data; name=\"x\"; filename=\"f.txt\"\r\n"
                        "Content-Type: text/plain\r\n\r\nfile text\r\n");
    EXPECT_EQ(task.values.value("plain").toJsonObject().value("v").toInt(), 1);
    EXPECT_EQ(task.values.value("note").toString(), "hello");
    EXPECT_EQ(task.values.value("f.txt").toString(), "file text");
}

// Streams of messages mutated at random and cut into reads in every way the first byte can
// choose: heads, bodies in pieces, JSON, multipart pictures and files.
TEST(MessageFuzz, MutatedStreamsBreakNoInvariant) {
    const QByteArray json =
        "POST /a HTTP/1.1\r\nUser-Agent: t-1\r\nContent-Type: "
        "application/json\r\nContent-Length: 7\r\n\r\n{\"v\":1}";
    const QByteArray form = part("img-info", "application/json", descriptor(1, 2, 2)) +
                            part("img", "application/octet-stream", "pppp") +
                            part("note", "text/plain", "hi") + QByteArray(wire::kBoundary) + "\r\n";
    const QByteArray multipart =
        "\r\n\r\nPOST /m HTTP/1.1\r\nContent-Type: " + wire::multipartContentType() +
        "\r\nContent-Length: " + QByteArray::number(form.size()) + "\r\n\r\n" + form;
    const QByteArray file =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
        "Content-Length: 3\r\n\r\nabcGET /g HTTP/1.1\r\n\r\n";
    const QByteArray seeds[] = {json + json, multipart, file};
    QRandomGenerator random(20261207);
    for (int round = 0; round < 3000; ++round) {
        QByteArray input =
            QByteArray(1, char(round % 32)) + char(random.bounded(24)) + seeds[round % 3];
        for (int edits = random.bounded(0, 6); edits > 0; --edits) {
            const int at = random.bounded(2, input.size() + 1);
            if (random.bounded(3))
                input.insert(at, char(random.bounded(256)));
            else
                input.remove(at, random.bounded(1, 4));
        }
        ASSERT_TRUE(netcoreFuzzOne(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
            << input.toHex().constData();
    }
}
