#include "net/CookieJar.h"

#include "base/Ascii.h"
#include "base/ListFile.h"
#include "net/HttpUrl.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <libpsl.h>
#include <limits>

namespace pivrel::net {

namespace {

    constexpr std::string_view kBlanks = " \t";

    std::string_view Trim(std::string_view text)
    {
        const std::size_t first = text.find_first_not_of(kBlanks);
        if (first == std::string_view::npos)
            return {};
        return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    }

    bool HasControl(std::string_view text)
    {
        return std::any_of(text.begin(), text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F;
        });
    }

    bool IsDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    // Date parsing

    bool IsDateDelimiter(char c)
    {
        const auto byte = static_cast<unsigned char>(c);
        return byte == 0x09 || (byte >= 0x20 && byte <= 0x2F) || (byte >= 0x3B && byte <= 0x40)
            || (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E);
    }

    // Reads 1 to maxDigits digits at the front of text; the rest must not start with a digit.
    std::optional<int> LeadingDigits(std::string_view& text, std::size_t minDigits, std::size_t maxDigits)
    {
        std::size_t count = 0;
        while (count < text.size() && IsDigit(text[count]))
            ++count;
        if (count < minDigits || count > maxDigits)
            return std::nullopt;
        int value = 0;
        std::from_chars(text.data(), text.data() + count, value);
        text.remove_prefix(count);
        return value;
    }

    bool ParseTime(std::string_view token, int& hour, int& minute, int& second)
    {
        std::array<int, 3> parts {};
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::optional<int> value = LeadingDigits(token, 1, 2);
            if (!value)
                return false;
            parts[i] = *value;
            if (i < 2) {
                if (token.empty() || token.front() != ':')
                    return false;
                token.remove_prefix(1);
            }
        }
        hour = parts[0];
        minute = parts[1];
        second = parts[2];
        return true;
    }

    int MonthOf(std::string_view token)
    {
        static constexpr std::array<std::string_view, 12> kMonths
            = { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec" };
        if (token.size() < 3)
            return 0;
        const std::string prefix = base::AsciiLower(token.substr(0, 3));
        for (std::size_t i = 0; i < kMonths.size(); ++i) {
            if (prefix == kMonths[i])
                return static_cast<int>(i) + 1;
        }
        return 0;
    }

    int DaysInMonth(int year, int month)
    {
        static constexpr std::array<int, 12> kDays = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
    }

    // Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
    std::int64_t DaysFromCivil(std::int64_t year, int month, int day)
    {
        year -= month <= 2 ? 1 : 0;
        const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
        const std::int64_t yearOfEra = year - era * 400;
        const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
        const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        return era * 146097 + dayOfEra - 719468;
    }

    struct TDateParts {
        std::optional<int> Hour, Minute, Second, Day, Month, Year;

        void Take(std::string_view token)
        {
            int h = 0, m = 0, s = 0;
            if (!Hour && ParseTime(token, h, m, s)) {
                Hour = h;
                Minute = m;
                Second = s;
                return;
            }
            std::string_view rest = token;
            if (!Day) {
                if (const std::optional<int> day = LeadingDigits(rest, 1, 2)) {
                    Day = day;
                    return;
                }
            }
            if (!Month) {
                if (const int month = MonthOf(token); month != 0) {
                    Month = month;
                    return;
                }
            }
            rest = token;
            if (!Year) {
                if (const std::optional<int> year = LeadingDigits(rest, 2, 4))
                    Year = year;
            }
        }
    };

    // Addresses

    struct TCookieAddress {
        bool Secure = false;
        std::string Host;
        std::string Path;
    };

    std::optional<TCookieAddress> ReadAddress(const std::string& address)
    {
        const THttpUrlParts parts = SplitURL(address);
        const std::string scheme = base::AsciiLower(parts.Scheme);
        if ((scheme != "http" && scheme != "https") || parts.Host.empty())
            return std::nullopt;
        TCookieAddress result;
        result.Secure = scheme == "https";
        result.Host = base::AsciiLower(parts.Host);
        if (result.Host.size() > 1 && result.Host.back() == '.')
            result.Host.pop_back();
        result.Path = parts.Path.substr(0, parts.Path.find_first_of("?#"));
        if (result.Path.empty() || result.Path.front() != '/')
            result.Path = "/";
        return result;
    }

    bool IsIPAddress(std::string_view host)
    {
        if (host.find(':') != std::string_view::npos || host.find('[') != std::string_view::npos)
            return true;
        return !host.empty()
            && std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; });
    }

    std::string DefaultPath(const std::string& requestPath)
    {
        const std::size_t slash = requestPath.rfind('/');
        if (slash == std::string::npos || slash == 0)
            return "/";
        return requestPath.substr(0, slash);
    }

    bool PathMatch(std::string_view requestPath, std::string_view cookiePath)
    {
        if (!requestPath.starts_with(cookiePath))
            return false;
        return requestPath.size() == cookiePath.size() || cookiePath.back() == '/'
            || requestPath[cookiePath.size()] == '/';
    }

    // The list of public suffixes is Debian's, loaded once for the whole run.
    const psl_ctx_t* PublicSuffixes()
    {
        static const psl_ctx_t* list = [] {
            const psl_ctx_t* latest = psl_latest(nullptr);
            return latest != nullptr ? latest : psl_builtin();
        }();
        return list;
    }

    bool IsPublicSuffix(const std::string& domain)
    {
        const psl_ctx_t* list = PublicSuffixes();
        // Without any list, every domain counts as one: cookies then stay with their host.
        return list == nullptr || psl_is_public_suffix2(list, domain.c_str(), PSL_TYPE_ANY) != 0;
    }

    // The file format

    constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

    std::vector<std::string_view> SplitTabs(std::string_view line)
    {
        std::vector<std::string_view> fields;
        std::size_t start = 0;
        while (true) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string_view::npos)
                return fields;
            start = tab + 1;
        }
    }

    std::optional<TCookie> CookieFromLine(std::string_view line)
    {
        TCookie cookie;
        if (line.starts_with(kHttpOnlyPrefix)) {
            cookie.HttpOnly = true;
            line.remove_prefix(kHttpOnlyPrefix.size());
        } else if (line.empty() || line.front() == '#') {
            return std::nullopt;
        }
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != 7)
            return std::nullopt;
        std::string_view domain = fields[0];
        cookie.HostOnly = fields[1] != "TRUE";
        if (domain.starts_with('.'))
            domain.remove_prefix(1);
        cookie.Domain = base::AsciiLower(domain);
        cookie.Path = std::string(fields[2]);
        cookie.Secure = fields[3] == "TRUE";
        const auto [end, error]
            = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), cookie.Expires);
        cookie.Name = std::string(fields[5]);
        cookie.Value = std::string(fields[6]);
        cookie.Persistent = true;
        if (error != std::errc() || end != fields[4].data() + fields[4].size() || cookie.Domain.empty()
            || cookie.Name.empty() || !cookie.Path.starts_with('/')
            || cookie.Name.size() + cookie.Value.size() > kMaxCookieBytes)
            return std::nullopt;
        return cookie;
    }

} // namespace

