// Discovery packets as pure functions: the bytes of every packet against layouts written out
// by hand, readers fed cut and lying datagrams, the checks a forced address and a clock must
// pass, the force-IP plan, and a bounded fuzz run.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <ctime>

#include "gvcpclient.h"
#include "gvcpprotocol.h"
#include "netif.h"
#include "testsupport.h"

bool gvcpFuzzOne(const uint8_t* data, size_t size);

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

QByteArray field(const char* text, int width = 32) {
    return QByteArray(text).leftJustified(width, '\0', true);
}

QByteArray withLength(QByteArray packet, quint16 length) {
    packet[4] = char(length >> 8);
    packet[5] = char(length & 0xff);
    return packet;
}

constexpr char kMac[] = "02:00:0a:0b:0c:0d";
// mac, two zero bytes, host_ip 192.168.1.10, ip .20, mask /24, gateway .1
const char kInterfaceHex[] = "02000a0b0c0d0000c0a8010ac0a80114ffffff00c0a80101";

QByteArray discoverAck() {
    return gvcp_ack_discover("cam-1", "192.168.1.10", "192.168.1.20", "255.255.255.0",
                             "192.168.1.1", kMac);
}

}  // namespace

TEST(GvcpProtocol, PacketsMatchTheGoldenLayouts) {
    testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000123LL));
    const QByteArray clockLe = hex("7bd22cc58f010000");
    const QPair<QByteArray, QByteArray> rows[] = {
        {gvcp_cmd_discover(), hex("4211000200000001")},
        {gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.11", "cam-1"),
         hex("4211000400380001") + QByteArray(12, '\0') + hex("c0a8010bffffff00c0a8010b") +
             field("cam-1")},
        {gvcp_cmd_forceip("10.0.0.5", "255.0.0.0", "bad", QByteArray(40, 'x').constData()),
         hex("4211000400380001") + QByteArray(12, '\0') + hex("0a000005ff000000ffffffff") +
             field(QByteArray(31, 'x').constData())},
        {gvcp_cmd_uptime(), hex("42110082001000010100000000000000") + clockLe},
        {gvcp_cmd_rebootdaemon(), hex("4211008200100001"
                                      "02000000"
                                      "00000000"
                                      "0000000000000000")},
        {gvcp_ack_forceip("cam-1", "192.168.1.10", "192.168.1.20", "255.255.255.0", "192.168.1.1",
                          kMac),
         hex("0000000500380001") + hex(kInterfaceHex) + field("cam-1")},
        {gvcp_ack_updatetime(), hex("00000083001000010100000000000000") + clockLe},
        {gvcp_ack_rebootdaemon(), hex("0000008300100001"
                                      "02000000"
                                      "00000000"
                                      "0000000000000000")}};
    for (const auto& [built, golden] : rows) EXPECT_EQ(built.toHex(), golden.toHex());
    testsupport::recorder().setNow(QDateTime());

    // The camera's own texts are ours to choose; everything around them is fixed.
    const QByteArray ack = discoverAck();
    ASSERT_EQ(ack.size(), 224);
    EXPECT_EQ(ack.left(32).toHex(), (hex("0000000300d80001") + hex(kInterfaceHex)).toHex());
    EXPECT_EQ(ack.mid(96, 32), field("V2.8.6 180210 143913"));
    EXPECT_EQ(ack.mid(160, 16) + ack.mid(208, 16), QByteArray(32, '\0'));
    EXPECT_EQ(ack.mid(176, 32), field("cam-1"));
    for (const int at : {32, 64, 128}) EXPECT_TRUE(ack.at(at) != 0 && ack.at(at + 31) == 0) << at;
}

