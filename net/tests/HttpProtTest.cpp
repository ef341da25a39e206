#include "net/HttpProt.h"

#include "base/PollEventLoop.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"

namespace pivrel::net {
namespace {

    using testsupport::MakeRedirect;
    using testsupport::MakeResponse;
    using testsupport::TLoopbackHttpServer;
    using testsupport::TScriptedResponse;

    const std::string kWml = "<?xml version=\"1.0\"?>\r\n<wml><card id=\"a\"><p>Hi</p></card></wml>\r\n";

    // A port on 127.0.0.1 that nothing listens on.
    int ClosedPort()
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        close(fd);
        return ntohs(address.sin_port);
    }

    class HttpCliTest : public ::testing::Test
    {
    protected:
        HttpCliTest()
        {
            // Every wait of these tests ends: a request still running after this long is aborted.
            m_deadline = m_loop.StartTimer(8000, false, [this] {
                m_timedOut = true;
                m_cli.Abort();
            });
            m_cli.SetDocStream(&m_body);
        }

        void UseEngineSettings()
        {
            m_cli.SetAccept("text/x-wap,wml,*/*");
            m_cli.SetAgent("Pivrel 2.2 WML 1.1");
        }

        // Runs Get and returns the error code it raised, 0 when it returned normally.
        int GetCode()
        {
            try {
                m_cli.Get();
            } catch (const EHttpException& e) {
                m_message = e.what();
                return e.ErrorCode();
            }
            return 0;
        }

        int PostCode(const std::string& body)
        {
            m_post.str(body);
            m_post.clear();
            m_cli.SetSendStream(&m_post);
            try {
                m_cli.Post();
            } catch (const EHttpException& e) {
                m_message = e.what();
                return e.ErrorCode();
            }
            return 0;
        }

        // Turns the loop until the posted notices of a finished request have run.
        void Settle()
        {
            for (int i = 0; i < 5; ++i)
                m_loop.WaitAndProcess(10);
        }

        std::string Request(std::size_t i) const
        {
            const auto requests = m_server.Requests();
            return i < requests.size() ? requests[i] : std::string("<none>");
        }

        base::TPollEventLoop m_loop;
        TLoopbackHttpServer m_server;
        THttpCli m_cli { m_loop };
        std::ostringstream m_body;
        std::istringstream m_post;
        std::string m_message;
        bool m_timedOut = false;
        std::unique_ptr<base::TEventHandle> m_deadline;
    };

