#include "base/PollEventLoop.h"
#include "net/HttpProt.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

namespace pivrel::net {
namespace {

    using testsupport::MakeRedirect;
    using testsupport::MakeResponse;
    using testsupport::TCertificateFiles;
    using testsupport::TLoopbackHttpServer;
    using testsupport::TTempDir;
    using testsupport::TTestCertificates;

    // A proxy on 127.0.0.1 that answers one CONNECT request with status and, when that is 200,
    // relays bytes both ways to the port asked for. It records the CONNECT request.
    class TConnectProxy
    {
    public:
        explicit TConnectProxy(std::string status)
            : m_status(std::move(status))
        {
            m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t size = sizeof address;
            bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            listen(m_listenFd, 4);
            getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size);
            m_port = ntohs(address.sin_port);
            m_thread = std::thread([this] { Run(); });
        }

        ~TConnectProxy()
        {
            m_stopping = true;
            m_thread.join();
            close(m_listenFd);
        }

        int Port() const { return m_port; }

        // Read only after the client is done.
        const std::string& Request() const { return m_request; }

    private:
        bool Readable(int fd) const
        {
            pollfd entry { fd, POLLIN, 0 };
            return poll(&entry, 1, 50) > 0;
        }

        void Run()
        {
            while (!m_stopping && !Readable(m_listenFd)) { }
            if (m_stopping)
                return;
            const int client = accept(m_listenFd, nullptr, nullptr);
            char byte = 0;
            while (!m_stopping && m_request.find("\r\n\r\n") == std::string::npos)
                if (Readable(client) && recv(client, &byte, 1, 0) == 1)
                    m_request += byte;
            const std::string reply = "HTTP/1.0 " + m_status + "\r\n\r\n";
            send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            if (m_status.rfind("200", 0) == 0)
                Relay(client, ConnectToRequestedPort());
            close(client);
        }

        int ConnectToRequestedPort() const
        {
            const std::size_t colon = m_request.find(':');
            const int port = std::atoi(m_request.c_str() + colon + 1);
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            return fd;
        }

        void Relay(int a, int b)
        {
            char buffer[16384];
            while (!m_stopping) {
                pollfd entries[2] = { { a, POLLIN, 0 }, { b, POLLIN, 0 } };
                if (poll(entries, 2, 50) <= 0)
                    continue;
                for (int i = 0; i < 2; ++i) {
                    if (!(entries[i].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    const auto count = recv(entries[i].fd, buffer, sizeof buffer, 0);
                    if (count <= 0) {
                        close(b);
                        return;
                    }
                    send(entries[1 - i].fd, buffer, static_cast<std::size_t>(count), MSG_NOSIGNAL);
                }
            }
            close(b);
        }

        std::string m_status;
        int m_listenFd = -1;
        int m_port = 0;
        std::string m_request;
        std::atomic<bool> m_stopping { false };
        std::thread m_thread;
    };

    class TlsTest : public ::testing::Test
    {
    protected:
        TlsTest()
        {
            m_deadline = m_loop.StartTimer(8000, false, [this] { m_cli.Abort(); });
            m_cli.SetDocStream(&m_body);
            m_cli.SetCaFile(m_certificates.Authority);
        }

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

        TTempDir m_dir;
        TTestCertificates m_certificates { m_dir.Path() };
        base::TPollEventLoop m_loop;
        THttpCli m_cli { m_loop };
        std::ostringstream m_body;
        std::string m_message;
        std::unique_ptr<base::TEventHandle> m_deadline;
    };

    TEST_F(TlsTest, TrustedCertificateFetchesTheDocument)
    {
        TLoopbackHttpServer server(&m_certificates.Good);
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, "<wml/>"));
        m_cli.SetURL(server.Url("/deck.wml"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_body.str(), "<wml/>");
        EXPECT_TRUE(m_cli.Secure());
        const std::string request = server.Requests().at(0);
        EXPECT_EQ(request.substr(0, 24), "GET /deck.wml HTTP/1.0\r\n");
        EXPECT_NE(request.find("\r\nHost: " + server.HostPort() + "\r\n"), std::string::npos);
    }

