// Fetching a deck over https from a server on 127.0.0.1: THttpCli on the poll loop beside the
// floor of a bare blocking OpenSSL client asking for the same bytes from the same server.
#include "base/PollEventLoop.h"
#include "net/HttpProt.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <ostream>
#include <streambuf>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "bench/CountingBuf.h"
#include "bench/DeckGenerator.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

namespace {

using pivrel::testsupport::MakeResponse;
using pivrel::testsupport::TLoopbackHttpServer;
using pivrel::testsupport::TTempDir;
using pivrel::testsupport::TTestCertificates;

constexpr std::size_t kKilobyte = 1000;
constexpr std::size_t kMegabyte = 1000 * 1000;

using pivrel::bench::TCountingBuf;

struct TFixture {
    explicit TFixture(std::size_t deckBytes)
        : Deck(pivrel::bench::GenerateDeck(deckBytes))
        , Certificates(Dir.Path())
        , Server(&Certificates.Good)
    {
        Server.SetFallback(MakeResponse("HTTP/1.0 200 OK",
            { "Content-Type: text/vnd.wap.wml", "Content-Length: " + std::to_string(Deck.size()) }, Deck));
    }

    std::string Deck;
    TTempDir Dir;
    TTestCertificates Certificates;
    TLoopbackHttpServer Server;
};

// The browser's request over a blocking socket and SSL_read in 64 KiB steps to the end; the
// context, with the same trusted authority, is made once, as the client's is.
std::size_t BareTlsFetch(SSL_CTX* context, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    std::size_t received = 0;
    SSL* ssl = SSL_new(context);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
    SSL_set_fd(ssl, fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && SSL_connect(ssl) == 1) {
        const std::string request = "GET /deck.wml HTTP/1.0\r\nAccept: text/x-wap,wml,*/*\r\n"
                                    "User-Agent: Pivrel 2.2 WML 1.1\r\nHost: 127.0.0.1:"
            + std::to_string(port) + "\r\n\r\n";
        SSL_write(ssl, request.data(), static_cast<int>(request.size()));
        static char buffer[1 << 16];
        for (int n; (n = SSL_read(ssl, buffer, sizeof buffer)) > 0;)
            received += std::size_t(n);
    }
    SSL_free(ssl);
    ::close(fd);
    return received;
}

void BM_BareTlsFetch(benchmark::State& state)
{
    TFixture fixture(std::size_t(state.range(0)));
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context);
    SSL_CTX_load_verify_locations(context, fixture.Certificates.Authority.c_str(), nullptr);
    for (auto _ : state) {
        if (BareTlsFetch(context, fixture.Server.Port()) < fixture.Deck.size())
            state.SkipWithError("short response");
    }
    SSL_CTX_free(context);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture.Deck.size()));
}

void BM_HttpCliTlsFetch(benchmark::State& state)
{
    TFixture fixture(std::size_t(state.range(0)));
    pivrel::base::TPollEventLoop loop;
    pivrel::net::THttpCli cli(loop);
    cli.SetAgent("Pivrel 2.2 WML 1.1");
    cli.SetAccept("text/x-wap,wml,*/*");
    cli.SetCaFile(fixture.Certificates.Authority);
    TCountingBuf counter;
    std::ostream body(&counter);
    cli.SetDocStream(&body);
    const std::string url = fixture.Server.Url("/deck.wml");
    for (auto _ : state) {
        counter.Count = 0;
        cli.SetURL(url);
        cli.Get();
        if (counter.Count != fixture.Deck.size())
            state.SkipWithError("short body");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture.Deck.size()));
}

} // namespace

BENCHMARK(BM_BareTlsFetch)->Arg(kKilobyte)->Arg(kMegabyte)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_HttpCliTlsFetch)->Arg(kKilobyte)->Arg(kMegabyte)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