    TEST_F(HttpCliTest, SendsTheExactRequestForEachForm)
    {
        UseEngineSettings();
        const std::string host = "Host: " + m_server.HostPort() + "\r\n";
        for (int i = 0; i < 6; ++i)
            m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "x"));

        m_cli.SetURL(m_server.Url("/dir/deck.wml"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(0),
            "GET /dir/deck.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\nUser-Agent: Pivrel 2.2 WML 1.1\r\n"
                + host + "\r\n");

        // No path: the root; the Host line carries a port other than the scheme's own.
        m_cli.SetURL(m_server.HostPort());
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(1).substr(0, 16), "GET / HTTP/1.0\r\n");
        EXPECT_NE(Request(1).find(host), std::string::npos);
        EXPECT_EQ(m_cli.DocName(), "index.wml");

        // A POST announces the bytes from the stream's position on and sends exactly those.
        m_cli.SetURL(m_server.Url("/post.wml"));
        m_post.str("skip&a=1&b=x y");
        m_post.seekg(5);
        m_cli.SetSendStream(&m_post);
        m_cli.Post();
        EXPECT_EQ(Request(2),
            "POST /post.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nUser-Agent: Pivrel 2.2 WML 1.1\r\n"
                + host + "Content-Length: 9\r\n\r\na=1&b=x y");
        EXPECT_EQ(m_cli.SentCount(), 9);

        // Through a proxy: the whole address in the request line, the target host in Host,
        // the proxy credentials after Content-Length.
        m_cli.SetProxy("127.0.0.1");
        m_cli.SetProxyPort(m_server.PortText());
        m_cli.SetProxyUsername("puser");
        m_cli.SetProxyPassword("ppw");
        m_cli.SetURL("http://wap.example.invalid:8080/x.wml#card2");
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(3),
            "GET http://wap.example.invalid:8080/x.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\n"
            "User-Agent: Pivrel 2.2 WML 1.1\r\nHost: wap.example.invalid:8080\r\n"
            "Proxy-Authorization: Basic cHVzZXI6cHB3\r\n\r\n");
        m_cli.SetProxy("http://127.0.0.1:" + m_server.PortText());
        m_cli.SetProxyPort("1");
        m_cli.SetURL("wap.example.invalid");
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(4).substr(0, 42), "GET http://wap.example.invalid/ HTTP/1.0\r\n");

        // Credentials in the address stay with the client for later requests.
        m_cli.SetProxy("");
        m_cli.SetURL("http://al:pw@127.0.0.1:" + m_server.PortText() + "/a");
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_NE(Request(5).find("\r\nAuthorization: Basic YWw6cHc=\r\n"), std::string::npos);
        EXPECT_EQ(m_cli.Username(), "al");
        EXPECT_EQ(m_cli.Password(), "pw");
        EXPECT_FALSE(m_timedOut);
    }

    TEST_F(HttpCliTest, WritesEveryOptionalHeaderInItsPlace)
    {
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, ""));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, ""));
        m_cli.SetURL(m_server.Url("/r"));
        m_cli.SetAccept("");
        m_cli.SetAgent("");
        m_cli.SetSender("me@example.org");
        m_cli.SetReference("http://ref/");
        m_cli.SetNoCache(true);
        m_cli.SetModifiedSince(1075803630);
        m_cli.SetUsername("u");
        m_cli.SetPassword("");
        m_cli.SetProxyUsername("ignored without a proxy");
        m_cli.SetCookie("k=v");
        m_cli.SetContentRangeBegin("10");
        std::vector<std::string> commands;
        m_cli.OnCommand = [&](THttpCli&, const std::string& line) { commands.push_back(line); };
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(0),
            "GET /r HTTP/1.0\r\nFrom: me@example.org\r\nReferer: http://ref/\r\nHost: " + m_server.HostPort()
                + "\r\n"
                  "Pragma: no-cache\r\nIf-Modified-Since: Tue, 03 Feb 2004 10:20:30 GMT\r\n"
                  "Authorization: Basic dTo=\r\nCookie: k=v\r\nRange: bytes=10-\r\n\r\n");
        ASSERT_EQ(commands.size(), 10u);
        EXPECT_EQ(commands.front(), "GET /r HTTP/1.0");
        EXPECT_EQ(commands.back(), "");
        // The range is asked for once.
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(1).find("Range:"), std::string::npos);
    }

    TEST_F(HttpCliTest, DeliversTheBodyWholeAndReportsTheResponse)
    {
        std::string big;
        for (int i = 0; i < 20000; ++i)
            big += static_cast<char>('a' + i % 26) + std::string(i % 97 == 0 ? "\r\n" : "");
        TScriptedResponse slow = MakeResponse(
            "HTTP/1.1 200 OK", { "Content-Type: Text/VND.wap.WML", "Content-Length: 7", "X-Other: 1" }, "");
        slow.Chunks.push_back(big.substr(0, 5000));
        slow.Chunks.push_back(big.substr(5000));
        slow.DelayMs = 20;
        m_server.AddResponse(slow);
        m_cli.SetURL(m_server.Url("/big"));
        std::vector<THttpState> states;
        m_cli.OnStateChange = [&](THttpCli& sender) { states.push_back(sender.State()); };
        int done = 0;
        m_cli.OnRequestDone = [&](THttpCli& sender, THttpRequest kind, std::uint16_t error) {
            EXPECT_EQ(sender.State(), httpReady);
            EXPECT_EQ(kind, httpGET);
            EXPECT_EQ(error, 0);
            ++done;
        };
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_body.str(), big);
        EXPECT_EQ(m_cli.StatusCode(), 200);
        EXPECT_EQ(m_cli.ReasonPhrase(), "OK");
        EXPECT_EQ(m_cli.ContentType(), "text/vnd.wap.wml");
        EXPECT_EQ(m_cli.ContentLength(), 7);
        EXPECT_EQ(m_cli.ReceivedCount(), static_cast<std::int64_t>(big.size()));
        EXPECT_EQ(m_cli.ResponseHeader(),
            (base::TStringList {
                "HTTP/1.1 200 OK", "Content-Type: Text/VND.wap.WML", "Content-Length: 7", "X-Other: 1" }));
        EXPECT_EQ(done, 0) << "the request-done notice comes from the loop, after Get returned";
        Settle();
        EXPECT_EQ(done, 1);
        EXPECT_EQ(states,
            (std::vector<THttpState> { httpNotConnected, httpDnsLookup, httpDnsLookupDone, httpConnected,
                httpWaitingHeader, httpWaitingBody, httpReady }));
    }

    TEST_F(HttpCliTest, ErrorStatusRaisesAndLeavesTheBodyUnread)
    {
        m_server.AddResponse(
            MakeResponse("HTTP/1.1 404 Not Found", { "Content-Type: text/html" }, "<html>missing</html>"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 500 Server Broke", {}, "trace"));
        m_cli.SetURL(m_server.Url("/missing.wml"));
        EXPECT_EQ(GetCode(), 404);
        EXPECT_EQ(m_message, "Not Found");
        EXPECT_EQ(m_cli.StatusCode(), 404);
        EXPECT_EQ(m_body.str(), "");
        EXPECT_EQ(m_cli.ResponseHeader(), base::TStringList { "HTTP/1.1 404 Not Found" });
        EXPECT_EQ(GetCode(), 500);
        EXPECT_EQ(m_message, "Server Broke");
        EXPECT_EQ(m_body.str(), "");
    }

    TEST_F(HttpCliTest, ResponseWithoutHeaderIsHtmlKeptWhole)
    {
        TScriptedResponse bare;
        bare.Chunks = { "<HTML>\r\n<body>one\r\n", "two</body>\n</HTML>" };
        bare.DelayMs = 20;
        m_server.AddResponse(bare);
        m_cli.SetURL(m_server.Url("/old"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_cli.ContentType(), "text/html");
        EXPECT_EQ(m_body.str(), "<HTML>\r\n<body>one\r\ntwo</body>\n</HTML>");
    }

    TEST_F(HttpCliTest, HeaderLinesMustFitTheReceiveBuffer)
    {
        const std::string fits(8000, 'f');
        const std::string tooLong(9000, 'x');
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "X-Fits: " + fits }, "body"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "X-Long: " + tooLong }, "body"));
        // Ending exactly at the buffer's size, without a line end and then the close.
        TScriptedResponse cut;
        cut.Chunks = { "HTTP/1.0 200 OK\r\n" + std::string(THttpCli::kReceiveBufferSize, 'y') };
        m_server.AddResponse(cut);
        m_cli.SetURL(m_server.Url("/h"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_body.str(), "body");
        EXPECT_EQ(m_cli.ResponseHeader().at(1), "X-Fits: " + fits);
        for (int round = 0; round < 2; ++round) {
            m_body.str("");
            EXPECT_EQ(GetCode(), 404) << round;
            EXPECT_EQ(m_message, "HTTP line too long");
            EXPECT_EQ(m_cli.RequestDoneError(), THttpCli::kErrLineTooLong);
            EXPECT_EQ(m_body.str(), "");
        }
        EXPECT_FALSE(m_timedOut);
    }

    TEST_F(HttpCliTest, FollowsRedirectionChains)
    {
        const std::string base = m_server.Url();
        m_server.AddResponse(MakeRedirect(302, base + "two.wml"));
        m_server.AddResponse(MakeRedirect(301, "/dir/three.wml#ignored"));
        m_server.AddResponse(MakeRedirect(303, "four.wml?q=1"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, kWml));
        int locationChanges = 0;
        m_cli.OnLocationChange = [&](THttpCli&) { ++locationChanges; };
        m_cli.SetURL(m_server.Url("/one.wml"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_body.str(), kWml) << "redirecting bodies are dropped";
        EXPECT_EQ(m_cli.Location(), base + "dir/four.wml?q=1");
        EXPECT_EQ(m_cli.RedirectionCount(), 3);
        EXPECT_EQ(locationChanges, 3);
        EXPECT_EQ(m_cli.ContentType(), "text/vnd.wap.wml");
        ASSERT_EQ(m_server.RequestCount(), 4u);
        EXPECT_EQ(Request(1).substr(0, 22), "GET /two.wml HTTP/1.0\r");
        EXPECT_EQ(Request(2).substr(0, 28), "GET /dir/three.wml HTTP/1.0\r");
        EXPECT_EQ(Request(3).substr(0, 31), "GET /dir/four.wml?q=1 HTTP/1.0\r");
        EXPECT_NE(Request(3).find("\r\nHost: " + m_server.HostPort() + "\r\n"), std::string::npos);
        // Only the final response's header lines are kept.
        EXPECT_EQ(m_cli.ResponseHeader().front(), "HTTP/1.0 200 OK");
        EXPECT_EQ(m_cli.ResponseHeader().size(), 2u);
    }

    TEST_F(HttpCliTest, RedirectionLoopEndsAsAFailure)
    {
        for (int i = 0; i <= THttpCli::kMaxRedirections + 2; ++i)
            m_server.AddResponse(MakeRedirect(302, "/loop"));
        m_cli.SetURL(m_server.Url("/loop"));
        EXPECT_EQ(GetCode(), 404);
        EXPECT_EQ(m_message, "Too many redirections");
        EXPECT_EQ(m_server.RequestCount(), static_cast<std::size_t>(THttpCli::kMaxRedirections + 1));
        EXPECT_FALSE(m_timedOut);
    }

    TEST_F(HttpCliTest, RedirectedPostBecomesGetExceptFor307And308)
    {
        m_server.AddResponse(MakeRedirect(302, "/after"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "ok"));
        m_server.AddResponse(MakeRedirect(307, "/again"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "ok"));
        m_cli.SetURL(m_server.Url("/form"));
        ASSERT_EQ(PostCode("n=1"), 0) << m_message;
        EXPECT_EQ(Request(0).substr(0, 21), "POST /form HTTP/1.0\r\n");
        EXPECT_EQ(Request(1).substr(0, 21), "GET /after HTTP/1.0\r\n");
        EXPECT_EQ(Request(1).find("Content-Length"), std::string::npos);
        EXPECT_EQ(Request(1).substr(Request(1).size() - 4), "\r\n\r\n");

        ASSERT_EQ(PostCode("n=2&m=3"), 0) << m_message;
        EXPECT_EQ(Request(3).substr(0, 21), "POST /again HTTP/1.0\r");
        EXPECT_NE(Request(3).find("Content-Length: 7\r\n\r\nn=2&m=3"), std::string::npos);
        EXPECT_EQ(Request(3).substr(Request(3).size() - 7), "n=2&m=3");
    }

    TEST_F(HttpCliTest, LongPostBodyGoesOutInChunksAndWhole)
    {
        std::string form;
        for (int i = 0; form.size() < 20000; ++i)
            form += "f" + std::to_string(i) + "=" + std::to_string(i * 7) + "&";
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "ok"));
        std::vector<int> chunks;
        int ends = 0;
        m_cli.OnSendData = [&](THttpCli&, const char*, int len) { chunks.push_back(len); };
        m_cli.OnSendEnd = [&](THttpCli&) { ++ends; };
        m_cli.SetURL(m_server.Url("/form"));
        ASSERT_EQ(PostCode(form), 0) << m_message;
        const std::string request = Request(0);
        EXPECT_NE(request.find("Content-Length: " + std::to_string(form.size()) + "\r\n"), std::string::npos);
        ASSERT_GE(request.size(), form.size());
        EXPECT_EQ(request.substr(request.size() - form.size()), form);
        EXPECT_EQ(chunks.size(), (form.size() + THttpCli::kSendChunkSize - 1) / THttpCli::kSendChunkSize);
        EXPECT_EQ(chunks.front(), THttpCli::kSendChunkSize);
        EXPECT_EQ(m_cli.SentCount(), static_cast<std::int64_t>(form.size()));
        // The answer may overtake the notice that the last chunk left.
        EXPECT_LE(ends, 1);
        EXPECT_EQ(m_body.str(), "ok");
    }

    TEST_F(HttpCliTest, RedirectionToAnotherHostThroughAProxy)
    {
        m_server.AddResponse(MakeRedirect(302, "http://other.invalid:81/x"));
        m_server.AddResponse(MakeRedirect(302, "/y"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "ok"));
        m_cli.SetProxy("127.0.0.1:" + m_server.PortText());
        m_cli.SetURL("http://first.invalid/start");
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(Request(1).substr(0, 38), "GET http://other.invalid:81/x HTTP/1.0");
        EXPECT_NE(Request(1).find("\r\nHost: other.invalid:81\r\n"), std::string::npos);
        EXPECT_EQ(Request(2).substr(0, 38), "GET http://other.invalid:81/y HTTP/1.0");
        EXPECT_EQ(m_cli.Location(), "http://other.invalid:81/y");
        EXPECT_EQ(m_cli.ConnectHost(), "127.0.0.1");
    }

    TEST_F(HttpCliTest, AbortEndsTheWaitInEveryPhase)
    {
        // During the name lookup: the abort is queued before the lookup can answer.
        m_cli.OnStateChange = [&](THttpCli& sender) {
            if (sender.State() == httpDnsLookup)
                m_loop.Post([&] { m_cli.Abort(); });
        };
        m_cli.SetURL("http://localhost:" + m_server.PortText() + "/a");
        EXPECT_EQ(GetCode(), 404);
        EXPECT_EQ(m_message, "Connection aborted on request");
        EXPECT_EQ(m_cli.RequestDoneError(), THttpCli::kErrAborted);

        // Inside the state change that starts the lookup: nothing may run on afterwards.
        m_cli.OnStateChange = [&](THttpCli& sender) {
            if (sender.State() == httpDnsLookup)
                sender.Abort();
        };
        EXPECT_EQ(GetCode(), 404);
        m_cli.OnStateChange = nullptr;
        Settle();
        EXPECT_EQ(m_cli.State(), httpReady);

        // During a body that never ends.
        TScriptedResponse endless = MakeResponse("HTTP/1.0 200 OK", {}, "part one");
        endless.KeepOpen = true;
        m_server.AddResponse(endless);
        m_cli.OnDocData = [&](THttpCli&, const char*, int) { m_loop.Post([&] { m_cli.Abort(); }); };
        m_cli.SetURL(m_server.Url("/endless"));
        EXPECT_EQ(GetCode(), 404);
        EXPECT_EQ(m_message, "Connection aborted on request");
        EXPECT_EQ(m_body.str(), "part one");
        EXPECT_EQ(m_server.RequestCount(), 1u);
        EXPECT_FALSE(m_timedOut);

        // A server that never answers keeps the request running until the caller's timer aborts.
        TScriptedResponse silent;
        silent.KeepOpen = true;
        m_server.AddResponse(silent);
        m_cli.OnDocData = nullptr;
        auto timer = m_loop.StartTimer(100, false, [&] { m_cli.Abort(); });
        EXPECT_EQ(GetCode(), 404);
        Settle();
        EXPECT_EQ(m_cli.State(), httpReady);
    }

    TEST_F(HttpCliTest, RefusesToStartWhenBusyOrWithoutABody)
    {
        m_cli.SetURL("http://localhost:" + m_server.PortText() + "/a");
        m_cli.StartRequest(httpGET);
        try {
            m_cli.StartRequest(httpGET);
            ADD_FAILURE() << "a second request started";
        } catch (const EHttpException& e) {
            EXPECT_EQ(std::string(e.what()), "HTTP component is busy");
            EXPECT_EQ(e.ErrorCode(), THttpCli::kErrBusy);
        }
        m_cli.Abort();
        EXPECT_EQ(m_cli.State(), httpReady);
        m_cli.SetSendStream(nullptr);
        try {
            m_cli.Post();
            ADD_FAILURE() << "posted nothing";
        } catch (const EHttpException& e) {
            EXPECT_EQ(std::string(e.what()), "HTTP component has nothing to post");
            EXPECT_EQ(e.ErrorCode(), THttpCli::kErrNothingToPost);
        }
        EXPECT_EQ(m_cli.State(), httpReady);
    }

    TEST_F(HttpCliTest, ConnectionFailuresEndTheRequest)
    {
        m_cli.SetURL("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/");
        EXPECT_EQ(GetCode(), 404);
        EXPECT_EQ(m_message, "Connection refused (Error #10061)");
        EXPECT_EQ(m_cli.RequestDoneError(), 10061);

        // Addresses without a host, or with a port that is no number, fail instead of hanging.
        for (const char* url : { "http:///x", "/", "http://127.0.0.1:http-alt-nonsense/" }) {
            m_cli.SetURL(url);
            EXPECT_EQ(GetCode(), 404) << url;
            EXPECT_FALSE(m_message.empty()) << url;
            EXPECT_EQ(m_cli.State(), httpReady) << url;
        }
        EXPECT_FALSE(m_timedOut);
    }

    TEST_F(HttpCliTest, BodyLimitStopsBeforeTheExcessIsWritten)
    {
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, std::string(5000, 'b')));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, std::string(1000, 'c')));
        m_cli.SetMaxBodySize(1000);
        m_cli.SetURL(m_server.Url("/huge"));
        EXPECT_EQ(GetCode(), THttpCli::kBodyTooLargeStatus);
        EXPECT_LE(m_body.str().size(), 1000u);
        EXPECT_EQ(m_cli.RequestDoneError(), THttpCli::kErrBodyTooLarge);
        m_body.str("");
        ASSERT_EQ(GetCode(), 0) << "exactly the limit passes";
        EXPECT_EQ(m_body.str(), std::string(1000, 'c'));
    }

    TEST_F(HttpCliTest, EachResponseStatesItsOwnType)
    {
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, kWml));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "WWW-Authenticate: Basic realm=\"r\"" }, "x"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "y"));
        m_cli.SetURL(m_server.Url("/a"));
        ASSERT_EQ(GetCode(), 0);
        EXPECT_EQ(m_cli.ContentType(), "text/vnd.wap.wml");
        ASSERT_EQ(GetCode(), 0);
        EXPECT_EQ(m_cli.ContentType(), "");
        EXPECT_EQ(m_cli.AuthenticateLines(), base::TStringList { "Basic realm=\"r\"" });
        ASSERT_EQ(GetCode(), 0);
        EXPECT_TRUE(m_cli.AuthenticateLines().empty());
    }

    TEST_F(HttpCliTest, ConnectionClosedBeforeAnyStatusFails)
    {
        TScriptedResponse nothing;
        m_server.AddResponse(nothing);
        m_cli.SetURL(m_server.Url("/"));
        EXPECT_EQ(GetCode(), THttpCli::kLocalFailureStatus);
        EXPECT_EQ(m_cli.RequestDoneError(), THttpCli::kErrIncomplete);
        EXPECT_EQ(m_message, "The server closed the connection without an answer");
        EXPECT_EQ(m_body.str(), "");
    }

    TEST_F(HttpCliTest, DestroyedClientLeavesNoNoticeBehind)
    {
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "x"));
        {
            THttpCli local(m_loop);
            local.SetURL(m_server.Url("/"));
            local.StartRequest(httpGET);
            for (int i = 0; i < 100 && local.State() != httpReady; ++i)
                m_loop.WaitAndProcess(20);
            EXPECT_EQ(local.State(), httpReady);
        }
        Settle();
        THttpCli early(m_loop);
        early.SetURL("http://localhost:" + m_server.PortText() + "/");
        early.StartRequest(httpGET);
    }

    TEST_F(HttpCliTest, HeaderFieldsReachTheClient)
    {
        std::vector<std::string> cookies;
        m_cli.OnCookie = [&](THttpCli&, const std::string& data, bool& accept) {
            EXPECT_TRUE(accept);
            cookies.push_back(data);
        };
        TScriptedResponse split;
        split.Chunks = { "HTTP/1.1 200 Fine\r\nContent-Type: TEXT/plain\r\nContent-Ra",
            "nge: bytes 10-20/300\nSet-", "Cookie: a=b\r\n\r\nline1\r\nline2\nrest" };
        m_server.AddResponse(split);
        m_cli.SetURL(m_server.Url("/r"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_cli.ReasonPhrase(), "Fine");
        EXPECT_EQ(m_cli.ContentType(), "text/plain");
        EXPECT_EQ(m_cli.ContentRangeBegin(), "10");
        EXPECT_EQ(m_cli.ContentRangeEnd(), "20");
        EXPECT_EQ(cookies, std::vector<std::string> { "a=b" });
        EXPECT_EQ(m_body.str(), "line1\r\nline2\nrest");
        EXPECT_EQ(m_cli.ResponseHeader().size(), 4u);
    }

    TEST_F(HttpCliTest, ErrorStatusInTheSameBlockAsItsBodyDeliversNothing)
    {
        int docBegins = 0;
        m_cli.OnDocBegin = [&](THttpCli&) { ++docBegins; };
        TScriptedResponse oneBlock;
        oneBlock.Chunks = { "HTTP/1.0 403 Forbidden\r\nContent-Type: text/html\r\n\r\nsecret body" };
        m_server.AddResponse(oneBlock);
        m_cli.SetURL(m_server.Url("/"));
        EXPECT_EQ(GetCode(), 403);
        EXPECT_EQ(m_body.str(), "");
        EXPECT_EQ(docBegins, 0);
    }

    TEST_F(HttpCliTest, EndlessHeaderIsRefused)
    {
        TScriptedResponse endless;
        endless.Chunks = { "HTTP/1.0 200 OK\r\n" };
        for (int i = 0; i < 5000; ++i)
            endless.Chunks[0] += "X: y\r\n";
        endless.Chunks[0] += "\r\nbody";
        m_server.AddResponse(endless);
        m_cli.SetURL(m_server.Url("/"));
        EXPECT_EQ(GetCode(), THttpCli::kLocalFailureStatus);
        EXPECT_EQ(m_message, "HTTP header too long");
        EXPECT_EQ(m_cli.RequestDoneError(), THttpCli::kErrLineTooLong);
        EXPECT_LE(m_cli.ResponseHeader().size(), 1000u);
        EXPECT_EQ(m_body.str(), "");
    }

    TEST_F(HttpCliTest, ExeDocumentServedAsHtmlIsRenamed)
    {
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/html" }, "x"));
        m_server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/plain" }, "x"));
        m_cli.SetURL(m_server.Url("/cgi/Run.EXE"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_cli.DocName(), "Run.htm");
        m_cli.SetURL(m_server.Url("/cgi/run.exe"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_cli.DocName(), "run.exe");
    }

} // namespace
} // namespace pivrel::net
