// Fetching a deck from a server on 127.0.0.1: the HTTP client alone and the engine's whole
// navigation (fetch into the temporary file, read back, parse), each beside the floor of a bare
// blocking socket asking for the same bytes in the same run.
#include "base/PollEventLoop.h"
#include "engine/WMLBrowser.h"
#include "net/HttpProt.h"

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <ostream>
#include <poll.h>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "bench/CountingBuf.h"
#include "bench/DeckGenerator.h"

namespace {

constexpr std::size_t kKilobyte = 1000;
constexpr std::size_t kMegabyte = 1000 * 1000;

// Serves one fixed response to every connection, one connection at a time, as a small HTTP/1.0
// server does: read the request header, write header and body, close.
class TFixedServer
{
public:
    explicit TFixedServer(std::string response)
        : m_response(std::move(response))
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(m_listenFd, 64) != 0
            || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }

    ~TFixedServer()
    {
        m_stopping = true;
        m_thread.join();
        ::close(m_listenFd);
    }

    TFixedServer(const TFixedServer&) = delete;
    TFixedServer& operator=(const TFixedServer&) = delete;

    int Port() const { return m_port; }

private:
    void Run()
    {
        while (!m_stopping) {
            pollfd ready { m_listenFd, POLLIN, 0 };
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            Serve(fd);
            ::close(fd);
        }
    }

    void Serve(int fd)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            request.append(buffer, std::size_t(n));
        }
        std::size_t sent = 0;
        while (sent < m_response.size()) {
            const ssize_t n = ::send(fd, m_response.data() + sent, m_response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += std::size_t(n);
        }
    }

    std::string m_response;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping { false };
    std::thread m_thread;
};

std::string Response(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/vnd.wap.wml\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n\r\n" + body;
}

using pivrel::bench::TCountingBuf;

struct TFixture {
    explicit TFixture(std::size_t deckBytes)
        : Deck(pivrel::bench::GenerateDeck(deckBytes))
        , Server(Response(Deck))
        , Url("http://127.0.0.1:" + std::to_string(Server.Port()) + "/deck.wml")
    { }

    std::string Deck;
    TFixedServer Server;
    std::string Url;
};

// The same request a browser sends, over a blocking socket, read in 64 KiB steps to the close.
std::size_t BareFetch(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return 0;
    }
    const std::string request = "GET /deck.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\n"
                                "User-Agent: Pivrel 2.2 WML 1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    static char buffer[1 << 16];
    std::size_t received = 0;
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        received += std::size_t(n);
    ::close(fd);
    return received;
}

void BM_BareSocketFetch(benchmark::State& state)
{
    TFixture fixture(std::size_t(state.range(0)));
    for (auto _ : state) {
        if (BareFetch(fixture.Server.Port()) < fixture.Deck.size())
            state.SkipWithError("short response");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture.Deck.size()));
}

void BM_HttpCliFetch(benchmark::State& state)
{
    TFixture fixture(std::size_t(state.range(0)));
    pivrel::base::TPollEventLoop loop;
    pivrel::net::THttpCli cli(loop);
    cli.SetAgent("Pivrel 2.2 WML 1.1");
    cli.SetAccept("text/x-wap,wml,*/*");
    TCountingBuf counter;
    std::ostream body(&counter);
    cli.SetDocStream(&body);
    for (auto _ : state) {
        counter.Count = 0;
        cli.SetURL(fixture.Url);
        cli.Get();
        if (counter.Count != fixture.Deck.size())
            state.SkipWithError("short body");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture.Deck.size()));
}

void BM_BrowserNavigate(benchmark::State& state)
{
    TFixture fixture(std::size_t(state.range(0)));
    pivrel::engine::TWMLBrowser browser;
    browser.Agent = "Pivrel 2.2 WML 1.1";
    browser.Accept = "text/x-wap,wml,*/*";
    browser.CacheDir = (std::filesystem::temp_directory_path() / "pivrel-bench-cache").string();
    bool failed = false;
    browser.OnConnectFailed = [&failed](pivrel::engine::TWMLBrowser&) { failed = true; };
    for (auto _ : state) {
        // An empty current address makes the same address a new document rather than a card jump.
        browser.SetCurrentURL("");
        browser.Navigate(fixture.Url, false, true, false);
        if (failed || browser.WMLDeck.CardList.empty())
            state.SkipWithError("navigation failed");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture.Deck.size()));
}

} // namespace

BENCHMARK(BM_BareSocketFetch)->Arg(kKilobyte)->Arg(kMegabyte)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttpCliFetch)->Arg(kKilobyte)->Arg(kMegabyte)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BrowserNavigate)->Arg(kKilobyte)->Arg(kMegabyte)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
