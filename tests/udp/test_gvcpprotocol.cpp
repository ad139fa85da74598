// Discovery packets as pure functions: packet bytes against layouts written out by hand,
// readers fed cut and lying datagrams, the checks before any host change, the force-IP plan,
// and a bounded fuzz run.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <ctime>

#include "gvcpclient.h"
#include "netif.h"
#include "testsupport.h"

bool gvcpFuzzOne(const uint8_t* data, size_t size);

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
QByteArray field(const QByteArray& text) {
    return text.leftJustified(32, '\0', true);
}
QByteArray withLength(QByteArray packet, quint16 length) {
    packet[4] = char(length >> 8);
    packet[5] = char(length & 0xff);
    return packet;
}
// Acknowledgements describing 192.168.1.20/24 (gateway .1) to the panel 192.168.1.10.
QByteArray describe(decltype(&gvcp_ack_discover) build, const char* id) {
    return build(id, "192.168.1.10", "192.168.1.20", "255.255.255.0", "192.168.1.1",
                 "02:00:0a:0b:0c:0d");
}
const char kDescribed[] = "02000a0b0c0d0000c0a8010ac0a80114ffffff00c0a80101";
const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1717000000123LL);
const char kNowLe[] = "7bd22cc58f010000";

}  // namespace

TEST(GvcpProtocol, PacketsMatchTheGoldenLayouts) {
    testsupport::recorder().setNow(kNow);
    const QPair<QByteArray, QByteArray> rows[] = {
        {gvcp_cmd_discover(), hex("4211000200000001")},
        {gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.11", "cam-1"),
         hex("4211000400380001000000000000000000000000c0a8010bffffff00c0a8010b") + field("cam-1")},
        {gvcp_cmd_forceip("10.0.0.5", "255.0.0.0", "bad", QByteArray(40, 'x').constData()),
         hex("42110004003800010000000000000000000000000a000005ff000000ffffffff") +
             field(QByteArray(31, 'x'))},
        {gvcp_cmd_uptime(), hex("42110082001000010100000000000000") + hex(kNowLe)},
        {gvcp_cmd_rebootdaemon(), hex("421100820010000102000000000000000000000000000000")},
        {describe(gvcp_ack_forceip, "cam-1"),
         hex("0000000500380001") + hex(kDescribed) + field("cam-1")},
        {gvcp_ack_updatetime(), hex("00000083001000010100000000000000") + hex(kNowLe)},
        {gvcp_ack_rebootdaemon(), hex("000000830010000102000000000000000000000000000000")}};
    for (const auto& [built, golden] : rows) EXPECT_EQ(built.toHex(), golden.toHex());
    testsupport::recorder().setNow(QDateTime());

    // The camera's own texts are ours to choose; everything around them is fixed.
    const QByteArray ack = describe(gvcp_ack_discover, "cam-1");
    ASSERT_EQ(ack.size(), 224);
    EXPECT_EQ(ack.left(32).toHex(), (hex("0000000300d80001") + hex(kDescribed)).toHex());
    EXPECT_EQ(ack.mid(96, 32), field("V2.8.6 180210 143913"));
    EXPECT_EQ(ack.mid(160, 16) + ack.mid(208, 16), QByteArray(32, '\0'));
    EXPECT_EQ(ack.mid(176, 32), field("cam-1"));
    for (const int at : {32, 64, 128}) EXPECT_TRUE(ack.at(at) != 0 && ack.at(at + 31) == 0) << at;
}

