// The text protocol and the address helpers as pure functions: crafted datagrams, the tables
// of who accepts what, the IO text, the configuration string, and a bounded fuzz run.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "dtpprotocol.h"
#include "netif.h"
#include "testsupport.h"

bool dtpFuzzOne(const uint8_t* data, size_t size);

namespace {

QString partsOf(const QByteArray& bytes) {
    const dtp::Datagram datagram = dtp::parse(bytes);
    return datagram.ok() ? datagram.parts.join('|') : datagram.result;
}

QString ioRecordOf(const QByteArray& bytes) {
    sockaddr_in from{};
    from.sin_port = htons(10410);
    inet_pton(AF_INET, "10.0.0.9", &from.sin_addr);
    const DTP_Procotol_IO r = dtp::makeIoRecord(dtp::parse(bytes), from);
    return QStringList{
        r.ip, QString::number(r.port), r.role, QString::number(r.code), r.uuid, r.field1, r.field2}
        .join('|');
}

}  // namespace

TEST(DtpProtocol, DatagramsAreCutIntoPartsOrRefused) {
    const QString bad = dtp::kFormatError;
    const QPair<QByteArray, QString> rows[] = {{"<A;7>", "A|7"},
                                               {" < A ; 7 ; u 1 > ", "A|7|u1"},
                                               {"<A;7>\r", "A|7"},
                                               {"<A;7>\n", bad},
                                               {"<A;7>\r\n", bad},
                                               {"<A;7>\r\r", bad},
                                               {"<A>", bad},
                                               {"<  AB >", bad},
                                               {"<ABC>", bad},
                                               {"A;7;u", bad},
                                               {"", bad},
                                               {"<A;1;;>", "A|1||"},
                                               {{"<A;7>\0<S;1>", 11}, "A|7"},
                                               {{"\0<A;7>", 6}, bad}};
    for (const auto& row : rows) EXPECT_EQ(partsOf(row.first), row.second) << row.first.data();
    EXPECT_FALSE(dtp::parse("<A;7>", 4).ok());  // only the given length counts

    const QPair<QByteArray, QString> records[] = {
        {"<A;2;app;cam-1;10.0.0.3>", "10.0.0.9|10410|A|2|app|cam-1|10.0.0.3"},
        {"<A;2;app;cam-1>", "10.0.0.9|10410|A|2|app||"},
        {"<C;4;cam-1;10.0.0.3>", "10.0.0.9|10410|C|4|cam-1|cam-1|10.0.0.3"},
        {"<C;4;cam-1>", "10.0.0.9|10410|C|4|cam-1||"},
        {"<C;6;cam-1;11000000>", "10.0.0.9|10410|C|6|cam-1||"},
        {"<A;x7>", "10.0.0.9|10410|A|0|||"},
        {"<A;7", "10.0.0.9|10410||0|||"}};
    for (const auto& row : records) EXPECT_EQ(ioRecordOf(row.first), row.second);
    EXPECT_EQ(DTP_Procotol_IO().role, "E");
}

TEST(DtpProtocol, AcceptanceAndPermissionTables) {
    using R = dtp::Receiver;
    const std::tuple<R, int, const char*, bool> accepts[] = {
        {R::IoBox, 1, "A", true},    {R::IoBox, 1, "C", false},  {R::IoBox, 3, "C", true},
        {R::IoBox, 5, "S", false},   {R::IoBox, 6, "C", true},   {R::IoBox, 7, "A", true},
        {R::Camera, 3, "S", true},   {R::Camera, 3, "C", false}, {R::Camera, 21, "C", true},
        {R::Camera, 21, "S", false}, {R::Camera, 22, "A", true}, {R::Camera, 0, "A", false}};
    for (const auto& [receiver, code, role, accepted] : accepts)
        EXPECT_EQ(dtp::accepts(receiver, code, role), accepted) << code << role;
    EXPECT_EQ(QList<int>({dtp::replyPort(7), dtp::replyPort(3), dtp::replyPort(6)}),
              QList<int>({10410, 10411, 10412}));

    DTP_Procotol_IO ioMsg;
    for (const auto& [uuid, passes] :
         {qMakePair(QString(), true), qMakePair(QString("io-1"), true),
          qMakePair(QString("cam-1"), true), qMakePair(QString("cam-9"), false)}) {
        ioMsg.uuid = uuid;
        EXPECT_EQ(chkThroughPermit(ioMsg, "io-1", "cam-1"), passes) << uuid.toStdString();
    }

    DTP_Procotol_Struct cell;
    cell.ps_io_uuid = "io-1";
    cell.ps_main_camera_uuid = "cam-1";
    cell.ps_sub_camera = {{"cam-2", "10.0.0.32", 0}};
    // self, sender uuid, sender address, code, passes
    const std::tuple<QString, QString, QString, int, bool> rows[] = {
        {"cam-1", "cam-1", "10.0.0.31", 3, false},  // its own broadcast coming back
        {"cam-1", "", "10.0.0.2", 3, true},        {"cam-1", "io-1", "10.0.0.2", 3, true},
        {"cam-2", "io-1", "10.0.0.2", 3, false},   {"cam-2", "cam-1", "10.0.0.31", 22, true},
        {"cam-1", "cam-2", "10.0.0.32", 21, true}, {"cam-1", "cam-2", "10.0.0.32", 22, false},
        {"cam-1", "cam-7", "10.0.0.37", 21, false}};
    for (const auto& [self, uuid, ip, code, passes] : rows) {
        DTP_Procotol_Struct msg;
        msg.uuid = uuid;
        msg.ip = ip;
        msg.code = code;
        const QStringList own{self == "cam-1" ? "10.0.0.31" : "10.0.0.32"};
        EXPECT_EQ(chkThroughPermit(msg, self, own, cell), passes)
            << self.toStdString() << "<-" << uuid.toStdString() << " " << code;
    }
}

