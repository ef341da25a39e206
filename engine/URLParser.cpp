#include "engine/URLParser.h"

#include "wml/Entities.h"

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

} // namespace

bool TURLParser::Clear()
{
    Protocol.clear();
    Host.clear();
    Path.clear();
    Document.clear();
    Parameters.clear();
    PageHOP.clear();
    CompleteURL.clear();
    return true;
}

std::string TURLParser::Resolve(std::string_view url, bool reset)
{
    if (url.empty())
        return {};
    if (Contains(url, kSchemeMark))
        reset = true;
    if (reset)
        Clear();
    std::string work = CollapseDollars(wml::DecodeEntities(url));
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
    return CompleteURL;
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