TEST(GvcpProtocol, ReadersStayWithinTheReceivedBytes) {
    using C = gvcp::Command;
    const QByteArray move =
        gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.1", "cam-12");
    testsupport::recorder().setNow(kNow);
    const QByteArray clock = gvcp_cmd_uptime();
    testsupport::recorder().setNow(QDateTime());
    const QString moved = "192.168.1.11/255.255.255.0/192.168.1.1/cam-12";
    const std::tuple<QByteArray, C::Kind, QString> commands[] = {
        {move.left(7), C::Short, ""},
        {'C' + move.mid(1), C::NotGvcp, ""},
        {hex("420100020000ffff"), C::Discovery, ""},  // as a standard tool sends it
        {withLength(move, 0xffff) + "trailing", C::ForceIp, moved},
        // Cut inside the identifier, "cam-12" would read as another camera's "cam-1".
        {move.left(37), C::Incomplete, ""},
        {withLength(move, 0x20), C::Incomplete, ""},
        {clock, C::WriteReg, "1:1717000000123"},
        {withLength(clock, 8), C::Incomplete, ""},
        {hex("4211004000000001"), C::Other, ""}};
    for (const auto& [bytes, kind, detail] : commands) {
        const C c = gvcp::readCommand(bytes.constData(), bytes.size());
        EXPECT_EQ(c.kind, kind) << bytes.toHex().constData();
        QString seen;
        if (c.kind == C::ForceIp)
            seen = nint2string(c.forceIp.ip) + '/' + nint2string(c.forceIp.mask) + '/' +
                   nint2string(c.forceIp.gateway) + '/' + gvcp::fieldText(c.forceIp.id);
        if (c.kind == C::WriteReg) seen = QString("%1:%2").arg(c.subcommand).arg(c.value);
        EXPECT_EQ(seen, detail);
    }

    using A = gvcp::Ack;
    const QByteArray ack = describe(gvcp_ack_discover, "cam-1");
    // kind, identifier, model present
    const std::tuple<QByteArray, A::Kind, QString, bool> acks[] = {
        {ack.left(7), A::Short, "", false},
        // Length field 100: the payload stops inside the version, before the identifier.
        {withLength(ack, 100), A::Discovery, "", true},
        {ack.left(60), A::Discovery, "", false},
        {withLength(ack, 0xffff) + QByteArray(100, 'x'), A::Discovery, "cam-1", true},
        // Ending inside the identifier: "cam" would name another camera; with its zero it is
        // whole.
        {ack.left(179), A::Cut, "", false},
        {withLength(ack, 171), A::Cut, "", false},
        {ack.left(182), A::Discovery, "cam-1", true},
        {describe(gvcp_ack_forceip, "cam-9").left(35), A::Cut, "", false},
        {describe(gvcp_ack_forceip, "cam-9").left(38), A::ForceIp, "cam-9", false},
        {describe(gvcp_ack_forceip, "cam-9"), A::ForceIp, "cam-9", false},
        {gvcp_ack_updatetime(), A::Other, "", false}};
    for (const auto& [bytes, kind, id, model] : acks) {
        const A a = gvcp::readAck(bytes.constData(), bytes.size());
        EXPECT_EQ(a.kind, kind) << bytes.toHex().constData();
        EXPECT_EQ(gvcp::fieldText(a.discovery.id) + gvcp::fieldText(a.forceIp.id), id);
        EXPECT_EQ(!gvcp::fieldText(a.discovery.model).isEmpty(), model);
    }
}

