#include "net/HttpUrl.h"

#include "base/Ascii.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace pivrel::net {

namespace {

    std::string LowerPrefix(const std::string& text, std::size_t count)
    {
        return base::AsciiLower(std::string_view(text).substr(0, count));
    }

    void SplitAuthority(const std::string& authority, THttpUrlParts& parts)
    {
        const std::size_t colon = authority.rfind(':');
        const std::size_t at = authority.rfind('@');
        const std::size_t hostStart = at == std::string::npos ? 0 : at + 1;
        if (colon != std::string::npos && (at == std::string::npos || colon > at)) {
            parts.Port = authority.substr(colon + 1);
            parts.Host = authority.substr(hostStart, colon - hostStart);
        } else {
            parts.Host = authority.substr(hostStart);
        }
        if (at == std::string::npos)
            return;
        const std::string userInfo = authority.substr(0, at);
        const std::size_t split = userInfo.find(':');
        parts.User = userInfo.substr(0, split);
        if (split != std::string::npos)
            parts.Password = userInfo.substr(split + 1);
    }

} // namespace

THttpUrlParts SplitURL(const std::string& url)
{
    THttpUrlParts parts;
    std::string rest;
    const std::size_t separator = url.find("://");
    if (separator != std::string::npos) {
        parts.Scheme = url.substr(0, separator);
        rest = url.substr(separator + 3);
    } else if (url.empty() || url[0] != '/') {
        if (LowerPrefix(url, 5) == "http:") {
            parts.Scheme = "http";
            // "http:path": everything after the colon is the path, as long as it is not "//".
            if (url.size() >= 7 && url[6] != '/')
                parts.Path = url.substr(5);
            return parts;
        }
        if (LowerPrefix(url, 7) == "mailto:") {
            parts.Scheme = "mailto";
            rest = url.substr(url.find(':') + 1);
        } else {
            rest = url;
        }
    } else {
        parts.Scheme = "http";
        if (url.size() >= 2 && url[1] != '/') {
            parts.Path = url;
            return parts;
        }
        rest = url.substr(1);
    }
    const std::size_t slash = rest.find('/');
    if (slash != std::string::npos)
        parts.Path = rest.substr(slash);
    SplitAuthority(rest.substr(0, slash), parts);
    return parts;
}

std::string Base64Encode(const std::string& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < 3; ++k)
            value = (value << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= count ? kAlphabet[(value >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

std::string HttpDate(std::time_t universalTime)
{
    static const char* const kDays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    std::tm parts {};
    if (gmtime_r(&universalTime, &parts) == nullptr)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d GMT", kDays[parts.tm_wday],
        parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour, parts.tm_min,
        parts.tm_sec);
    return text;
}

std::string DocNameFromPath(const std::string& path)
{
    if (path.empty() || path == "/")
        return "index.wml";
    std::string name = path;
    if (name.back() == '/')
        name.pop_back();
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    name = name.substr(0, 255);
    return name.substr(0, name.find('?'));
}

std::string ResolveRelativePath(const std::string& basePath, const std::string& reference)
{
    const std::string base = basePath.substr(0, basePath.find('?'));
    if (reference.empty())
        return basePath.empty() ? "/" : basePath;
    if (reference[0] == '?')
        return (base.empty() ? "/" : base) + reference;
    const std::size_t slash = base.rfind('/');
    const std::string directory = slash == std::string::npos ? "/" : base.substr(0, slash + 1);
    return directory + reference;
}

std::string EncodeRequestTarget(const std::string& target)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    static constexpr std::string_view kUnsafe = "\"<>\\^`{|}";
    std::string result;
    result.reserve(target.size());
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || kUnsafe.find(c) != std::string_view::npos) {
            result += '%';
            result += kDigits[byte >> 4];
            result += kDigits[byte & 0x0F];
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace pivrel::net
