#include "tests/support/LoopbackHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace pivrel::testsupport {

namespace {

    // How often the thread looks at the stop flag while it waits for anything.
    constexpr int kPollSliceMs = 50;
    // A request that has not arrived whole within this time is recorded as it stands.
    constexpr int kRequestTimeoutMs = 5000;

    std::string Lower(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }

    // The Content-Length a request header announces, 0 when none.
    std::size_t AnnouncedLength(const std::string& header)
    {
        const std::string lower = Lower(header);
        const std::size_t at = lower.find("\r\ncontent-length:");
        if (at == std::string::npos)
            return 0;
        std::size_t i = at + 17;
        while (i < lower.size() && lower[i] == ' ')
            ++i;
        std::size_t length = 0;
        for (; i < lower.size() && std::isdigit(static_cast<unsigned char>(lower[i])); ++i)
            length = std::min<std::size_t>(length * 10 + static_cast<std::size_t>(lower[i] - '0'), 1u << 26);
        return length;
    }

} // namespace

TScriptedResponse MakeResponse(
    const std::string& statusLine, const std::vector<std::string>& headers, const std::string& body)
{
    std::string bytes = statusLine + "\r\n";
    for (const std::string& header : headers)
        bytes += header + "\r\n";
    bytes += "\r\n" + body;
    TScriptedResponse response;
    response.Chunks.push_back(bytes);
    return response;
}

TScriptedResponse MakeRedirect(int status, const std::string& location)
{
    return MakeResponse("HTTP/1.0 " + std::to_string(status) + " Moved",
        { "Location: " + location, "Content-Type: text/html" }, "<html>moved</html>");
}

TLoopbackHttpServer::TLoopbackHttpServer(const TCertificateFiles* tls)
{
    if (tls) {
        m_tls = SSL_CTX_new(TLS_server_method());
        if (!m_tls || SSL_CTX_use_certificate_file(m_tls, tls->Cert.c_str(), SSL_FILETYPE_PEM) != 1
            || SSL_CTX_use_PrivateKey_file(m_tls, tls->Key.c_str(), SSL_FILETYPE_PEM) != 1) {
            SSL_CTX_free(m_tls);
            throw std::runtime_error("loopback server: cannot load the certificate");
        }
    }
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(m_listenFd, 16) != 0
        || getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (m_listenFd >= 0)
            close(m_listenFd);
        SSL_CTX_free(m_tls);
        throw std::runtime_error("loopback server: cannot listen");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer()
{
    Stop();
}

std::string TLoopbackHttpServer::HostPort() const
{
    return "127.0.0.1:" + PortText();
}

std::string TLoopbackHttpServer::Url(const std::string& path) const
{
    return (m_tls ? "https://" : "http://") + HostPort() + path;
}

void TLoopbackHttpServer::AddResponse(TScriptedResponse response)
{
    std::lock_guard lock(m_mutex);
    m_script.push_back(std::move(response));
}

void TLoopbackHttpServer::SetFallback(TScriptedResponse response)
{
    std::lock_guard lock(m_mutex);
    m_fallback = std::move(response);
}

std::vector<std::string> TLoopbackHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t TLoopbackHttpServer::RequestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

std::size_t TLoopbackHttpServer::ConnectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool TLoopbackHttpServer::WaitForRequests(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return m_requests.size() >= count; });
}

void TLoopbackHttpServer::Stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        close(m_listenFd);
    m_listenFd = -1;
    SSL_CTX_free(m_tls);
    m_tls = nullptr;
}

void TLoopbackHttpServer::Run()
{
    while (!m_stopping) {
        if (!WaitReadable(m_listenFd, kPollSliceMs))
            continue;
        TConnection connection;
        connection.Fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection.Fd < 0)
            continue;
        {
            std::lock_guard lock(m_mutex);
            ++m_connections;
        }
        if (Accept(connection))
            Serve(connection);
        if (connection.Ssl) {
            SSL_shutdown(connection.Ssl);
            SSL_free(connection.Ssl);
            ERR_clear_error();
        }
        close(connection.Fd);
    }
}

