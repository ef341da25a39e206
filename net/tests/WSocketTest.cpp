#include "net/WSocket.h"

#include "base/PollEventLoop.h"
#include "net/tests/LoopbackServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

using namespace pivrel::net;
using pivrel::base::TPollEventLoop;
using pivrel::net::testing::TLoopbackServer;
using pivrel::net::testing::TPeer;

namespace {

const char* StateName(TSocketState state)
{
    static const char* const names[]
        = { "invalid", "opened", "bound", "connecting", "connected", "accepting", "listening", "closed" };
    return names[state];
}

// Records every event of one socket as a line of text, in the order they fire.
class WSocketTest : public ::testing::Test
{
protected:
    WSocketTest()
    {
        m_socket.OnChangeState = [this](TWSocket&, TSocketState from, TSocketState to) {
            Log(std::string("state ") + StateName(from) + ">" + StateName(to));
        };
        m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { Log("dns " + std::to_string(error)); };
        m_socket.OnSessionConnected
            = [this](TWSocket&, int error) { Log("connected " + std::to_string(error)); };
        m_socket.OnSessionClosed = [this](TWSocket&, int error) { Log("closed " + std::to_string(error)); };
        m_socket.OnDataSent = [this](TWSocket&, int error) { Log("sent " + std::to_string(error)); };
        m_socket.OnDataAvailable = [this](TWSocket& socket, int) { m_received += socket.ReceiveStr(); };
    }

    void Log(const std::string& line) { m_log.push_back(line); }

    int Count(const std::string& line) const
    {
        return static_cast<int>(std::count(m_log.begin(), m_log.end(), line));
    }

    // Turns the loop until done() holds or two seconds pass.
    bool RunUntil(const std::function<bool()>& done, int limitMs = 2000)
    {
        bool expired = false;
        auto guard = m_loop.StartTimer(limitMs, false, [&] { expired = true; });
        m_loop.RunUntil([&] { return done() || expired; });
        return done();
    }

    void RunFor(int ms)
    {
        bool expired = false;
        auto guard = m_loop.StartTimer(ms, false, [&] { expired = true; });
        m_loop.RunUntil([&] { return expired; });
    }

    // Keeps the socket's kernel buffer small, so that large sends have to wait in the queue.
    void ShrinkSendBuffer()
    {
        const int small = 65536;
        setsockopt(m_socket.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    }

    // Connects to the test server and returns the far end.
    int ConnectToServer()
    {
        m_socket.SetAddr("127.0.0.1");
        m_socket.SetPort(m_server.Port());
        m_socket.Connect();
        EXPECT_TRUE(RunUntil([&] { return m_socket.State() == wsConnected; }));
        return m_server.Accept();
    }

    TPollEventLoop m_loop;
    TLoopbackServer m_server;
    TWSocket m_socket { m_loop };
    std::vector<std::string> m_log;
    std::string m_received;
};

// What poll() says about a descriptor and how many bytes wait on it, for failure messages.
std::string Describe(int fd)
{
    pollfd entry { fd, POLLIN | POLLOUT, 0 };
    poll(&entry, 1, 0);
    int waiting = 0;
    ioctl(fd, FIONREAD, &waiting);
    return " [revents " + std::to_string(entry.revents) + ", waiting " + std::to_string(waiting) + "]";
}

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

template <typename Call> std::string ErrorOf(Call call)
{
    try {
        call();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "(nothing raised)";
}

} // namespace

TEST_F(WSocketTest, ConnectsExchangesDataAndSeesThePeerClose)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(m_log,
        (std::vector<std::string> {
            "state closed>opened", "state opened>connecting", "state connecting>connected", "connected 0" }));
    m_log.clear();

    EXPECT_EQ(m_socket.SendStr("hello"), 5);
    EXPECT_TRUE(m_log.empty()) << "OnDataSent fired inside Send";
    ASSERT_TRUE(RunUntil([&] { return Count("sent 0") == 1; }));
    std::string atPeer;
    ASSERT_TRUE(RunUntil([&] { return peer.ReadAvailable(atPeer) && atPeer == "hello"; }));

    ASSERT_TRUE(peer.Write("world"));
    ASSERT_TRUE(RunUntil([&] { return m_received == "world"; }));
    EXPECT_EQ(m_socket.ReadCount(), 5);

