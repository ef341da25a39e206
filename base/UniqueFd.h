#pragma once

#include <unistd.h>

namespace pivrel::base {

// Owns a file descriptor and closes it on every path out of a scope; -1 owns nothing.
class TUniqueFd
{
public:
    explicit TUniqueFd(int fd)
        : m_fd(fd)
    { }

    ~TUniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int Get() const { return m_fd; }

    // Hands the descriptor over to the caller, who must close it.
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

} // namespace pivrel::base