bool TLoopbackHttpServer::Accept(TConnection& connection)
{
    if (!m_tls)
        return true;
    connection.Ssl = SSL_new(m_tls);
    SSL_set_fd(connection.Ssl, connection.Fd);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    while (!m_stopping && std::chrono::steady_clock::now() < deadline) {
        const int result = SSL_accept(connection.Ssl);
        if (result == 1)
            return true;
        const int error = SSL_get_error(connection.Ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            break;
        pollfd entry { connection.Fd, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT),
            0 };
        poll(&entry, 1, kPollSliceMs);
    }
    // A client that refused the certificate: the connection ends without a request.
    SSL_free(connection.Ssl);
    connection.Ssl = nullptr;
    ERR_clear_error();
    return false;
}

long TLoopbackHttpServer::ReadSome(TConnection& connection, char* buffer, std::size_t size)
{
    if (!connection.Ssl) {
        const auto count = recv(connection.Fd, buffer, size, 0);
        return count < 0 && (errno == EAGAIN || errno == EINTR) ? -1 : std::max<long>(count, 0);
    }
    const int count = SSL_read(connection.Ssl, buffer, static_cast<int>(size));
    if (count > 0)
        return count;
    const int error = SSL_get_error(connection.Ssl, count);
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? -1 : 0;
}

bool TLoopbackHttpServer::WaitReadable(const TConnection& connection, int timeoutMs) const
{
    return (connection.Ssl && SSL_pending(connection.Ssl) > 0) || WaitReadable(connection.Fd, timeoutMs);
}

TScriptedResponse TLoopbackHttpServer::NextResponse()
{
    std::lock_guard lock(m_mutex);
    if (m_script.empty() && m_fallback)
        return *m_fallback;
    if (m_script.empty())
        return MakeResponse("HTTP/1.0 404 Not Found", { "Content-Type: text/html" }, "no script left");
    TScriptedResponse response = std::move(m_script.front());
    m_script.pop_front();
    return response;
}

void TLoopbackHttpServer::Serve(TConnection& connection)
{
    const TScriptedResponse response = NextResponse();
    if (!response.SkipRequest) {
        std::string request;
        ReadRequest(connection, request);
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        m_arrived.notify_all();
    }
    for (std::size_t i = 0; i < response.Chunks.size(); ++i) {
        if (i > 0 && !Pause(response.DelayMs))
            return;
        if (!SendAll(connection, response.Chunks[i]))
            return;
    }
    if (response.KeepOpen)
        HoldOpen(connection);
    if (response.Reset) {
        const linger abortive { 1, 0 };
        setsockopt(connection.Fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        SSL_free(connection.Ssl);
        connection.Ssl = nullptr;
    }
}

bool TLoopbackHttpServer::ReadRequest(TConnection& connection, std::string& request)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    std::size_t wanted = std::string::npos;
    while (!m_stopping && std::chrono::steady_clock::now() < deadline) {
        if (wanted != std::string::npos && request.size() >= wanted)
            return true;
        if (!WaitReadable(connection, kPollSliceMs))
            continue;
        char buffer[4096];
        const long count = ReadSome(connection, buffer, sizeof buffer);
        if (count < 0)
            continue;
        if (count == 0)
            return false;
        request.append(buffer, static_cast<std::size_t>(count));
        const std::size_t end = request.find("\r\n\r\n");
        if (wanted == std::string::npos && end != std::string::npos)
            wanted = end + 4 + AnnouncedLength(request.substr(0, end + 2));
    }
    return false;
}

bool TLoopbackHttpServer::WaitReadable(int fd, int timeoutMs) const
{
    pollfd entry { fd, POLLIN, 0 };
    const int ready = poll(&entry, 1, timeoutMs);
    return ready > 0;
}

bool TLoopbackHttpServer::SendAll(TConnection& connection, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && !m_stopping) {
        pollfd entry { connection.Fd, POLLOUT, 0 };
        if (poll(&entry, 1, kPollSliceMs) <= 0)
            continue;
        long count = 0;
        if (connection.Ssl) {
            count = SSL_write(connection.Ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
            const int error
                = count > 0 ? SSL_ERROR_NONE : SSL_get_error(connection.Ssl, static_cast<int>(count));
            if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ)
                continue;
        } else {
            count
                = send(connection.Fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
        }
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return done == bytes.size();
}

bool TLoopbackHttpServer::Pause(int ms) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
    return !m_stopping;
}

void TLoopbackHttpServer::HoldOpen(TConnection& connection)
{
    // Reads and drops whatever else comes, until the client closes its end.
    while (!m_stopping) {
        if (!WaitReadable(connection, kPollSliceMs))
            continue;
        char buffer[1024];
        if (ReadSome(connection, buffer, sizeof buffer) == 0)
            return;
    }
}

} // namespace pivrel::testsupport
