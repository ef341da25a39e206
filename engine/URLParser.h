#pragma once

#include <string>
#include <string_view>

namespace pivrel::engine {

// Splits an address into its parts, resolves a new address against the one it holds, and joins
// the parts back. The fields persist between calls.
class TURLParser
{
public:
    std::string Protocol;
    std::string Host;
    std::string Path;
    std::string Document;
    std::string Parameters;
    std::string PageHOP;
    std::string CompleteURL;
    std::string DefaultDoc = "index.wml";

    bool Clear();
    std::string Resolve(std::string_view url, bool reset);
    std::string BuildURL() const;

private:
    void ResolveParts(std::string work);
    void JoinToBase(std::string& work);
    void SplitParts(std::string& work);

    // The last http or https address resolved, exactly as resolved (its trailing "/" included):
    // relative addresses resolve against it as web browsers do. Empty for other addresses.
    std::string m_webBase;
};

// The parts of an address as RFC 3986 names them; each Has flag tells an empty part from none.
struct TUriParts {
    std::string Scheme;
    bool HasAuthority = false;
    std::string Authority;
    std::string Path;
    bool HasQuery = false;
    std::string Query;
    bool HasFragment = false;
    std::string Fragment;
};

TUriParts SplitUri(std::string_view uri);
std::string JoinUri(const TUriParts& parts);
// The path with its "." and ".." segments taken out.
std::string RemoveDotSegments(std::string_view path);
// The reference resolved against an absolute base address.
std::string ResolveReference(std::string_view base, std::string_view reference);

} // namespace pivrel::engine
