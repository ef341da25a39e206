#include "net/CookieJar.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// The input is a set of Set-Cookie values, one a line, received from one site. Whatever the jar
// keeps must stay within its bounds, and its file must read back into the same file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pivrel::net;
    const std::string input(reinterpret_cast<const char*>(data), size);
    TCookieJar jar([] { return TCookieTime(1600000000); });
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        jar.SetCookie(
            "http://www.example.co.uk/dir/page.wml", std::string_view(input).substr(start, end - start));
        start = end + 1;
    }
    (void)ParseCookieDate(input);
    if (jar.Cookies().size() > kMaxCookiesPerDomain)
        std::abort();
    (void)jar.CookieHeader("http://www.example.co.uk/dir/page.wml");
    const std::string saved = jar.Serialize();
    TCookieJar copy([] { return TCookieTime(1600000000); });
    copy.Deserialize(saved);
    if (copy.Serialize() != saved)
        std::abort();
    // A jar file of any content must load without harm.
    copy.Deserialize(input);
    return 0;
}
