#include "engine/URLParser.h"

#include "base/Ascii.h"
#include "wml/Entities.h"

#include <cctype>

namespace pivrel::engine {

namespace {

    constexpr std::string_view kSchemeMark = "://";
    constexpr std::string_view kFileProtocol = "file://";

    bool Contains(std::string_view text, std::string_view part)
    {
        return text.find(part) != std::string_view::npos;
    }

    // Every "$$" becomes "$", the pairs taken from left to right.
    std::string CollapseDollars(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            out.push_back(text[i]);
            if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == '$')
                ++i;
        }
        return out;
    }

    // Every "//" loses one "/", so a run of slashes ends up as one.
    std::string CollapseSlashes(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (char c : text) {
            if (c == '/' && !out.empty() && out.back() == '/')
                continue;
            out.push_back(c);
        }
        return out;
    }

    // Splits text at the first occurrence of mark: text keeps what lies before it, the result is what
    // follows it.
    std::string CutAtFirst(std::string& text, char mark)
    {
        std::size_t p = text.find(mark);
        std::string after = text.substr(p + 1);
        text.erase(p);
        return after;
    }

    // The length of the scheme in front of "://" at the start of the address, or 0 when it has none.
    std::size_t SchemeLength(std::string_view text)
    {
        const std::size_t mark = text.find(kSchemeMark);
        if (mark == std::string_view::npos || mark == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
            return 0;
        for (std::size_t i = 1; i < mark; ++i) {
            const char c = text[i];
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
                return 0;
        }
        return mark;
    }

    bool IsWebScheme(std::string_view scheme)
    {
        const std::string lower = base::AsciiLower(scheme);
        return lower == "http" || lower == "https";
    }

    // An http or https address in the form web browsers use: backslashes in the path read as "/",
    // dot segments removed, an empty path made "/".
    std::string NormalizeWeb(std::string_view address)
    {
        TUriParts parts = SplitUri(address);
        for (char& c : parts.Path) {
            if (c == '\\')
                c = '/';
        }
        parts.Path = RemoveDotSegments(parts.Path);
        if (parts.Path.empty())
            parts.Path = "/";
        return JoinUri(parts);
    }

} // namespace

TUriParts SplitUri(std::string_view uri)
{
    TUriParts parts;
    if (const std::size_t hash = uri.find('#'); hash != std::string_view::npos) {
        parts.HasFragment = true;
        parts.Fragment = uri.substr(hash + 1);
        uri = uri.substr(0, hash);
    }
    if (const std::size_t question = uri.find('?'); question != std::string_view::npos) {
        parts.HasQuery = true;
        parts.Query = uri.substr(question + 1);
        uri = uri.substr(0, question);
    }
    if (const std::size_t length = SchemeLength(uri); length > 0) {
        parts.Scheme = uri.substr(0, length);
        uri.remove_prefix(length + 1);
    }
    if (uri.starts_with("//")) {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        parts.HasAuthority = true;
        parts.Authority = uri.substr(0, slash);
        uri = slash == std::string_view::npos ? std::string_view() : uri.substr(slash);
    }
    parts.Path = uri;
    return parts;
}

std::string JoinUri(const TUriParts& parts)
{
    std::string out;
    if (!parts.Scheme.empty())
        out += parts.Scheme + ":";
    if (parts.HasAuthority)
        out += "//" + parts.Authority;
    out += parts.Path;
    if (parts.HasQuery)
        out += "?" + parts.Query;
    if (parts.HasFragment)
        out += "#" + parts.Fragment;
    return out;
}

std::string RemoveDotSegments(std::string_view path)
{
    // The input only ever loses characters at its front, or is replaced by a lone "/"; a view keeps
    // each step short whatever the length of the path.
    constexpr std::string_view kSlash = "/";
    std::string_view in = path;
    std::string out;
    const auto popSegment = [&out] { out.erase(std::min(out.size(), out.rfind('/'))); };
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./") || in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = kSlash;
        } else if (in.starts_with("/../")) {
            in.remove_prefix(3);
            popSegment();
        } else if (in == "/..") {
            in = kSlash;
            popSegment();
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const std::size_t next = std::min(in.find('/', 1), in.size());
            out.append(in.substr(0, next));
            in.remove_prefix(next);
        }
    }
    return out;
}