std::optional<TCookieTime> ParseCookieDate(std::string_view text)
{
    TDateParts parts;
    std::size_t start = 0;
    while (start < text.size()) {
        while (start < text.size() && IsDateDelimiter(text[start]))
            ++start;
        std::size_t end = start;
        while (end < text.size() && !IsDateDelimiter(text[end]))
            ++end;
        if (end > start)
            parts.Take(text.substr(start, end - start));
        start = end;
    }
    if (!parts.Hour || !parts.Day || !parts.Month || !parts.Year)
        return std::nullopt;
    int year = *parts.Year;
    if (year >= 70 && year <= 99)
        year += 1900;
    else if (year <= 69)
        year += 2000;
    if (year < 1601 || *parts.Hour > 23 || *parts.Minute > 59 || *parts.Second > 59 || *parts.Day < 1
        || *parts.Day > DaysInMonth(year, *parts.Month))
        return std::nullopt;
    return DaysFromCivil(year, *parts.Month, *parts.Day) * 86400 + *parts.Hour * 3600 + *parts.Minute * 60
        + *parts.Second;
}

namespace {

    // Max-Age: digits with an optional leading minus; anything else leaves the attribute unused.
    std::optional<TCookieTime> MaxAgeExpiry(std::string_view value, TCookieTime now)
    {
        const bool negative = value.starts_with('-');
        const std::string_view digits = negative ? value.substr(1) : value;
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit))
            return std::nullopt;
        // A value too large for the type lasts as long as any date can.
        constexpr TCookieTime kLongest = TCookieTime(400) * 366 * 86400 * 100;
        TCookieTime seconds = kLongest;
        std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
        seconds = std::min(seconds, kLongest);
        if (negative || seconds == 0)
            return std::numeric_limits<TCookieTime>::min();
        return now + seconds;
    }

    void ApplyAttribute(TSetCookie& cookie, std::string_view name, std::string_view value, TCookieTime now,
        std::optional<TCookieTime>& maxAge)
    {
        const std::string key = base::AsciiLower(name);
        if (key == "expires") {
            if (const std::optional<TCookieTime> date = ParseCookieDate(value))
                cookie.Expires = date;
        } else if (key == "max-age") {
            if (const std::optional<TCookieTime> expiry = MaxAgeExpiry(value, now))
                maxAge = expiry;
        } else if (key == "domain") {
            if (value.starts_with('.'))
                value.remove_prefix(1);
            if (!value.empty())
                cookie.Domain = base::AsciiLower(value);
        } else if (key == "path") {
            cookie.Path = value.starts_with('/') ? std::string(value) : std::string();
        } else if (key == "secure") {
            cookie.Secure = true;
        } else if (key == "httponly") {
            cookie.HttpOnly = true;
        }
    }

} // namespace

