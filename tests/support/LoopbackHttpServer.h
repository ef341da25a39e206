#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
// destructor) always end the thread promptly.
class TLoopbackHttpServer
{
public:
    TLoopbackHttpServer();
    ~TLoopbackHttpServer();
    TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
    TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

    int Port() const { return m_port; }

    std::string PortText() const { return std::to_string(m_port); }

    // "127.0.0.1:port".
    std::string HostPort() const;
    // "http://127.0.0.1:port" followed by path.
    std::string Url(const std::string& path = "/") const;

    void AddResponse(TScriptedResponse response);
    // The exact bytes of every request received so far, in order.
    std::vector<std::string> Requests() const;
    std::size_t RequestCount() const;
    // Connections accepted so far, whether or not a request came on them.
    std::size_t ConnectionCount() const;
    // Waits until count requests have arrived; false when the time ran out first.
    bool WaitForRequests(std::size_t count, int timeoutMs) const;
    void Stop();

private:
    void Run();
    void Serve(int fd);
    bool ReadRequest(int fd, std::string& request);
    bool WaitReadable(int fd, int timeoutMs) const;
    bool SendAll(int fd, const std::string& bytes);
    bool Pause(int ms) const;
    void HoldOpen(int fd);
    TScriptedResponse NextResponse();

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping { false };
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::deque<TScriptedResponse> m_script;
    std::vector<std::string> m_requests;
    std::size_t m_connections = 0;
    std::thread m_thread;
};

} // namespace pivrel::testsupport