std::string ResolveReference(std::string_view base, std::string_view reference)
{
    const TUriParts b = SplitUri(base);
    const TUriParts r = SplitUri(reference);
    TUriParts t;
    t.Scheme = r.Scheme.empty() ? b.Scheme : r.Scheme;
    t.HasFragment = r.HasFragment;
    t.Fragment = r.Fragment;
    if (!r.Scheme.empty() || r.HasAuthority) {
        t.HasAuthority = r.HasAuthority;
        t.Authority = r.Authority;
        t.Path = RemoveDotSegments(r.Path);
        t.HasQuery = r.HasQuery;
        t.Query = r.Query;
        return JoinUri(t);
    }
    t.HasAuthority = b.HasAuthority;
    t.Authority = b.Authority;
    if (r.Path.empty()) {
        t.Path = b.Path;
        t.HasQuery = r.HasQuery || b.HasQuery;
        t.Query = r.HasQuery ? r.Query : b.Query;
        return JoinUri(t);
    }
    if (r.Path.front() == '/') {
        t.Path = RemoveDotSegments(r.Path);
    } else {
        // Merged with the base's folder: everything up to its last "/", a document never counts.
        std::string merged
            = b.HasAuthority && b.Path.empty() ? std::string("/") : b.Path.substr(0, b.Path.rfind('/') + 1);
        merged += r.Path;
        t.Path = RemoveDotSegments(merged);
    }
    t.HasQuery = r.HasQuery;
    t.Query = r.Query;
    return JoinUri(t);
}

bool TURLParser::Clear()
{
    Protocol.clear();
    Host.clear();
    Path.clear();
    Document.clear();
    Parameters.clear();
    PageHOP.clear();
    CompleteURL.clear();
    m_webBase.clear();
    return true;
}

std::string TURLParser::Resolve(std::string_view url, bool reset)
{
    if (url.empty())
        return {};
    std::string work = CollapseDollars(wml::DecodeEntities(url));
    const std::size_t schemeLength = SchemeLength(work);
    const bool webAddress = schemeLength > 0 && IsWebScheme(std::string_view(work).substr(0, schemeLength));
    // A "://" further on (in a query, say) makes no address absolute against a web deck.
    const bool relativeToWeb = !reset && !m_webBase.empty() && schemeLength == 0;
    if (Contains(url, kSchemeMark))
        reset = true;
    // An http or https address, and any relative one against it, resolves as web browsers do; the
    // fields then describe the result.
    std::string web;
    if (webAddress)
        web = NormalizeWeb(work);
    else if (relativeToWeb)
        web = NormalizeWeb(ResolveReference(m_webBase, work));
    if (reset || !web.empty())
        Clear();
    ResolveParts(web.empty() ? std::move(work) : web);
    if (!web.empty()) {
        CompleteURL = web;
        m_webBase = web;
    }
    return CompleteURL;
}

void TURLParser::ResolveParts(std::string work)
{
    if (!work.empty() && work.back() == '/')
        work.pop_back();
    if (!work.empty() && work.front() == '/') {
        work = Protocol + Host + work;
        Clear();
    }
    if (!work.empty() && work.front() == '#') {
        PageHOP = work.substr(1);
        work = BuildURL();
    }
    JoinToBase(work);
    SplitParts(work);
    CompleteURL = BuildURL();
}

// An address with a scheme stands alone; any other is joined to the held host, and with "./" to the held
// directory too. A local address has no host, so a held file path stands in for it.
void TURLParser::JoinToBase(std::string& work)
{
    std::size_t mark = work.find(kSchemeMark);
    if (mark != std::string::npos) {
        Protocol = work.substr(0, mark + kSchemeMark.size());
        work.erase(0, mark + kSchemeMark.size());
        return;
    }
    if (Protocol.empty())
        Protocol = "http://";
    bool localBase = Protocol == kFileProtocol && (!Path.empty() || !Document.empty());
    if ((Host.empty() && !localBase) || work.empty())
        return;
    if (work.starts_with("./"))
        work = Host + "/" + Path + "/" + work.substr(2);
    else
        work = Host + "/" + work;
}

void TURLParser::SplitParts(std::string& work)
{
    // The fragment is cut first, so a "?" after the "#" belongs to the fragment.
    if (Contains(work, "#"))
        PageHOP = CutAtFirst(work, '#');
    else
        PageHOP.clear();
    // A relative address without a query of its own keeps the query of the base.
    if (Contains(work, "?"))
        Parameters = CutAtFirst(work, '?');
    for (char& c : work) {
        if (c == '\\')
            c = '/';
    }
    std::size_t lastSlash = work.rfind('/');
    if (lastSlash != std::string::npos) {
        Document = work.substr(lastSlash + 1);
        work.erase(lastSlash);
    } else if (!Document.empty()) {
        Document = DefaultDoc;
    }
    if (Contains(work, "/"))
        Path = CutAtFirst(work, '/');
    // A last segment without a "." names a directory.
    if (!Contains(Document, ".")) {
        Path = Path + "/" + Document;
        Document.clear();
    }
    if (!work.empty())
        Host = work;
}

std::string TURLParser::BuildURL() const
{
    std::string s = Host;
    if (!Path.empty())
        s += "/" + Path;
    if (!Document.empty())
        s += "/" + Document;
    if (!Parameters.empty())
        s += "?" + Parameters;
    if (!PageHOP.empty())
        s += "#" + PageHOP;
    return Protocol + CollapseSlashes(s);
}

} // namespace pivrel::engine
