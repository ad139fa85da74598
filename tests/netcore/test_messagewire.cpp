// The message record and the wire format: what the writers put on a socket, and what the
// reader makes of it, for every body kind; head parsing; hostile image descriptors.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "execobjrecv.h"
#include "execobjsend.h"
#include "netcoretestutil.h"
#include "testsupport.h"
#include "wireformat.h"

using nettest::RawMessage;

namespace {

// What a record looks like on the wire (written on a real loopback socket).
QByteArray writtenBytes(const CTask_FormData& task, int quietMs = 150) {
    nettest::SocketPair pair;
    EXPECT_TRUE(pair.ok());
    if (!pair.ok()) return {};
    SCI_ExecObj_Send message(task);
    message.SerializeWrite(pair.writer);
    EXPECT_EQ(message.socket, nullptr);
    QByteArray received;
    QByteArray scratch;
    testsupport::waitFor(
        [&] {
            received += pair.reader->readAll();
            scratch = received;
            return !nettest::takeMessages(scratch).isEmpty();
        },
        5000);
    // Anything written after the first message would be a fault too.
    testsupport::waitFor([] { return false; }, quietMs);
    received += pair.reader->readAll();
    return received;
}

// The reader's view of one complete message.
std::unique_ptr<SCI_ExecObj_Recv> decoded(const QByteArray& bytes) {
    const int end = bytes.indexOf("\r\n\r\n");
    if (end < 0) return nullptr;
    auto message = std::make_unique<SCI_ExecObj_Recv>(bytes.left(end), 7);
    message->setDuplex_Info(QHostAddress(QStringLiteral("::ffff:10.1.2.3")), 4321);
    message->addBody(bytes.mid(end + 4));
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

TEST(MessageRecord, DefaultsPackageTypesAndJsonObject) {
    CTask_FormData record;
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.sessionId, -1);
    EXPECT_EQ(record.handled, 1);
    EXPECT_EQ(record.taskInfo.create_timing, -1);
    EXPECT_EQ(record.getTaskPkgType(), kPkgJson);

    CTask_FormData both;
    both.mats.insert("a", cv::Mat::zeros(2, 2, CV_8UC1));
    both.byteArrays.insert("", "x");
    EXPECT_EQ(both.getTaskPkgType(), kPkgNothing);
    both.byteArrays.clear();
    EXPECT_EQ(both.getTaskPkgType(), kPkgMultipart);
    CTask_FormData raw;
    raw.byteArrays.insert("", "x");
    raw.values.insert("a", "text");
    EXPECT_EQ(raw.getTaskPkgType(), kPkgRaw);

    CTask_FormData mixed;
    mixed.values.insert("a", "text");
    mixed.values.insert("b", QVariant::fromValue(QJsonObject{{"k", 1}}));
    EXPECT_EQ(mixed.getTaskPkgType(), kPkgNothing);
    EXPECT_EQ(mixed.extract_jsonobject().value("k").toInt(), 1);
    CTask_FormData bodyAndResult;
    bodyAndResult.values.insert("body", QVariant::fromValue(QJsonObject{{"from", "body"}}));
    bodyAndResult.values.insert("result", QVariant::fromValue(QJsonObject{{"from", "result"}}));
    EXPECT_EQ(bodyAndResult.extract_jsonobject().value("from").toString(), "result");

    CTask_FormData carrier;
    carrier.url = "/keep";
    carrier.uuid = "id";
    carrier.values.insert("x", 1);
    carrier.set_jsonobject(QJsonObject{{"v", 2}}, QString(), QString(), 5);
    EXPECT_EQ(carrier.sessionId, -1);  // addressed to all sessions, stays so
    EXPECT_EQ(carrier.url, "/keep");
    EXPECT_EQ(carrier.uuid, "id");
    EXPECT_EQ(carrier.values.keys(), QStringList{"result"});
    carrier.sessionId = 3;
    carrier.set_jsonobject(QJsonObject(), QString(), QString(), 5);
    EXPECT_EQ(carrier.sessionId, 5);
}

TEST(MessageRecord, TimingSlotsAndReport) {
    TcpTsk_Info info;
    info.tskup_chg_recvpacklength({});
    info.tskup_chg_recvpacklength({QVariant(QStringLiteral("12"))});
    EXPECT_EQ(info.recvpacklength, -1);
    info.tskup_chg_recvpacklength({QVariant(12)});
    EXPECT_EQ(info.recvpacklength, 12);
    info.tskup_recv_times();
    EXPECT_EQ(info.recv_times, 0);
    info.tskup_firstrecv_timing();
    info.tskup_recv_times();
    EXPECT_EQ(info.recv_times, 2);

    const QMap<QString, QVariant> blank = TcpTsk_Info().getReportParam();
    ASSERT_EQ(blank.size(), 8);
    EXPECT_EQ(blank.value("_tsk_recvpacklength").userType(), QMetaType::Int);
    EXPECT_EQ(blank.value("_tsk_recv_times").userType(), QMetaType::LongLong);
    EXPECT_EQ(blank.value("_tsk_create_timing").toLongLong(), -1);
    EXPECT_TRUE(blank.value("_tsk_uuid").toString().isEmpty());

    TcpTsk_Info copy(info);
    EXPECT_EQ(copy.recvpacklength, 12);
    EXPECT_EQ(copy.recv_times, 2);
    EXPECT_EQ(copy.parent(), nullptr);
}

TEST(MessageWire, NotHandledReplyIsWrittenAsTheSpecifiedJsonWithUtf8Length) {
    CTask_FormData reply;
    reply.uuid = "task-9";
    reply.handled = 0;
    reply.values.insert("result", QVariant::fromValue(QJsonObject{{"a", 1}}));
    const QByteArray bytes = writtenBytes(reply);
    const QByteArray body = QByteArray("{\"code\":404,\"msg\":\"") + wire::kNotHandledMessage +
                            "\",\"result\":{\"a\":1}}";
    EXPECT_EQ(bytes,
              "HTTP/1.1 200 OK\r\nUser-Agent: task-9\r\nContent-Type: application/json\r\n"
              "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_GT(body.size(), QString::fromUtf8(body).size());  // bytes, not characters

    auto message = decoded(bytes);
    ASSERT_TRUE(message);
    EXPECT_TRUE(message->isResponse);
    ASSERT_TRUE(message->analysisIntegrality());
    const CTask_FormData back = message->getFormData();
    EXPECT_TRUE(back.url.isEmpty());
    EXPECT_EQ(back.uuid, "task-9");
    EXPECT_EQ(back.peerAddress, "10.1.2.3");
    EXPECT_EQ(back.peerPort, 4321);
    EXPECT_EQ(back.sessionId, 7);
    EXPECT_EQ(back.extract_jsonobject().value("code").toInt(), 404);
}

TEST(MessageWire, JsonRequestHeadAndDeviceId) {
    CTask_FormData request;
    request.url = "/x";
    request.uuid = "u1";
    EXPECT_EQ(writtenBytes(request),
              "POST /x HTTP/1.1\r\nUser-Agent: u1\r\nContent-Type: application/json\r\n"
              "Content-Length: 2\r\n\r\n{}");

    request.deviceId = "panel-3";
    request.values.insert("body", QVariant::fromValue(QJsonObject{{"z", 1}, {"a", "b"}}));
    const QByteArray bytes = writtenBytes(request);
    EXPECT_TRUE(bytes.contains("\r\nDevice-ID: panel-3\r\n\r\n{\"a\":\"b\",\"z\":1}"));
    auto message = decoded(bytes);
    ASSERT_TRUE(message && message->analysisIntegrality());
    const CTask_FormData back = message->getFormData();
    EXPECT_EQ(back.url, "/x");
    EXPECT_TRUE(back.deviceId.isEmpty());  // never read from a head
    EXPECT_EQ(back.values.value("body").toJsonObject().value("a").toString(), "b");
}

TEST(MessageWire, HeaderValuesCannotSplitTheHead) {
    CTask_FormData reply;
    reply.uuid = QStringLiteral("id\r\nX-Evil: 1\nY") + QChar(0) + "z";
    reply.deviceId = "dev\rice";
    const QByteArray bytes = writtenBytes(reply);
    const RawMessage message = nettest::takeMessages(*std::make_unique<QByteArray>(bytes)).value(0);
    EXPECT_EQ(message.header("User-Agent"), "idX-Evil: 1Yz");
    EXPECT_EQ(message.header("X-Evil"), "");
    EXPECT_EQ(message.header("Device-ID"), "device");
    EXPECT_FALSE(bytes.contains('\0'));
}

TEST(MessageWire, MultipartPicturesAndValuesRoundTrip) {
    CTask_FormData single;
    single.uuid = "pic";
    const cv::Mat grey = patterned(3, 2, CV_8UC1);
    single.mats.insert("img", grey);
    const QByteArray bytes = writtenBytes(single);
    EXPECT_TRUE(bytes.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(
        bytes.contains("Content-Type: multipart/form-data;boundary=------------------------"
                       "tcpservreactor\r\n"));
    EXPECT_TRUE(bytes.contains(part("img-info", "application/json",
                                    "{\"channels\":1,\"data_type\":\"data_type\",\"datakey\":"
                                    "\"img\",\"size_height\":3,\"size_width\":2}")));
    EXPECT_TRUE(bytes.endsWith(QByteArray(wire::kBoundary) + "\r\n"));
    auto message = decoded(bytes);
    ASSERT_TRUE(message && message->analysisIntegrality());
    CTask_FormData back = message->getFormData();
    EXPECT_TRUE(back.values.isEmpty());
    ASSERT_EQ(back.mats.keys(), QStringList{"img-info"});
    EXPECT_TRUE(samePixels(back.mats.value("img-info"), grey));

    // A request with a colour picture, a 4-channel picture, a JSON value, and a picture whose
    // rows are not back to back in memory.
    CTask_FormData request;
    request.url = "/pictures";
    const cv::Mat colour = patterned(5, 7, CV_8UC3);
    const cv::Mat rgba = patterned(4, 3, CV_8UC4);
    const cv::Mat big = patterned(10, 10, CV_8UC1);
    const cv::Mat window = big(cv::Rect(2, 3, 4, 5));
    request.mats.insert("colour", colour);
    request.mats.insert("rgba", rgba);
    request.mats.insert("window", window);
    request.values.insert("meta", QVariant::fromValue(QJsonObject{{"shot", 3}}));
    message = decoded(writtenBytes(request));
    ASSERT_TRUE(message && message->analysisIntegrality());
    back = message->getFormData();
    EXPECT_EQ(back.url, "/pictures");
    EXPECT_EQ(back.values.value("meta").toJsonObject().value("shot").toInt(), 3);
    EXPECT_TRUE(samePixels(back.mats.value("colour-info"), colour));
    EXPECT_TRUE(samePixels(back.mats.value("rgba-info"), rgba));
    EXPECT_TRUE(samePixels(back.mats.value("window-info"), window.clone()));
}

TEST(MessageWire, RawBytesAndFilesRoundTrip) {
    CTask_FormData bytesReply;
    bytesReply.byteArrays.insert("", QByteArray("\x00\x01binary\r\n\r\n", 12));
    auto message = decoded(writtenBytes(bytesReply));
    ASSERT_TRUE(message && message->analysisIntegrality());
    EXPECT_EQ(message->getFormData().byteArrays.value(""),
              QByteArray("\x00\x01binary\r\n\r\n", 12));

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
    message = decoded(bytes);
    ASSERT_TRUE(message && message->analysisIntegrality());
    EXPECT_EQ(message->getFormData().byteArrays.value(""), content);

    // A missing file: a reply says so with code 1, a request writes nothing.
    CTask_FormData missing;
    missing.byteArrays.insert(dir.file("absent.jpg"), QByteArray());
    message = decoded(writtenBytes(missing));
    ASSERT_TRUE(message && message->analysisIntegrality());
    const QJsonObject reply = message->getFormData().extract_jsonobject();
    EXPECT_EQ(reply.value("code").toInt(), 1);
    EXPECT_EQ(reply.value("msg").toString(), QString::fromUtf8(wire::kFileMissingMessage));
    missing.url = "/x";
    nettest::SocketPair pair;
    ASSERT_TRUE(pair.ok());
    SCI_ExecObj_Send(missing).SerializeWrite(pair.writer);
    testsupport::waitFor([] { return false; }, 100);
    EXPECT_EQ(pair.reader->bytesAvailable(), 0);
}

TEST(MessageHead, ParsingFollowsTheProtocol) {
    SCI_ExecObj_Recv request(
        "POST /a HTTP/1.1\r\nUser-Agent: my id\r\nContent-Type: "
        "application/json\r\nContent-Length: 7",
        3);
    EXPECT_EQ(request.getNeedLength(), 7);
    request.addBody("{\"k\":1");
    EXPECT_FALSE(request.analysisIntegrality());
    request.addBody("}");
    ASSERT_TRUE(request.analysisIntegrality());
    CTask_FormData record = request.getFormData();
    EXPECT_EQ(record.url, "/a");
    EXPECT_EQ(record.uuid, "myid");
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.values.value("body").toJsonObject().value("k").toInt(), 1);

    SCI_ExecObj_Recv get("GET /status HTTP/1.1\r\nHost: x", 1);
    EXPECT_EQ(get.getNeedLength(), 0);
    EXPECT_TRUE(get.analysisIntegrality());
    EXPECT_TRUE(get.getFormData().values.isEmpty());

    SCI_ExecObj_Recv notFound("HTTP/1.1 404 Not Found\r\nContent-Type: application/json", 1);
    EXPECT_TRUE(notFound.isResponse);

    for (const QByteArray& head :
         {QByteArray("DELETE /a HTTP/1.1\r\nContent-Type: application/json"),
          QByteArray("POST HTTP/1.1\r\nContent-Type: application/json"),
          QByteArray("POST /a HTTP/1.1\r\ncontent-type: application/json"),
          QByteArray("POST /a HTTP/1.1\r\nContent-Type: text/plain"),
          QByteArray("POST /a HTTP/1.1\r\nContent-Type: multipart/form-data")}) {
        SCI_ExecObj_Recv rejected(head, 1);
        EXPECT_FALSE(rejected.analysisIntegrality()) << head.constData();
    }
    SCI_ExecObj_Recv broken(
        "POST /a HTTP/1.1\r\nContent-Type: application/json\r\n"
        "Content-Length: 3",
        1);
    broken.addBody("{x}");
    EXPECT_FALSE(broken.analysisIntegrality());
}

TEST(MessageHead, ContentLengthValues) {
    EXPECT_EQ(SCI_ExecObj_Recv("POST /a HTTP/1.1\r\nContent-Length:  12 ", 1).contentLength, 12);
    EXPECT_EQ(SCI_ExecObj_Recv("POST /a HTTP/1.1\r\nContent-Length: twelve", 1).contentLength, 0);
    EXPECT_FALSE(SCI_ExecObj_Recv("POST /a HTTP/1.1\r\nContent-Length: -5", 1).hasUsableLength());
    EXPECT_FALSE(SCI_ExecObj_Recv("POST /a HTTP/1.1\r\nContent-Length: 99999999999999999999", 1)
                     .hasUsableLength());
}

TEST(MultipartDescriptor, OnlyExactDescriptorsGiveImages) {
    // 3 channels, 4 x 2, 24 bytes: an image; 23 bytes: nothing.
    CTask_FormData task =
        decodeMultipart(part("img-info", "application/json", descriptor(3, 4, 2)) +
                        part("img", "application/octet-stream", QByteArray(24, 'p')));
    ASSERT_TRUE(task.mats.contains("img-info"));
    EXPECT_EQ(task.mats.value("img-info").rows, 2);
    EXPECT_EQ(task.mats.value("img-info").cols, 4);
    EXPECT_EQ(task.mats.value("img-info").channels(), 3);
    task = decodeMultipart(part("img-info", "application/json", descriptor(3, 4, 2)) +
                           part("img", "application/octet-stream", QByteArray(23, 'p')));
    EXPECT_TRUE(task.mats.isEmpty());

    // Hostile descriptors: 2 channels (the size test alone would pass), sizes whose 32-bit
    // product wraps to the size of the part, negative sizes, zero channels, no pixel part.
    const struct {
        QByteArray descriptor;
        QByteArray pixels;
    } hostile[] = {
        {descriptor(2, 4, 2), QByteArray(16, 'p')},
        {descriptor(1, 65536, 65536), QByteArray()},
        {descriptor(1, 65536, 65537), QByteArray(65536, 'p')},
        {descriptor(1, -4, -2), QByteArray(8, 'p')},
        {descriptor(0, 4, 2), QByteArray(8, 'p')},
        {descriptor(5, 1, 1), QByteArray(5, 'p')},
        {descriptor(1, 2, 2, "elsewhere"), QByteArray(4, 'p')},
    };
    for (const auto& c : hostile) {
        task = decodeMultipart(part("img-info", "application/json", c.descriptor) +
                               part("img", "application/octet-stream", c.pixels));
        EXPECT_TRUE(task.mats.isEmpty()) << c.descriptor.constData();
        EXPECT_TRUE(task.values.isEmpty());
    }

    // Pixels that contain the delimiter are cut there; the image is left out.
    task = decodeMultipart(
        part("img-info", "application/json", descriptor(1, int(strlen(wire::kBoundary)) + 4, 1)) +
        part("img", "application/octet-stream", "ab" + QByteArray(wire::kBoundary) + "cd"));
    EXPECT_TRUE(task.mats.isEmpty());

    // A JSON part without "data_type" and a text part are values; a later filename= wins.
    task = decodeMultipart(part("plain", "application/json", "{\"v\":1}") +
                           part("note", "text/plain", "hello") + QByteArray(wire::kBoundary) +
                           "\r\nContent-Disposition: form-data; name=\"x\"; filename=\"f.txt\"\r\n"
                           "Content-Type: text/plain\r\n\r\nfile text\r\n");
    EXPECT_EQ(task.values.value("plain").toJsonObject().value("v").toInt(), 1);
    EXPECT_EQ(task.values.value("note").toString(), "hello");
    EXPECT_EQ(task.values.value("f.txt").toString(), "file text");
}