TEST(GvcpProtocol, ReadersStayWithinTheReceivedBytes) {
    using C = gvcp::Command;
    const QByteArray forceIp =
        gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.1", "cam-12");
    testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000123LL));
    const QByteArray clock = gvcp_cmd_uptime();
    testsupport::recorder().setNow(QDateTime());
    const QByteArray moved = "192.168.1.11/255.255.255.0/192.168.1.1/cam-12";
    const std::tuple<QByteArray, C::Kind, QByteArray> commands[] = {
        {forceIp.left(7), C::Short, ""},
        {'C' + forceIp.mid(1), C::NotGvcp, ""},
        {hex("420100020000ffff"), C::Discovery, ""},  // as a standard tool sends it
        {forceIp, C::ForceIp, moved},
        {withLength(forceIp, 0xffff) + "trailing", C::ForceIp, moved},
        // Cut inside the identifier, "cam-12" would read as another camera's "cam-1".
        {forceIp.left(37), C::Incomplete, ""},
        {withLength(forceIp, 0x20), C::Incomplete, ""},
        {clock, C::WriteReg, "1:1717000000123"},
        {gvcp_cmd_rebootdaemon(), C::WriteReg, "2:0"},
        {clock.left(23), C::Incomplete, ""},
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
        EXPECT_EQ(seen, QString(detail));
    }

    using A = gvcp::Ack;
    const QByteArray ack = discoverAck();
    const QByteArray forceAck = gvcp_ack_forceip("cam-9", "192.168.1.10", "192.168.1.20",
                                                 "255.255.255.0", "192.168.1.1", kMac);
    // kind, id, ip, model present
    const std::tuple<QByteArray, A::Kind, QString, QString, bool> acks[] = {
        {ack.left(7), A::Short, "", "0.0.0.0", false},
        {ack, A::Discovery, "cam-1", "192.168.1.20", true},
        // Length field 100: the payload stops inside the version, before the identifier.
        {withLength(ack, 100), A::Discovery, "", "192.168.1.20", true},
        {ack.left(60), A::Discovery, "", "192.168.1.20", false},
        {withLength(ack, 0xffff) + QByteArray(100, 'x'), A::Discovery, "cam-1", "192.168.1.20",
         true},
        {forceAck, A::ForceIp, "cam-9", "192.168.1.20", false},
        {gvcp_ack_updatetime(), A::Other, "", "0.0.0.0", false}};
    for (const auto& [bytes, kind, id, ip, model] : acks) {
        const A a = gvcp::readAck(bytes.constData(), bytes.size());
        EXPECT_EQ(a.kind, kind) << bytes.toHex().constData();
        const bool forced = kind == A::ForceIp;
        EXPECT_EQ(forced ? gvcp::fieldText(a.forceIp.id) : gvcp::fieldText(a.discovery.id), id);
        EXPECT_EQ(nint2string(forced ? a.forceIp.ip : a.discovery.ip), ip);
        EXPECT_EQ(!gvcp::fieldText(a.discovery.model).isEmpty(), model);
    }
}

