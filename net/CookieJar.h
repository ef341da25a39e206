#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::net {

// Seconds since 1970-01-01 00:00:00 UTC.
using TCookieTime = std::int64_t;
using TCookieClock = std::function<TCookieTime()>;

// One stored cookie.
struct TCookie {
    std::string Name;
    std::string Value;
    // Lower case, without a leading dot.
    std::string Domain;
    std::string Path;
    // Only a session cookie has no expiry; it lives for the run.
    bool Persistent = false;
    TCookieTime Expires = 0;
    // Sent only to the host that set it, not to its subdomains.
    bool HostOnly = true;
    bool Secure = false;
    bool HttpOnly = false;
    TCookieTime Created = 0;
};

// What one Set-Cookie value says, before the jar checks it against the address it came from.
struct TSetCookie {
    std::string Name;
    std::string Value;
    // Empty when the value names no domain.
    std::string Domain;
    // Empty when the value names no usable path.
    std::string Path;
    // The expiry of Max-Age (which wins) or Expires; none for a session cookie.
    std::optional<TCookieTime> Expires;
    bool Secure = false;
    bool HttpOnly = false;
};

// Cookies are refused past these bounds, so that no site can fill the memory or the jar file.
inline constexpr std::size_t kMaxCookieBytes = 4096;
inline constexpr std::size_t kMaxCookiesPerDomain = 50;
inline constexpr std::size_t kMaxCookies = 1000;
// The jar file is read no further than this.
inline constexpr std::size_t kMaxCookieFileBytes = 2 * 1024 * 1024;

// The date of an Expires attribute in any of the forms servers send ("Wed, 09 Jun 2021 10:18:14
// GMT", "Wednesday, 09-Jun-21 10:18:14 GMT", asctime's); none when it names no real date.
std::optional<TCookieTime> ParseCookieDate(std::string_view text);

// Parses one Set-Cookie value received at now; none when the value must be ignored (no name,
// no "=", control characters, oversized).
std::optional<TSetCookie> ParseSetCookie(std::string_view value, TCookieTime now);

// True when the host lies in the domain: the same name, or a name ending in "." + domain that is
// not an IP address. Both lower case.
bool DomainMatch(std::string_view host, std::string_view domain);

// The cookies of a browsing session: filled from the Set-Cookie values of responses, asked for
// the Cookie header of each request, and saved to and loaded from the jar file (persistent
// cookies only). Addresses are absolute http:// or https:// addresses; anything else neither
// sets nor receives cookies.
class TCookieJar
{
public:
    // The clock defaults to the system's.
    explicit TCookieJar(TCookieClock clock = {});

    // Stores what one Set-Cookie value received from the address says; false when the value was
    // ignored or refused (a domain the host does not lie in, a public suffix, a Secure cookie
    // over plain http). A cookie already expired removes the one it replaces.
    bool SetCookie(const std::string& address, std::string_view value);
    // "name=value; name2=value2" for a request to the address, longer paths first; empty when
    // no cookie applies.
    std::string CookieHeader(const std::string& address) const;

    void Clear() { m_cookies.clear(); }

    // The cookies still alive, expired ones dropped first.
    const std::vector<TCookie>& Cookies();

    // Persistent, unexpired cookies in the Netscape cookie-file format that other tools read.
    std::string Serialize() const;
    // Adds the cookies of a jar file's text; bad lines are skipped. Returns how many were added.
    std::size_t Deserialize(std::string_view text);
    // Reads the jar file if it exists; false only when it exists and cannot be read.
    bool Load(const std::string& path);
    // Writes the jar file (mode 0600) through a temporary file renamed over it.
    bool Save(const std::string& path, std::string& error) const;

private:
    TCookieTime Now() const;
    void DropExpired();
    void Store(TCookie cookie);
    void KeepWithinBounds(const std::string& domain);

    TCookieClock m_clock;
    std::vector<TCookie> m_cookies;
};

} // namespace pivrel::net