std::optional<TSetCookie> ParseSetCookie(std::string_view value, TCookieTime now)
{
    // Control characters other than the tab would end up in the jar file's lines.
    const bool control = std::any_of(value.begin(), value.end(), [](char c) {
        return c != '\t' && HasControl({ &c, 1 });
    });
    if (value.size() > kMaxCookieBytes * 2 || control)
        return std::nullopt;
    const std::size_t semicolon = value.find(';');
    const std::string_view pair = value.substr(0, semicolon);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    TSetCookie cookie;
    cookie.Name = std::string(Trim(pair.substr(0, equals)));
    cookie.Value = std::string(Trim(pair.substr(equals + 1)));
    if (cookie.Name.empty() || HasControl(cookie.Name) || HasControl(cookie.Value)
        || cookie.Name.size() + cookie.Value.size() > kMaxCookieBytes)
        return std::nullopt;
    std::optional<TCookieTime> maxAge;
    std::string_view rest
        = semicolon == std::string_view::npos ? std::string_view() : value.substr(semicolon + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find(';');
        const std::string_view attribute = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        const std::size_t attributeEquals = attribute.find('=');
        const std::string_view name = Trim(attribute.substr(0, attributeEquals));
        const std::string_view attributeValue = attributeEquals == std::string_view::npos
            ? std::string_view()
            : Trim(attribute.substr(attributeEquals + 1));
        ApplyAttribute(cookie, name, attributeValue, now, maxAge);
    }
    if (maxAge)
        cookie.Expires = maxAge;
    return cookie;
}

bool DomainMatch(std::string_view host, std::string_view domain)
{
    if (host == domain)
        return true;
    return !domain.empty() && host.size() > domain.size() && host.ends_with(domain)
        && host[host.size() - domain.size() - 1] == '.' && !IsIPAddress(host);
}

TCookieJar::TCookieJar(TCookieClock clock)
    : m_clock(std::move(clock))
{ }

TCookieTime TCookieJar::Now() const
{
    if (m_clock)
        return m_clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool TCookieJar::SetCookie(const std::string& address, std::string_view value)
{
    const std::optional<TCookieAddress> target = ReadAddress(address);
    const TCookieTime now = Now();
    const std::optional<TSetCookie> parsed = target ? ParseSetCookie(value, now) : std::nullopt;
    if (!parsed || (parsed->Secure && !target->Secure))
        return false;
    TCookie cookie;
    cookie.Name = parsed->Name;
    cookie.Value = parsed->Value;
    cookie.Secure = parsed->Secure;
    cookie.HttpOnly = parsed->HttpOnly;
    cookie.Persistent = parsed->Expires.has_value();
    cookie.Expires = parsed->Expires.value_or(0);
    cookie.Path = parsed->Path.empty() ? DefaultPath(target->Path) : parsed->Path;
    cookie.Created = now;
    cookie.Domain = target->Host;
    if (!parsed->Domain.empty() && parsed->Domain != target->Host) {
        // A cookie for a whole domain: the host must lie in it, and it must not be a domain that
        // belongs to many owners ("co.uk").
        if (!DomainMatch(target->Host, parsed->Domain) || IsPublicSuffix(parsed->Domain))
            return false;
        cookie.Domain = parsed->Domain;
        cookie.HostOnly = false;
    }
    Store(std::move(cookie));
    return true;
}

void TCookieJar::Store(TCookie cookie)
{
    const auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&cookie](const TCookie& old) {
        return old.Name == cookie.Name && old.Domain == cookie.Domain && old.Path == cookie.Path;
    });
    const bool expired = cookie.Persistent && cookie.Expires <= Now();
    if (same != m_cookies.end()) {
        // The replacement takes the old one's place, so that its order among the others holds.
        if (expired) {
            m_cookies.erase(same);
        } else {
            cookie.Created = same->Created;
            *same = std::move(cookie);
        }
        return;
    }
    if (expired)
        return;
    const std::string domain = cookie.Domain;
    m_cookies.push_back(std::move(cookie));
    KeepWithinBounds(domain);
}

