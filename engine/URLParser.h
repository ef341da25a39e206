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
    void JoinToBase(std::string& work);
    void SplitParts(std::string& work);
};

} // namespace pivrel::engine
