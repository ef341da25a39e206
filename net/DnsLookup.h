#pragma once

#include "base/EventLoop.h"
#include "base/StringList.h"

#include <functional>
#include <memory>
#include <string>

namespace pivrel::net {

// Resolves a host name to IPv4 addresses on a worker thread and hands the answer to the event
// loop. Destroying the lookup abandons it: the answer, whenever it comes, is dropped, so the
// owner may go away at any time without waiting for a slow name server.
class TDnsLookup
{
public:
    // error is 0 or a socket error code (11001 and up for name-service failures); addresses are
    // dotted decimal, in the order the resolver gave them, without repeats.
    using TDone = std::function<void(int error, const base::TStringList& addresses)>;

    struct TShared;

    // Throws std::system_error when no worker thread can be started.
    TDnsLookup(base::TEventLoop& loop, const std::string& hostName, TDone done);
    ~TDnsLookup();
    TDnsLookup(const TDnsLookup&) = delete;
    TDnsLookup& operator=(const TDnsLookup&) = delete;

private:
    std::shared_ptr<TShared> m_shared;
};

// Blocking resolution, as the worker does it; also used where a name must be resolved on the spot.
int ResolveHostV4(const std::string& hostName, base::TStringList& addresses);

} // namespace pivrel::net
