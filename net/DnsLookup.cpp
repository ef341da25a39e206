#include "net/DnsLookup.h"

#include "net/WSocketErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace pivrel::net {

// What the worker and the loop's thread share. The worker only reads the loop pointer, under
// the mutex; the loop's thread clears it when the lookup is abandoned, so a late answer is never
// posted to a loop whose owner has gone.
struct TDnsLookup::TShared {
    std::mutex mutex;
    base::TEventLoop* loop = nullptr;
    TDone done;
};

namespace {

    int GaiErrorCode(int gaiError)
    {
        switch (gaiError) {
        case EAI_NONAME:
            return 11001;
        case EAI_AGAIN:
            return 11002;
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
            return 11004;
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return WSocketErrorFromErrno(errno);
        default:
            return 11003;
        }
    }

    void Resolve(const std::shared_ptr<TDnsLookup::TShared>& shared, const std::string& hostName)
    {
        auto addresses = std::make_shared<base::TStringList>();
        const int error = ResolveHostV4(hostName, *addresses);
        std::lock_guard lock(shared->mutex);
        if (shared->loop == nullptr)
            return;
        shared->loop->Post([shared, error, addresses] {
            // Runs on the loop's thread, where done is set and cleared.
            if (shared->done) {
                auto done = std::move(shared->done);
                shared->done = nullptr;
                done(error, *addresses);
            }
        });
    }

} // namespace

int ResolveHostV4(const std::string& hostName, base::TStringList& addresses)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int gaiError = getaddrinfo(hostName.c_str(), nullptr, &hints, &result);
    if (gaiError != 0)
        return GaiErrorCode(gaiError);
    for (const addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    freeaddrinfo(result);
    return addresses.empty() ? 11004 : 0;
}

TDnsLookup::TDnsLookup(base::TEventLoop& loop, const std::string& hostName, TDone done)
    : m_shared(std::make_shared<TShared>())
{
    m_shared->loop = &loop;
    m_shared->done = std::move(done);
    // Detached: a lookup may outlast its owner by the name server's whole timeout.
    std::thread([shared = m_shared, hostName] { Resolve(shared, hostName); }).detach();
}

TDnsLookup::~TDnsLookup()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->loop = nullptr;
    }
    m_shared->done = nullptr;
}

} // namespace pivrel::net