void TCookieJar::KeepWithinBounds(const std::string& domain)
{
    // The oldest cookies go first: they were stored first, so they sit at the front.
    const auto count = std::count_if(
        m_cookies.begin(), m_cookies.end(), [&domain](const TCookie& c) { return c.Domain == domain; });
    if (static_cast<std::size_t>(count) > kMaxCookiesPerDomain) {
        m_cookies.erase(std::find_if(
            m_cookies.begin(), m_cookies.end(), [&domain](const TCookie& c) { return c.Domain == domain; }));
    }
    if (m_cookies.size() > kMaxCookies)
        m_cookies.erase(m_cookies.begin());
}

void TCookieJar::DropExpired()
{
    const TCookieTime now = Now();
    std::erase_if(m_cookies, [now](const TCookie& c) { return c.Persistent && c.Expires <= now; });
}

const std::vector<TCookie>& TCookieJar::Cookies()
{
    DropExpired();
    return m_cookies;
}

std::string TCookieJar::CookieHeader(const std::string& address) const
{
    const std::optional<TCookieAddress> target = ReadAddress(address);
    if (!target)
        return {};
    const TCookieTime now = Now();
    std::vector<const TCookie*> chosen;
    for (const TCookie& cookie : m_cookies) {
        const bool hostFits
            = cookie.HostOnly ? target->Host == cookie.Domain : DomainMatch(target->Host, cookie.Domain);
        if (hostFits && PathMatch(target->Path, cookie.Path) && (!cookie.Secure || target->Secure)
            && (!cookie.Persistent || cookie.Expires > now))
            chosen.push_back(&cookie);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const TCookie* a, const TCookie* b) {
        if (a->Path.size() != b->Path.size())
            return a->Path.size() > b->Path.size();
        return a->Created < b->Created;
    });
    std::string header;
    for (const TCookie* cookie : chosen) {
        if (!header.empty())
            header += "; ";
        header += cookie->Name + "=" + cookie->Value;
    }
    return header;
}

std::string TCookieJar::Serialize() const
{
    const TCookieTime now = Now();
    std::string text = "# Netscape HTTP Cookie File\n";
    for (const TCookie& cookie : m_cookies) {
        if (!cookie.Persistent || cookie.Expires <= now)
            continue;
        if (cookie.HttpOnly)
            text += kHttpOnlyPrefix;
        text += (cookie.HostOnly ? "" : ".") + cookie.Domain + "\t" + (cookie.HostOnly ? "FALSE" : "TRUE")
            + "\t" + cookie.Path + "\t" + (cookie.Secure ? "TRUE" : "FALSE") + "\t"
            + std::to_string(cookie.Expires) + "\t" + cookie.Name + "\t" + cookie.Value + "\n";
    }
    return text;
}

std::size_t TCookieJar::Deserialize(std::string_view text)
{
    const TCookieTime now = Now();
    std::size_t added = 0;
    for (const std::string& line : base::SplitBoundedLines(text)) {
        std::optional<TCookie> cookie = CookieFromLine(line);
        if (!cookie || cookie->Expires <= now)
            continue;
        cookie->Created = now;
        Store(std::move(*cookie));
        ++added;
    }
    return added;
}

bool TCookieJar::Load(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return !error;
    std::string bytes;
    if (!base::ReadBoundedFile(path, bytes))
        return false;
    Deserialize(bytes);
    return true;
}

bool TCookieJar::Save(const std::string& path, std::string& error) const
{
    return base::WriteFileAtomically(path, Serialize(), error);
}

} // namespace pivrel::net
