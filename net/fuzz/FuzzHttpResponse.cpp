#include "base/PollEventLoop.h"
#include "net/HttpProt.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

// The first bytes choose the chunk sizes the response is cut into (as a connection would
// deliver it) and the body limit; the rest is the response itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pivrel;
    if (size < 2)
        return 0;
    const std::size_t chunkSeed = data[0];
    const std::int64_t limit = 64 + 64 * static_cast<std::int64_t>(data[1]);
    std::string_view response(reinterpret_cast<const char*>(data + 2), size - 2);

    base::TPollEventLoop loop;
    {
        net::THttpCli cli(loop);
        std::ostringstream body;
        cli.SetDocStream(&body);
        cli.SetMaxBodySize(limit);
        cli.SetURL("http://fuzz.invalid/dir/deck.wml");
        cli.StartResponseForTest(net::httpGET);
        std::size_t step = 1 + chunkSeed % 17;
        while (!response.empty()) {
            const std::size_t taken = std::min(step, response.size());
            cli.ReceiveForTest(response.substr(0, taken));
            response.remove_prefix(taken);
            step = 1 + (step * 31 + chunkSeed) % 9000;
        }
        cli.CloseForTest();
        if (static_cast<std::int64_t>(body.str().size()) > limit)
            __builtin_trap();
        // The header kept stays within its budget, and a redirection never leaves the web.
        std::int64_t headerBytes = 0;
        for (const std::string& line : cli.ResponseHeader())
            headerBytes += static_cast<std::int64_t>(line.size()) + 1;
        if (headerBytes > net::THttpCli::kMaxHeaderBytes)
            __builtin_trap();
        const std::string& location = cli.Location();
        if (location.rfind("http://", 0) != 0 && location.rfind("https://", 0) != 0)
            __builtin_trap();
    }
    // Notices posted for the destroyed client must find it gone and do nothing.
    loop.ProcessPending();
    return 0;
}
