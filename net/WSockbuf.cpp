#include "net/WSockbuf.h"

#include <algorithm>
#include <cstring>

namespace pivrel::net {

TBuffer::TBuffer(int size)
    : m_data(static_cast<std::size_t>(size > 0 ? size : kDefaultSize))
{ }

int TBuffer::Write(const void* data, int len)
{
    const int count = std::clamp(len, 0, Size() - m_wrCount);
    if (count > 0)
        std::memcpy(m_data.data() + m_wrCount, data, static_cast<std::size_t>(count));
    m_wrCount += count;
    return count;
}

const char* TBuffer::Peek(int& len) const
{
    len = m_wrCount - m_rdCount;
    return m_data.data() + m_rdCount;
}

void TBuffer::Remove(int n)
{
    m_rdCount += std::clamp(n, 0, m_wrCount - m_rdCount);
    if (m_rdCount == m_wrCount)
        m_rdCount = m_wrCount = 0;
}

void TBuffer::SetSize(int size)
{
    const int held = m_wrCount - m_rdCount;
    if (m_rdCount > 0 && held > 0)
        std::memmove(m_data.data(), m_data.data() + m_rdCount, static_cast<std::size_t>(held));
    m_rdCount = 0;
    m_wrCount = held;
    m_data.resize(static_cast<std::size_t>(std::max({ size, held, 1 })));
}

} // namespace pivrel::net