TEST(DtpProtocol, IoTextMessagesAndConfigurationStrings) {
    for (quint32 value = 0; value < 256; ++value)
        ASSERT_EQ(ChgIO_ASCII2Int(ChgIO_Int2ASCII(value)), value);
    EXPECT_EQ(ChgIO_Int2ASCII(5) + ChgIO_Int2ASCII(0x1ff), "1010000011111111");
    const QPair<QString, quint32> io[] = {
        {"11000000", 3}, {"2", 2}, {"1x1", 5}, {"", 0}, {QString(31, '0') + "11", 0x80000000u}};
    for (const auto& row : io) EXPECT_EQ(ChgIO_ASCII2Int(row.first), row.second);
    ChgIO_ASCII2Int(QString(64, '9'));  // past the word: no shift beyond 31 bits
    for (const auto& [text, drivable] : {std::pair<QString, bool>{"11000000", true},
                                         {"00000001", true},
                                         {"1100000", false},
                                         {"110000001", false},
                                         {"11000020", false},
                                         {"1100000 ", false},
                                         {"", false}})
        EXPECT_EQ(isIoText(text), drivable) << text.toStdString();

    EXPECT_EQ(dtp::message("S", 7, {"io-1", "10000000", "00000001"}) + dtp::message("A", 21),
              "<S;7;io-1;10000000;00000001><A;21>");
    const Udpsend_Cond cond = dtp::sendCond("10.0.0.2", 10412, "10.0.0.1");
    EXPECT_EQ(cond.remote_ip + "/" + cond.local_ip, "10.0.0.2/10.0.0.1");
    EXPECT_EQ(QList<int>({cond.remote_port, cond.wait_ms, cond.resend_ms}),
              QList<int>({10412, 100, 0}));
    QString config;
    EXPECT_TRUE(dtp::configPayload("C;21;cam-2;(M);();();()", "C", 21, &config));
    EXPECT_EQ(config, "(M);();();()");
    EXPECT_FALSE(dtp::configPayload("C;21;cam-2;(M)", "A", 22, &config));
    EXPECT_FALSE(dtp::configPayload("A;22;;", "A", 22, &config));

    DTP_Procotol_Struct cfg;
    EXPECT_EQ(MakeCamCfg2Str(cfg), "();();();()");
    cfg.ps_machineid = "M7";
    cfg.ps_io_uuid = "io-1";
    cfg.ps_io_address = "192.168.1.20";
    cfg.ps_main_camera_uuid = "cam-1";
    cfg.ps_main_camera_address = "192.168.1.30";
    cfg.ps_sub_camera = {{"cam-2", "192.168.1.31", 5},
                         {"cam-3", "192.168.1.32", 0},
                         {"cam-1", "192.168.1.30", 0},
                         {"cam-4", "", 0}};
    const QString text = MakeCamCfg2Str(cfg);
    EXPECT_EQ(text,
              "(M7);(io-1;192.168.1.20);(cam-1;192.168.1.30);"
              "(cam-2;192.168.1.31;cam-3;192.168.1.32)");
    // A read replaces the whole record: the datagram fields go back to their defaults.
    DTP_Procotol_Struct read;
    read.ip = "10.0.0.1";
    ASSERT_TRUE(ParseStr2CamCfg(text, read));
    EXPECT_EQ(read.ip + MakeCamCfg2Str(read), text);
    // text, matches, io uuid, sub uuids
    const std::tuple<QString, bool, QString, QString> rows[] = {
        {"(M);(a;b;c);(x;y);(s1)", true, "", ""},
        {"(M);(a;b);();(s1;h1;s2)", true, "a", ""},
        {"x(M);(a;b);();(s1;h1)y", true, "a", "s1"},
        {"(M);(a;b);()", false, "", ""},
        {"(M);(a;b)\n;();()", false, "", ""}};
    for (const auto& [input, matches, ioUuid, subs] : rows) {
        DTP_Procotol_Struct target = cfg;
        EXPECT_EQ(ParseStr2CamCfg(input, target), matches) << input.toStdString();
        QStringList uuids;
        for (const auto& sub : target.ps_sub_camera) uuids << sub.uuid;
        if (matches)
            EXPECT_EQ(target.ps_io_uuid + "/" + uuids.join(','), ioUuid + "/" + subs);
        else
            EXPECT_EQ(MakeCamCfg2Str(target), text);
    }
}