    // The last bytes and the end of the stream arrive together; the bytes come first.
    ASSERT_TRUE(peer.Write("bye"));
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return m_socket.State() == wsClosed; }));
    EXPECT_EQ(m_received, "worldbye");
    EXPECT_EQ(m_log, (std::vector<std::string> { "sent 0", "closed 0", "state connected>closed" }));
    m_socket.Close();
    RunFor(20);
    EXPECT_EQ(Count("closed 0"), 1) << "the session was reported closed twice";
}

TEST_F(WSocketTest, CloseReportsOnceAndTheSocketServesTheNextConnection)
{
    TPeer first(ConnectToServer());
    ASSERT_TRUE(first.Valid());
    m_socket.SetLingerTimeout(5);
    m_log.clear();
    m_socket.Close();
    EXPECT_EQ(m_log, (std::vector<std::string> { "state connected>closed", "closed 0" }));
    EXPECT_EQ(m_socket.Proto(), "tcp");
    EXPECT_EQ(m_socket.LocalPort(), "0");
    EXPECT_EQ(m_socket.LingerTimeout(), 0) << "settings were not reset by the close";
    EXPECT_EQ(m_socket.HSocket(), -1);
    char byte = 0;
    const auto ended = recv(first.Fd(), &byte, 1, 0);
    EXPECT_TRUE(ended == 0 || (ended < 0 && errno == ECONNRESET)) << "the peer did not see the close";
    RunFor(20);
    EXPECT_EQ(Count("closed 0"), 1);

    TPeer second(ConnectToServer());
    ASSERT_TRUE(second.Valid());
    ASSERT_TRUE(second.Write("again"));
    ASSERT_TRUE(RunUntil([&] { return m_received == "again"; }));
}

TEST_F(WSocketTest, RefusedConnectionReportsTenThousandSixtyOne)
{
    const std::string port = m_server.Port();
    m_server.StopListening();
    m_socket.SetAddr("127.0.0.1");
    m_socket.SetPort(port);
    // The refusal may come back from connect() itself or from the loop; both carry the code.
    std::string raised;
    try {
        m_socket.Connect();
    } catch (const ESocketException& e) {
        raised = e.what();
    }
    if (!raised.empty()) {
        EXPECT_EQ(raised, "Error 10061 in function Connect\r\nConnection refused");
        EXPECT_EQ(m_socket.LastError(), 10061);
        m_socket.Close();
    } else {
        ASSERT_TRUE(RunUntil([&] { return Count("connected 10061") == 1; }));
        EXPECT_EQ(m_socket.LastError(), 10061);
    }
    EXPECT_EQ(m_socket.State(), wsClosed);
    EXPECT_EQ(WSocketErrorDesc(m_socket.LastError()), "Connection refused");
}

TEST_F(WSocketTest, NameLookupAnswersDottedAddressesAtOnceAndNamesFromTheLoop)
{
    struct TCase {
        std::string host, result;
    };

    for (const TCase& test : std::vector<TCase> {
             { "127.0.0.1", "127.0.0.1" }, { "127.1", "127.0.0.1" }, { "010.0.0.1", "8.0.0.1" } }) {
        m_log.clear();
        m_socket.DnsLookup(test.host);
        EXPECT_EQ(m_log, std::vector<std::string> { "dns 0" }) << test.host;
        EXPECT_EQ(m_socket.DnsResult(), test.result) << test.host;
    }

    m_log.clear();
    m_socket.DnsLookup("localhost");
    EXPECT_TRUE(m_log.empty()) << "a name was answered inside DnsLookup";
    EXPECT_TRUE(m_socket.DnsResult().empty());
    ASSERT_TRUE(RunUntil([&] { return !m_log.empty(); }, 10000));
    EXPECT_EQ(m_log, std::vector<std::string> { "dns 0" });
    EXPECT_EQ(m_socket.DnsResult(), "127.0.0.1");
    ASSERT_FALSE(m_socket.DnsResultList().empty());
    EXPECT_EQ(m_socket.DnsResultList().front(), "127.0.0.1");

    m_log.clear();
    m_socket.DnsLookup("no-such-host.invalid");
    ASSERT_TRUE(RunUntil([&] { return !m_log.empty(); }, 10000));
    // Without a reachable name server the resolver may only say "try again".
    EXPECT_TRUE(m_log.front() == "dns 11001" || m_log.front() == "dns 11002") << m_log.front();
    EXPECT_TRUE(m_socket.DnsResult().empty());
}

