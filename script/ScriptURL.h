#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pivrel::script {

// An address split into its generic parts. The has-flags tell an empty part from a missing one.
struct TURLParts {
    std::string Scheme;
    std::string Authority;
    std::string Host;
    std::string Port;
    std::string Path; // with its parameters
    std::string Query;
    std::string Fragment;
    bool HasScheme = false;
    bool HasAuthority = false;
    bool HasQuery = false;
    bool HasFragment = false;

    // The parameters of the last path segment (after its first ';'), and the path without them.
    std::string Parameters() const;
    std::string PathWithoutParameters() const;
};

// The parts of an absolute or relative address; empty when it breaks the generic syntax (a
// character that may not appear in an address, a bad escape, a scheme or port malformed).
std::optional<TURLParts> SplitURL(std::string_view url);

std::string JoinURL(const TURLParts& parts);

// The embedded address resolved against the base; an absolute embedded address stays as it is.
std::string ResolveURL(std::string_view base, std::string_view embedded);

// The address relative to base in its shortest form: the part after the base's last '/' when
// scheme, authority and directory agree, else the address itself.
std::string RelativeURL(std::string_view base, std::string_view url);

} // namespace pivrel::script
