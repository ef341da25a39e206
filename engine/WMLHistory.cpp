#include "engine/WMLHistory.h"

namespace pivrel::engine {

bool TWMLHistory::Add(const std::string& url)
{
    // A new entry lands right after the current one: the forward part is dropped first.
    m_urlHistory.resize(static_cast<std::size_t>(m_currentOffset + 1));
    m_urlHistory.push_back(url);
    m_currentOffset = static_cast<int>(m_urlHistory.size()) - 1;
    return true;
}

bool TWMLHistory::CanGoBack() const
{
    return m_currentOffset >= 1;
}

bool TWMLHistory::CanGoForward() const
{
    return static_cast<int>(m_urlHistory.size()) - 1 > m_currentOffset;
}

bool TWMLHistory::Back()
{
    if (!CanGoBack())
        return false;
    --m_currentOffset;
    m_currentURL = m_urlHistory[static_cast<std::size_t>(m_currentOffset)];
    return true;
}

bool TWMLHistory::Forward()
{
    if (!CanGoForward())
        return false;
    ++m_currentOffset;
    m_currentURL = m_urlHistory[static_cast<std::size_t>(m_currentOffset)];
    return true;
}

} // namespace pivrel::engine