TEST_F(WSocketTest, EmptyHostNameIsRefused)
{
    EXPECT_EQ(ErrorOf([&] { m_socket.DnsLookup(""); }), "DNS lookup: invalid host name.");
    EXPECT_TRUE(m_log.empty());

    int errors = 0;
    m_socket.OnError = [&](TWSocket&) { ++errors; };
    m_socket.DnsLookup("");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(m_log, std::vector<std::string> { "dns 10022" });
}

TEST_F(WSocketTest, CancelledOrAbandonedLookupsNeverAnswerLate)
{
    m_socket.DnsLookup("localhost");
    m_socket.CancelDnsLookup();
    EXPECT_EQ(m_log, std::vector<std::string> { "dns 10004" });
    m_socket.CancelDnsLookup();
    EXPECT_EQ(m_log.size(), 1u) << "cancelling with no lookup running reported something";

    // A new lookup cancels the running one; only the new one answers.
    m_log.clear();
    m_socket.DnsLookup("no-such-host.invalid");
    m_socket.DnsLookup("localhost");
    ASSERT_TRUE(RunUntil([&] { return m_log.size() >= 2; }, 10000));
    RunFor(100);
    EXPECT_EQ(m_log, (std::vector<std::string> { "dns 10004", "dns 0" }));

    // A socket destroyed while its lookup runs is never called back.
    bool called = false;
    {
        TWSocket doomed(m_loop);
        doomed.OnDnsLookupDone = [&](TWSocket&, int) { called = true; };
        doomed.DnsLookup("localhost");
    }
    RunFor(200);
    EXPECT_FALSE(called);
}

TEST_F(WSocketTest, LargeBlocksLeaveThroughTheQueueInOrder)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    ShrinkSendBuffer();
    peer.SetNonBlocking();
    std::string atPeer;
    bool peerOpen = true;
    auto watch = m_loop.WatchFd(peer.Fd(), [&](bool, bool) { peerOpen = peer.ReadAvailable(atPeer); });
    watch->SetEvents(true, false);

    // Far more than the socket buffers hold, so the queue must wait for the peer.
    const std::string big = Pattern(3 * 1024 * 1024 + 17);
    m_log.clear();
    EXPECT_EQ(m_socket.SendStr("x"), 1);
    EXPECT_EQ(m_socket.SendStr(std::string(1513, 'y')), 1513);
    EXPECT_EQ(m_socket.Send(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
    EXPECT_FALSE(m_socket.AllSent());
    ASSERT_TRUE(RunUntil([&] { return atPeer.size() == 1 + 1513 + big.size(); }, 10000))
        << atPeer.size() << " bytes arrived, all sent " << m_socket.AllSent() << Describe(peer.Fd())
        << Describe(m_socket.HSocket());
    ASSERT_TRUE(RunUntil([&] { return m_socket.AllSent() && Count("sent 0") >= 1; }));
    RunFor(20);
    EXPECT_EQ(atPeer, "x" + std::string(1513, 'y') + big);
    // The two small sends left at once and are reported from the loop; the big one once, at its end.
    EXPECT_GE(Count("sent 0"), 1);
    EXPECT_LE(Count("sent 0"), 3);
    EXPECT_EQ(m_log.back(), "sent 0");
    EXPECT_TRUE(peerOpen);
}

TEST_F(WSocketTest, ReceivesAMegabyteInOrderAndInTime)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    const std::string body = Pattern(1024 * 1024);
    std::string got;
    m_socket.OnDataAvailable = [&](TWSocket& socket, int) {
        char buffer[65536];
        const int count = socket.Receive(buffer, sizeof buffer);
        if (count > 0)
            got.append(buffer, static_cast<std::size_t>(count));
    };
    std::thread writer([&] {
        peer.Write(body);
        peer.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    const bool closed = RunUntil([&] { return Count("closed 0") == 1; }, 10000);
    writer.join();
    ASSERT_TRUE(closed);
    EXPECT_TRUE(got == body) << got.size() << " bytes arrived";
    EXPECT_EQ(m_socket.ReadCount(), static_cast<std::int64_t>(body.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(WSocketTest, DataNoHandlerTakesIsDrainedAndTheCloseStillSeen)
{
    m_socket.OnDataAvailable = nullptr;
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(peer.Write(Pattern(5000)));
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return Count("closed 0") == 1; }));
    EXPECT_EQ(m_socket.State(), wsClosed);
}

TEST_F(WSocketTest, PeerResetEndsTheSessionWithItsError)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    peer.Reset();
    ASSERT_TRUE(RunUntil([&] { return m_socket.State() == wsClosed; }));
    EXPECT_EQ(Count("closed 10054"), 1);
    EXPECT_EQ(Count("closed 0"), 0);
}

TEST_F(WSocketTest, AbortDropsQueuedOutputAndCloses)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    ShrinkSendBuffer();
    const std::string big = Pattern(1024 * 1024);
    m_socket.Send(big.data(), static_cast<int>(big.size()));
    ASSERT_FALSE(m_socket.AllSent()) << "the peer took 1 MB without reading";
    m_log.clear();
    m_socket.Abort();
    EXPECT_EQ(m_log, (std::vector<std::string> { "state connected>closed", "closed 0" }));
    EXPECT_TRUE(m_socket.AllSent());
    RunFor(30);
    EXPECT_EQ(Count("sent 0"), 0);
    EXPECT_EQ(Count("closed 0"), 1);

    // Abort during a lookup cancels it.
    m_log.clear();
    m_socket.DnsLookup("localhost");
    m_socket.Abort();
    RunFor(100);
    EXPECT_EQ(m_log, std::vector<std::string> { "dns 10004" });
}

