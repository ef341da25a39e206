#pragma once

#include <ctime>
#include <string>

namespace pivrel::net {

// The pieces of an address as the HTTP client reads it. Every piece is empty when the address
// does not name it; the path keeps the query.
struct THttpUrlParts {
    std::string Scheme;
    std::string User;
    std::string Password;
    std::string Host;
    std::string Port;
    std::string Path;
};

// Splits an address the client's way: "host", "host:port/path", "user:pw@host", "/path" and
// "http:path" all count, and no piece is ever checked for validity.
THttpUrlParts SplitURL(const std::string& url);

// The address with every byte that may not stand in a request line written as %XX: controls,
// blanks, bytes from 0x7F and "<>\^`{|}. A "%" is left alone, so that an encoded address stays
// as it is.
std::string EncodeRequestTarget(const std::string& target);

// Standard Base64 with "=" padding.
std::string Base64Encode(const std::string& bytes);

// "Tue, 03 Feb 2004 10:20:30 GMT" for a universal time.
std::string HttpDate(std::time_t universalTime);

// The document name for a request path: the last segment without its query, or "index.wml"
// for the root.
std::string DocNameFromPath(const std::string& path);

// The target of a relative reference (one that names neither scheme nor a leading "/") against
// the path it was found beside: "b.wml" next to "/dir/a.wml" is "/dir/b.wml", "?q" keeps the
// path.
std::string ResolveRelativePath(const std::string& basePath, const std::string& reference);

} // namespace pivrel::net
