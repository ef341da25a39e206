#include "script/ScriptURL.h"

#include <vector>

namespace pivrel::script {

namespace {

    bool IsAlpha(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }

    bool IsDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    bool IsHex(char c)
    {
        return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    // Characters an address may hold as they are (escapes checked apart).
    bool IsURLChar(char c)
    {
        if (IsAlpha(c) || IsDigit(c))
            return true;
        for (char ok : std::string_view(";/?:@&=+$,-_.!~*'()%#[]"))
            if (c == ok)
                return true;
        return false;
    }

    std::string RemoveDotSegments(std::string_view path)
    {
        std::vector<std::string> out;
        const bool absolute = !path.empty() && path[0] == '/';
        std::size_t pos = absolute ? 1 : 0;
        bool trailingSlash = false;
        while (pos <= path.size()) {
            const std::size_t slash = std::min(path.find('/', pos), path.size());
            const std::string_view seg = path.substr(pos, slash - pos);
            trailingSlash = seg == "." || seg == "..";
            if (seg == "..") {
                if (!out.empty())
                    out.pop_back();
            } else if (seg != ".") {
                out.emplace_back(seg);
            }
            pos = slash + 1;
        }
        std::string result = absolute ? "/" : "";
        for (std::size_t i = 0; i < out.size(); ++i)
            result += (i ? "/" : "") + out[i];
        if (trailingSlash && !out.empty())
            result += "/";
        return result;
    }

} // namespace

std::string TURLParts::Parameters() const
{
    const std::size_t slash = Path.rfind('/');
    const std::size_t semi = Path.find(';', slash == std::string::npos ? 0 : slash);
    return semi == std::string::npos ? std::string() : Path.substr(semi + 1);
}

std::string TURLParts::PathWithoutParameters() const
{
    const std::size_t slash = Path.rfind('/');
    const std::size_t semi = Path.find(';', slash == std::string::npos ? 0 : slash);
    return Path.substr(0, semi);
}

std::optional<TURLParts> SplitURL(std::string_view url)
{
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (!IsURLChar(url[i]))
            return std::nullopt;
        if (url[i] == '%' && (i + 2 >= url.size() || !IsHex(url[i + 1]) || !IsHex(url[i + 2])))
            return std::nullopt;
    }
    TURLParts p;
    std::string_view rest = url;
    const std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        p.HasFragment = true;
        p.Fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
        if (p.Fragment.find('#') != std::string::npos)
            return std::nullopt;
    }
    const std::size_t colon = rest.find(':');
    const std::size_t firstDelim = rest.find_first_of("/?");
    if (colon != std::string_view::npos && colon > 0
        && (firstDelim == std::string_view::npos || colon < firstDelim) && IsAlpha(rest[0])) {
        for (char c : rest.substr(0, colon))
            if (!(IsAlpha(c) || IsDigit(c) || c == '+' || c == '-' || c == '.'))
                return std::nullopt;
        p.HasScheme = true;
        p.Scheme = rest.substr(0, colon);
        rest = rest.substr(colon + 1);
    }
    const std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        p.HasQuery = true;
        p.Query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    if (rest.substr(0, 2) == "//") {
        p.HasAuthority = true;
        const std::size_t end = std::min(rest.find('/', 2), rest.size());
        p.Authority = rest.substr(2, end - 2);
        rest = rest.substr(end);
        const std::size_t at = p.Authority.rfind('@');
        std::string hostPort = at == std::string::npos ? p.Authority : p.Authority.substr(at + 1);
        const std::size_t portColon = hostPort.rfind(':');
        if (portColon != std::string::npos && hostPort.find(']', portColon) == std::string::npos) {
            p.Port = hostPort.substr(portColon + 1);
            hostPort.resize(portColon);
            for (char c : p.Port)
                if (!IsDigit(c))
                    return std::nullopt;
        }
        p.Host = hostPort;
    }
    p.Path = rest;
    return p;
}

std::string JoinURL(const TURLParts& p)
{
    std::string out;
    if (p.HasScheme)
        out += p.Scheme + ":";
    if (p.HasAuthority)
        out += "//" + p.Authority;
    out += p.Path;
    if (p.HasQuery)
        out += "?" + p.Query;
    if (p.HasFragment)
        out += "#" + p.Fragment;
    return out;
}

std::string ResolveURL(std::string_view base, std::string_view embedded)
{
    const std::optional<TURLParts> r = SplitURL(embedded);
    const std::optional<TURLParts> b = SplitURL(base);
    if (!r || !b || r->HasScheme)
        return std::string(embedded);
    TURLParts t;
    t.HasScheme = b->HasScheme;
    t.Scheme = b->Scheme;
    t.HasFragment = r->HasFragment;
    t.Fragment = r->Fragment;
    if (r->HasAuthority) {
        t.HasAuthority = true;
        t.Authority = r->Authority;
        t.Path = RemoveDotSegments(r->Path);
        t.HasQuery = r->HasQuery;
        t.Query = r->Query;
        return JoinURL(t);
    }
    t.HasAuthority = b->HasAuthority;
    t.Authority = b->Authority;
    if (r->Path.empty()) {
        t.Path = b->Path;
        t.HasQuery = r->HasQuery || b->HasQuery;
        t.Query = r->HasQuery ? r->Query : b->Query;
        return JoinURL(t);
    }
    t.HasQuery = r->HasQuery;
    t.Query = r->Query;
    if (r->Path[0] == '/') {
        t.Path = RemoveDotSegments(r->Path);
    } else if (b->HasAuthority && b->Path.empty()) {
        t.Path = RemoveDotSegments("/" + r->Path);
    } else {
        const std::size_t slash = b->Path.rfind('/');
        t.Path
            = RemoveDotSegments((slash == std::string::npos ? "" : b->Path.substr(0, slash + 1)) + r->Path);
    }
    return JoinURL(t);
}

std::string RelativeURL(std::string_view base, std::string_view url)
{
    const std::size_t baseSlash = base.substr(0, base.find_first_of("?#")).rfind('/');
    if (baseSlash == std::string_view::npos || url.substr(0, baseSlash + 1) != base.substr(0, baseSlash + 1))
        return std::string(url);
    return std::string(url.substr(baseSlash + 1));
}

} // namespace pivrel::script
