#pragma once

// A listening socket on 127.0.0.1 with a port the system picks, and the far end of each
// connection made to it, for tests that drive TWSocket through a real connection.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace pivrel::net::testing {

class TLoopbackServer
{
public:
    TLoopbackServer()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_fd, 8);
        socklen_t size = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }

    ~TLoopbackServer()
    {
        if (m_fd >= 0)
            close(m_fd);
    }

    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    std::string Port() const { return std::to_string(m_port); }

    // The far end of the next connection, or -1 when none came within the time allowed.
    int Accept(int timeoutMs = 2000)
    {
        pollfd entry { m_fd, POLLIN, 0 };
        if (poll(&entry, 1, timeoutMs) <= 0)
            return -1;
        return accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

    // Stops listening: the port then refuses connections.
    void StopListening()
    {
        close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

// The far end of one connection, closed on destruction.
class TPeer
{
public:
    explicit TPeer(int fd)
        : m_fd(fd)
    { }

    ~TPeer() { Close(); }

    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;

    int Fd() const { return m_fd; }

    bool Valid() const { return m_fd >= 0; }

    void SetNonBlocking() { fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK); }

    bool Write(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto count = write(m_fd, bytes.data() + done, bytes.size() - done);
            if (count <= 0)
                return false;
            done += static_cast<std::size_t>(count);
        }
        return true;
    }

    // Reads what is there now, without waiting; false at the end of the stream.
    bool ReadAvailable(std::string& into)
    {
        char buffer[65536];
        for (;;) {
            const auto count = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count == 0)
                return false;
            if (count < 0)
                return true;
            into.append(buffer, static_cast<std::size_t>(count));
        }
    }

    // Closes with a reset instead of the orderly end of the stream.
    void Reset()
    {
        const linger hard { 1, 0 };
        setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

} // namespace pivrel::net::testing