    TEST_F(TlsTest, RefusedCertificatesFailBeforeAnythingIsSent)
    {
        struct Case {
            const TCertificateFiles* files;
            bool trustAuthority;
            std::string reason;
        };

        const Case cases[] = {
            { &m_certificates.Expired, true, "The certificate of 127.0.0.1 has expired" },
            { &m_certificates.WrongHost, true, "The certificate is for another host than 127.0.0.1" },
            { &m_certificates.SelfSigned, true, "The certificate of 127.0.0.1 is self-signed" },
            { &m_certificates.Good, false, "The certificate of 127.0.0.1 comes from an unknown issuer" },
        };
        for (const Case& c : cases) {
            TLoopbackHttpServer server(c.files);
            server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "secret"));
            m_cli.SetCaFile(c.trustAuthority ? m_certificates.Authority : "");
            m_cli.SetURL(server.Url("/"));
            m_body.str("");
            EXPECT_EQ(GetCode(), THttpCli::kLocalFailureStatus) << c.reason;
            EXPECT_EQ(m_message, c.reason);
            EXPECT_EQ(m_cli.RequestDoneError(), kTlsFailure) << c.reason;
            EXPECT_EQ(m_body.str(), "") << c.reason;
            EXPECT_EQ(server.RequestCount(), 0u) << c.reason;
        }
    }

    TEST_F(TlsTest, LargeBodyArrivesWhole)
    {
        TLoopbackHttpServer server(&m_certificates.Good);
        std::string body(1000 * 1000 + 17, 'x');
        for (std::size_t i = 0; i < body.size(); i += 997)
            body[i] = static_cast<char>('a' + i % 26);
        server.AddResponse(
            MakeResponse("HTTP/1.0 200 OK", { "Content-Length: " + std::to_string(body.size()) }, body));
        m_cli.SetURL(server.Url("/big"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_TRUE(m_body.str() == body);
    }

    TEST_F(TlsTest, UnreadableTrustFileIsNamedInTheReason)
    {
        TLoopbackHttpServer server(&m_certificates.Good);
        m_cli.SetCaFile(m_dir.Path() + "/missing.pem");
        m_cli.SetURL(server.Url("/"));
        EXPECT_EQ(GetCode(), THttpCli::kLocalFailureStatus);
        EXPECT_NE(m_message.find("missing.pem"), std::string::npos) << m_message;
    }

    TEST_F(TlsTest, ProxyTunnelCarriesTheProxyCredentialsOnlyOutside)
    {
        TLoopbackHttpServer server(&m_certificates.Good);
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "tunnelled"));
        TConnectProxy proxy("200 Connection established");
        m_cli.SetProxy("127.0.0.1");
        m_cli.SetProxyPort(std::to_string(proxy.Port()));
        m_cli.SetProxyUsername("pu");
        m_cli.SetProxyPassword("pp");
        m_cli.SetURL(server.Url("/t"));
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_EQ(m_body.str(), "tunnelled");
        const std::string connect = proxy.Request();
        EXPECT_EQ(connect.substr(0, connect.find("\r\n")), "CONNECT " + server.HostPort() + " HTTP/1.0");
        EXPECT_NE(connect.find("Proxy-Authorization: Basic cHU6cHA=\r\n"), std::string::npos);
        const std::string request = server.Requests().at(0);
        EXPECT_EQ(request.substr(0, 17), "GET /t HTTP/1.0\r\n");
        EXPECT_EQ(request.find("Proxy-Authorization"), std::string::npos);
    }

    TEST_F(TlsTest, ProxyRefusingTheTunnelFailsWithItsStatus)
    {
        TConnectProxy proxy("407 Proxy Authentication Required");
        m_cli.SetProxy("127.0.0.1");
        m_cli.SetProxyPort(std::to_string(proxy.Port()));
        m_cli.SetURL("https://127.0.0.1:9/");
        EXPECT_EQ(GetCode(), THttpCli::kLocalFailureStatus);
        EXPECT_EQ(
            m_message, "The proxy refused the secure connection: HTTP/1.0 407 Proxy Authentication Required");
    }

    TEST_F(TlsTest, CredentialsNeverFollowToClearText)
    {
        TLoopbackHttpServer plain;
        plain.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "plain"));
        TLoopbackHttpServer secure(&m_certificates.Good);
        secure.AddResponse(MakeRedirect(302, plain.Url("/after")));
        m_cli.SetURL("https://user:pw@" + secure.HostPort() + "/login");
        ASSERT_EQ(GetCode(), 0) << m_message;
        EXPECT_NE(secure.Requests().at(0).find("Authorization: Basic dXNlcjpwdw=="), std::string::npos);
        EXPECT_EQ(plain.Requests().at(0).find("Authorization"), std::string::npos);
        EXPECT_FALSE(m_cli.Secure());
    }

} // namespace
} // namespace pivrel::net