TEST_F(WSocketTest, SettingsChangeOnlyWhileClosed)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(ErrorOf([&] { m_socket.SetAddr("10.0.0.1"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(ErrorOf([&] { m_socket.SetPort("81"); }), "Cannot change Port if not closed");
    EXPECT_EQ(ErrorOf([&] { m_socket.SetProto("udp"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(ErrorOf([&] { m_socket.SetLocalPort("5"); }), "Cannot change LocalPort if not closed");
    EXPECT_EQ(ErrorOf([&] { m_socket.Connect(); }), "Connect: Socket already in use");
    EXPECT_EQ(m_socket.Addr(), "127.0.0.1");
    EXPECT_EQ(m_socket.Port(), m_server.Port());

    int errors = 0;
    m_socket.OnError = [&](TWSocket&) { ++errors; };
    m_socket.SetPort("81");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(m_socket.Port(), m_server.Port());
    EXPECT_EQ(m_socket.State(), wsConnected);
}

TEST_F(WSocketTest, SendWhileNotConnectedIsRefused)
{
    EXPECT_EQ(
        ErrorOf([&] { m_socket.SendStr("x"); }), "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(m_socket.LastError(), 10057);

    int errors = 0;
    m_socket.OnError = [&](TWSocket&) { ++errors; };
    EXPECT_EQ(m_socket.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    char buffer[4];
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer), -1);
    EXPECT_EQ(m_socket.ReceiveStr(), "");
}

TEST_F(WSocketTest, BadConnectSettingsAreReportedWithoutOpeningAnything)
{
    struct TCase {
        std::string addr, port, proto, message;
    };

    const std::string longPort(32, '8');
    for (const TCase& test : std::vector<TCase> {
             { "127.0.0.1", "", "tcp", "Connect: No Port Specified" },
             { "", "80", "tcp", "Connect: No IP Address Specified" },
             { "127.0.0.1", "80", "", "Connect: No Protocol Specified" },
             { "127.0.0.1", "99999", "tcp", "WSocketResolvePort: Cannot convert port '99999'" },
             { "127.0.0.1", "99999999999999999999", "tcp",
                 "WSocketResolvePort: Cannot convert port '99999999999999999999'" },
             { "127.0.0.1", "no-such-service", "tcp",
                 "WSocketResolvePort: Cannot convert port 'no-such-service'" },
             { "127.0.0.1", longPort, "tcp", "WSocketResolvePort: Invalid Port." },
             { "127.0.0.1", "80", "no-such-proto",
                 "WSocketResolveProto: Cannot convert protocol 'no-such-proto'" },
             { "1.2.3.999", "80", "tcp", "WSocketResolveHost: '1.2.3.999' Invalid IP address." },
             { "1..2", "80", "tcp", "WSocketResolveHost: '1..2' Invalid IP address." },
         }) {
        TWSocket socket(m_loop);
        int states = 0;
        socket.OnChangeState = [&](TWSocket&, TSocketState, TSocketState) { ++states; };
        socket.SetAddr(test.addr);
        socket.SetPort(test.port);
        socket.SetProto(test.proto);
        EXPECT_EQ(ErrorOf([&] { socket.Connect(); }), test.message);
        EXPECT_EQ(socket.State(), wsClosed) << test.message;
        EXPECT_EQ(states, 0) << test.message;
    }
}

TEST_F(WSocketTest, PortsAndNamesConnectTheWayTheyAreWritten)
{
    // A port with leading blanks and trailing text still names the number; a host name is
    // resolved on the spot.
    m_socket.SetAddr("localhost");
    m_socket.SetPort("  " + m_server.Port() + "x");
    m_socket.Connect();
    ASSERT_TRUE(RunUntil([&] { return m_socket.State() == wsConnected; }));
    TPeer peer(m_server.Accept());
    EXPECT_TRUE(peer.Valid());
}

TEST_F(WSocketTest, HandlerExceptionsEndInOnBgExceptionAndAbort)
{
    TPeer peer(ConnectToServer());
    ASSERT_TRUE(peer.Valid());
    std::string caught;
    m_socket.OnBgException = [&](TWSocket&, const std::exception& e, bool& canClose) {
        caught = e.what();
        EXPECT_TRUE(canClose);
    };
    m_socket.OnDataAvailable = [](TWSocket&, int) { throw std::runtime_error("line too long"); };
    ASSERT_TRUE(peer.Write("data"));
    ASSERT_TRUE(RunUntil([&] { return m_socket.State() == wsClosed; }));
    EXPECT_EQ(caught, "line too long");
    EXPECT_EQ(Count("closed 0"), 1);

    // A handler that keeps the connection open.
    TPeer second(ConnectToServer());
    ASSERT_TRUE(second.Valid());
    int thrown = 0;
    m_socket.OnBgException = [](TWSocket&, const std::exception&, bool& canClose) { canClose = false; };
    m_socket.OnDataAvailable = [&](TWSocket& socket, int) {
        socket.ReceiveStr();
        ++thrown;
        throw std::runtime_error("once");
    };
    ASSERT_TRUE(second.Write("data"));
    ASSERT_TRUE(RunUntil([&] { return thrown == 1; }));
    RunFor(20);
    EXPECT_EQ(m_socket.State(), wsConnected);
}

TEST_F(WSocketTest, SocketDestroyedByItsOwnHandler)
{
    auto doomed = std::make_unique<TWSocket>(m_loop);
    doomed->SetAddr("127.0.0.1");
    doomed->SetPort(m_server.Port());
    bool sawData = false;
    doomed->OnDataAvailable = [&](TWSocket&, int) {
        sawData = true;
        doomed.reset();
    };
    doomed->Connect();
    ASSERT_TRUE(RunUntil([&] { return doomed->State() == wsConnected; }));
    TPeer peer(m_server.Accept());
    ASSERT_TRUE(peer.Write("boom"));
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return doomed == nullptr; }));
    RunFor(20);
    EXPECT_TRUE(sawData);

    // Destroyed from OnSessionClosed, and with a posted OnDataSent still pending.
    doomed = std::make_unique<TWSocket>(m_loop);
    doomed->SetAddr("127.0.0.1");
    doomed->SetPort(m_server.Port());
    doomed->OnSessionClosed = [&](TWSocket&, int) { doomed.reset(); };
    doomed->Connect();
    ASSERT_TRUE(RunUntil([&] { return doomed->State() == wsConnected; }));
    TPeer other(m_server.Accept());
    doomed->SendStr("pending");
    doomed->Close();
    EXPECT_EQ(doomed, nullptr);
    RunFor(20);
}