TEST(GvcpProtocol, ForcedAddressesAndClocksAreCheckedFirst) {
    // address, mask, gateway, taken
    const std::tuple<const char*, const char*, const char*, bool> rows[] = {
        {"192.168.1.11", "255.255.255.0", "192.168.1.11", true},
        {"10.1.0.2", "255.255.255.252", "10.1.0.1", true},
        {"10.1.0.1", "255.255.255.255", "10.1.0.1", true},
        {"0.0.0.0", "0.0.0.0", "0.0.0.0", false},  // an all-zero request
        {"192.168.1.0", "255.255.255.0", "192.168.1.1", false},
        {"10.1.0.3", "255.255.255.252", "10.1.0.1", false},
        {"192.168.1.11", "255.0.255.0", "192.168.1.11", false},
        {"192.168.1.11", "255.255.255.0", "10.0.0.1", false},
        {"127.0.0.5", "255.0.0.0", "127.0.0.1", false},
        {"224.0.0.5", "255.255.255.0", "224.0.0.1", false}};
    for (const auto& [ip, mask, gateway, taken] : rows)
        EXPECT_EQ(
            gvcp::forceIpRefusal(inet_addr(ip), inet_addr(mask), inet_addr(gateway)).isEmpty(),
            taken)
            << ip << " " << mask << " " << gateway;

    const quint64 last = udplimits::kGvcpMaxClockMs;
    EXPECT_EQ(QList<bool>({gvcp::isSettableClock(0), gvcp::isSettableClock(last),
                           gvcp::isSettableClock(last + 1), gvcp::isSettableClock(~0ULL)}),
              QList<bool>({true, true, false, false}));
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CST-8");
    tzset();
    EXPECT_EQ(gvcp::clockText(0) + '|' + gvcp::clockText(1717000000123ULL),
              "19700101 08:00:00|20240530 00:26:40");
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

TEST(GvcpProtocol, ForceIpPlans) {
    const QMap<QString, NetBase> nets = {
        {"02:00:00:00:00:01", {"eth0", "192.168.1.10", "255.255.255.0", "", "02:00:00:00:00:01"}},
        {"02:00:00:00:00:02", {"eth1", "10.1.0.1", "255.255.255.252", "", "02:00:00:00:00:02"}}};
    // cameras as "id ip mask answered-through", orders as "id>ip/mask/gateway@from"
    const std::pair<QStringList, QStringList> rows[] = {
        {{"a 192.168.1.20 255.255.255.0 192.168.1.10"}, {}},
        {{"a 10.0.0.5 255.0.0.0 192.168.1.10", "b 10.0.0.6 255.0.0.0 192.168.1.10"},
         {"a>192.168.1.11/255.255.255.0/192.168.1.11@192.168.1.10",
          "b>192.168.1.12/255.255.255.0/192.168.1.12@192.168.1.10"}},
        {{"a 192.168.1.20 255.255.255.0 192.168.1.10", "b 192.168.1.20 255.255.255.0 192.168.1.10"},
         {"b>192.168.1.21/255.255.255.0/192.168.1.21@192.168.1.10"}},
        {{"a 192.168.1.252 255.255.255.0 192.168.1.10",
          "b 192.168.1.253 255.255.255.0 192.168.1.10",
          "c 192.168.1.252 255.255.255.0 192.168.1.10"},
         {"c>192.168.1.1/255.255.255.0/192.168.1.1@192.168.1.10"}},
        // Identifiers a FORCEIP_CMD cannot carry, and an answer through no interface of ours.
        {{" 10.0.0.5 255.0.0.0 192.168.1.10", QString(32, 'c') + " 10.0.0.5 255.0.0.0 192.168.1.10",
          "x 10.0.0.5 255.0.0.0 172.16.0.1"},
         {}},
        // The broadcast address is no host address: such a camera is moved too.
        {{"a 192.168.1.255 255.255.255.0 192.168.1.10"},
         {"a>192.168.1.11/255.255.255.0/192.168.1.11@192.168.1.10"}},
        // A /30 has one free host; the second camera cannot be placed on it.
        {{"a 10.9.9.9 255.0.0.0 10.1.0.1", "b 10.9.9.8 255.0.0.0 10.1.0.1"},
         {"a>10.1.0.2/255.255.255.252/10.1.0.2@10.1.0.1"}}};
    for (const auto& [cameras, expected] : rows) {
        QMap<QString, gvcp_discover_ack_payload> found;
        for (const QString& camera : cameras) {
            const QStringList parts = camera.split(' ');
            gvcp_discover_ack_payload& record = found[parts[0]];
            record = {};
            record.ip = string2nint(parts[1]);
            record.mask = string2nint(parts[2]);
            record.host_ip = string2nint(parts[3]);
        }
        QStringList orders;
        for (const gvcp::ForceIpOrder& o : gvcp::planForceIp(found, nets))
            orders << o.id + '>' + o.ip + '/' + o.mask + '/' + o.gateway + '@' + o.local;
        EXPECT_EQ(orders, expected);
    }
}

TEST(GvcpProtocol, FuzzedDatagramsBreakNoInvariant) {
    QRandomGenerator random(20240601);
    testsupport::recorder().setNow(kNow);
    const QByteArray seeds[] = {
        describe(gvcp_ack_discover, "cam-1"),
        gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.1", "c"), gvcp_cmd_uptime(),
        describe(gvcp_ack_forceip, "cam-1")};
    testsupport::recorder().setNow(QDateTime());
    for (int round = 0; round < 40000; ++round) {
        QByteArray input = seeds[round % 4];
        for (int edits = random.bounded(1, 6); edits > 0; --edits) {
            const int at = random.bounded(input.size() + 1);
            if (random.bounded(2))
                input.insert(at, char(random.bounded(256)));
            else
                input.remove(at, random.bounded(1, 40));
        }
        ASSERT_TRUE(gvcpFuzzOne(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
            << input.toHex().constData();
    }
}
