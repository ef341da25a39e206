#pragma once

#include "base/StringList.h"

#include <string>

namespace pivrel::engine {

// The back/forward list of one browser engine.
class TWMLHistory
{
public:
    const base::TStringList& URLHistory() const { return m_urlHistory; }

    int CurrentOffset() const { return m_currentOffset; }

    const std::string& CurrentURL() const { return m_currentURL; }

    bool Add(const std::string& url);
    bool CanGoBack() const;
    bool CanGoForward() const;
    bool Back();
    bool Forward();

private:
    base::TStringList m_urlHistory;
    int m_currentOffset = -1;
    std::string m_currentURL;
};

} // namespace pivrel::engine