TEST(DtpProtocol, FuzzedDatagramsBreakNoInvariant) {
    QRandomGenerator random(20240531);
    const QByteArray seeds[] = {"<S;3;io-1;10100000;00000000>", "(a);(b);(c);(d)",
                                "<C;21;cam-2;(M);(io;1.2.3.4);(c;1.2.3.5);(s;1.2.3.6)>"};
    const char alphabet[] = "();<>ACS 0123\r\n\x00\xff";
    for (int round = 0; round < 60000; ++round) {
        QByteArray input = seeds[round % 3];
        for (int edits = random.bounded(1, 8); edits > 0; --edits) {
            const int at = random.bounded(input.size() + 1);
            const char c = round % 3 ? alphabet[random.bounded(int(sizeof alphabet) - 1)]
                                     : char(random.bounded(256));
            if (random.bounded(2))
                input.insert(at, c);
            else
                input.remove(at, random.bounded(1, 4));
        }
        if (round % 997 == 0) input = input.repeated(random.bounded(2, 80)).left(2100);
        ASSERT_TRUE(dtpFuzzOne(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
            << input.toHex().constData();
    }
}

TEST(NetIf, AddressTextHelpers) {
    // ip, mask, network, directed broadcast
    const std::tuple<QString, QString, QString, QString> nets[] = {
        {"192.168.3.77", "255.255.255.0", "192.168.3.0", "192.168.3.255"},
        {"10.1.2.3", "255.255.0.0", "10.1.0.0", "10.1.255.255"},
        {"10.1.2.130", "255.255.255.128", "10.1.2.128", "10.1.2.255"},
        {"10.1.2", "255.255.255.0", "", ""},
        {"10.1.2.a", "255.255.255.0", "", ""},
        {"10.1.2.300", "255.255.255.255", "10.1.2.44", ""}};
    for (const auto& [ip, mask, network, broadcast] : nets)
        EXPECT_EQ(getSubNet(ip, mask) + "/" + directedBroadcast(ip, mask),
                  network + "/" + broadcast);
    for (const auto& [ip, expected, ok] : {std::make_tuple("192.168.1.20", "192.168.1.7", true),
                                           std::make_tuple("192.168..20", "192.168..7", true),
                                           std::make_tuple("192.168.1", "192.168.1", false)}) {
        QString text = ip;
        EXPECT_EQ(setIPLast(text, 7), ok);
        EXPECT_EQ(text, expected);
    }

    unsigned char mac[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(string2ethaddr("aa-bb-cc-dd-ee-ff", mac), 0);
    EXPECT_EQ(ethaddr2string(mac), "01:02:03:04:05:06");
    string2ethaddr("aa:zz::dd:ee:1ff", mac);
    EXPECT_EQ(ethaddr2string(mac), "aa:00:00:dd:ee:ff");
    EXPECT_EQ(nint2string(string2nint("10.20.30.40")), "10.20.30.40");
    EXPECT_EQ(string2nint("no address"), 0xffffffffu);

    for (int i = 0; i < 20000; ++i) {
        const int port = RandPort() & 0xffff;
        ASSERT_TRUE(port >= 10001 && (port < 10410 || port > 10419)) << port;
    }
    testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000123LL));
    EXPECT_EQ(curtime_qint64_2_int(), 171700000012LL % 1000000000LL);
    testsupport::recorder().setNow(QDateTime());
}
