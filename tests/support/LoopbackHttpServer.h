#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestCertificates.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace pivrel::testsupport {

// What the server does on one connection once the request has arrived.
struct TScriptedResponse {
    // Written in order; a pause of DelayMs comes before every chunk but the first.
    std::vector<std::string> Chunks;
    int DelayMs = 0;
    // Leaves the connection open after the last chunk, until the client closes it or the server
    // stops: a response that never ends.
    bool KeepOpen = false;
    // Closes without waiting for the request (the answer then goes out at once).
    bool SkipRequest = false;
    // Ends the connection with a reset instead of an orderly close.
    bool Reset = false;
};

// Builds "HTTP/1.0 200 OK" style responses: the status line, each header line, an empty line
// and the body, all with CR LF line ends.
TScriptedResponse MakeResponse(
    const std::string& statusLine, const std::vector<std::string>& headers, const std::string& body);
// A redirection with the given status and Location value.
TScriptedResponse MakeRedirect(int status, const std::string& location);

// An HTTP server for tests on 127.0.0.1, on a port the system picks. It serves one connection
// at a time on its own thread: it reads the request (the header, then as many body bytes as
// Content-Length announces), records its exact bytes, and plays the next scripted response.
// With no script left it answers 404. Every wait polls with a short timeout, so Stop (and the
// destructor) always end the thread promptly. Given a certificate, it speaks TLS with it; a
// client that refuses the certificate leaves no request behind.
class TLoopbackHttpServer
{
public:
    explicit TLoopbackHttpServer(const TCertificateFiles* tls = nullptr);
    ~TLoopbackHttpServer();
    TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
    TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

    int Port() const { return m_port; }

    std::string PortText() const { return std::to_string(m_port); }

    // "127.0.0.1:port".
    std::string HostPort() const;
    // "http://127.0.0.1:port" (https with a certificate) followed by path.
    std::string Url(const std::string& path = "/") const;

    void AddResponse(TScriptedResponse response);
    // What every request gets once the script is used up (404 unless set).
    void SetFallback(TScriptedResponse response);
    // The exact bytes of every request received so far, in order.
    std::vector<std::string> Requests() const;
    std::size_t RequestCount() const;
    // Connections accepted so far, whether or not a request came on them.
    std::size_t ConnectionCount() const;
    // Waits until count requests have arrived; false when the time ran out first.
    bool WaitForRequests(std::size_t count, int timeoutMs) const;
    void Stop();

private:
    // One accepted connection, secure when Ssl is set.
    struct TConnection {
        int Fd = -1;
        SSL* Ssl = nullptr;
    };

    void Run();
    void Serve(TConnection& connection);
    bool Accept(TConnection& connection);
    bool ReadRequest(TConnection& connection, std::string& request);
    // Bytes read, 0 at the end, -1 when nothing is there yet.
    long ReadSome(TConnection& connection, char* buffer, std::size_t size);
    bool WaitReadable(const TConnection& connection, int timeoutMs) const;
    bool WaitReadable(int fd, int timeoutMs) const;
    bool SendAll(TConnection& connection, const std::string& bytes);
    bool Pause(int ms) const;
    void HoldOpen(TConnection& connection);
    TScriptedResponse NextResponse();

    SSL_CTX* m_tls = nullptr;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping { false };
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::deque<TScriptedResponse> m_script;
    std::optional<TScriptedResponse> m_fallback;
    std::vector<std::string> m_requests;
    std::size_t m_connections = 0;
    std::thread m_thread;
};

} // namespace pivrel::testsupport