TEST(GvcpProtocol, ForcedAddressesAndClocksAreCheckedFirst) {
    // address, mask, gateway, taken
    const std::tuple<const char*, const char*, const char*, bool> rows[] = {
        {"192.168.1.11", "255.255.255.0", "192.168.1.11", true},
        {"192.168.1.11", "255.255.255.0", "192.168.1.1", true},
        {"10.1.0.2", "255.255.255.252", "10.1.0.1", true},
        {"10.1.0.1", "255.255.255.255", "10.1.0.1", true},
        {"0.0.0.0", "0.0.0.0", "0.0.0.0", false},  // an all-zero request
        {"192.168.1.0", "255.255.255.0", "192.168.1.1", false},
        {"192.168.1.255", "255.255.255.0", "192.168.1.1", false},
        {"10.1.0.3", "255.255.255.252", "10.1.0.1", false},
        {"192.168.1.11", "255.0.255.0", "192.168.1.11", false},
        {"192.168.1.11", "255.255.255.0", "10.0.0.1", false},
        {"192.168.1.11", "255.255.255.0", "0.0.0.0", false},
        {"127.0.0.5", "255.0.0.0", "127.0.0.1", false},
        {"224.0.0.5", "255.255.255.0", "224.0.0.1", false},
        {"255.255.255.255", "255.255.255.0", "192.168.1.1", false}};
    for (const auto& [ip, mask, gateway, taken] : rows)
        EXPECT_EQ(
            gvcp::forceIpRefusal(inet_addr(ip), inet_addr(mask), inet_addr(gateway)).isEmpty(),
            taken)
            << ip << " " << mask << " " << gateway;

    for (const auto& [ms, settable] :
         {std::make_pair(quint64(0), true), std::make_pair(udplimits::kGvcpMaxClockMs, true),
          std::make_pair(udplimits::kGvcpMaxClockMs + 1, false),
          std::make_pair(~quint64(0), false)})
        EXPECT_EQ(gvcp::isSettableClock(ms), settable) << ms;
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CST-8");
    tzset();
    EXPECT_EQ(gvcp::clockText(0), "19700101 08:00:00");
    EXPECT_EQ(gvcp::clockText(1717000000123ULL), "20240530 00:26:40");
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

TEST(GvcpProtocol, ForceIpPlans) {
    const QMap<QString, NetBase> nets = {
        {"02:00:00:00:00:01",
         {"eth0", "192.168.1.10", "255.255.255.0", "192.168.1.1", "02:00:00:00:00:01"}},
        {"02:00:00:00:00:02",
         {"eth1", "10.1.0.1", "255.255.255.252", "10.1.0.1", "02:00:00:00:00:02"}}};
    using Camera = std::tuple<QString, const char*, const char*, const char*>;
    const QString longId(32, 'c');
    const QString to11 = "192.168.1.11/255.255.255.0/192.168.1.11@192.168.1.10";
    // cameras (id, ip, mask, answered through), orders
    const std::pair<QVector<Camera>, QStringList> rows[] = {
        {{{"a", "192.168.1.20", "255.255.255.0", "192.168.1.10"}}, {}},
        {{{"a", "10.0.0.5", "255.0.0.0", "192.168.1.10"},
          {"b", "10.0.0.6", "255.0.0.0", "192.168.1.10"}},
         {"a>" + to11, "b>192.168.1.12/255.255.255.0/192.168.1.12@192.168.1.10"}},
        {{{"a", "192.168.1.20", "255.255.255.0", "192.168.1.10"},
          {"b", "192.168.1.20", "255.255.255.0", "192.168.1.10"}},
         {"b>192.168.1.21/255.255.255.0/192.168.1.21@192.168.1.10"}},
        {{{"a", "192.168.1.252", "255.255.255.0", "192.168.1.10"},
          {"b", "192.168.1.253", "255.255.255.0", "192.168.1.10"},
          {"c", "192.168.1.252", "255.255.255.0", "192.168.1.10"}},
         {"c>192.168.1.1/255.255.255.0/192.168.1.1@192.168.1.10"}},
        {{{"", "10.0.0.5", "255.0.0.0", "192.168.1.10"},
          {longId, "10.0.0.5", "255.0.0.0", "192.168.1.10"},
          {"x", "10.0.0.5", "255.0.0.0", "172.16.0.1"}},
         {}},
        {{{"a", "192.168.1.255", "255.255.255.0", "192.168.1.10"},
          {"b", "192.168.1.0", "255.255.255.0", "192.168.1.10"}},
         {"a>" + to11, "b>192.168.1.12/255.255.255.0/192.168.1.12@192.168.1.10"}},
        // A /30 has one free host; the second camera cannot be placed on it.
        {{{"a", "10.9.9.9", "255.0.0.0", "10.1.0.1"}, {"b", "10.9.9.8", "255.0.0.0", "10.1.0.1"}},
         {"a>10.1.0.2/255.255.255.252/10.1.0.2@10.1.0.1"}}};
    for (const auto& [cameras, expected] : rows) {
        QMap<QString, gvcp_discover_ack_payload> found;
        for (const auto& [id, ip, mask, via] : cameras) {
            gvcp_discover_ack_payload record{};
            record.ip = inet_addr(ip);
            record.mask = inet_addr(mask);
            record.host_ip = inet_addr(via);
            found.insert(id, record);
        }
        QStringList orders;
        for (const gvcp::ForceIpOrder& o : gvcp::planForceIp(found, nets))
            orders << o.id + '>' + o.ip + '/' + o.mask + '/' + o.gateway + '@' + o.local;
        EXPECT_EQ(orders, expected);
    }
}

TEST(GvcpProtocol, FuzzedDatagramsBreakNoInvariant) {
    QRandomGenerator random(20240601);
    testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000123LL));
    const QByteArray seeds[] = {
        discoverAck(), gvcp_cmd_forceip("192.168.1.11", "255.255.255.0", "192.168.1.1", "cam-1"),
        gvcp_cmd_uptime(),
        gvcp_ack_forceip("c", "1.2.3.4", "1.2.3.5", "255.0.0.0", "1.2.3.6", kMac)};
    testsupport::recorder().setNow(QDateTime());
    for (int round = 0; round < 40000; ++round) {
        QByteArray input = seeds[round % 4];
        for (int edits = random.bounded(1, 6); edits > 0; --edits) {
            const int at = random.bounded(input.size() + 1);
            const int action = random.bounded(3);
            if (action == 0 && at < input.size())
                input[at] = char(random.bounded(256));
            else if (action == 1)
                input.insert(at, char(random.bounded(256)));
            else
                input.remove(at, random.bounded(1, 40));
        }
        ASSERT_TRUE(gvcpFuzzOne(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
            << input.toHex().constData();
    }
}
