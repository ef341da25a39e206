#include "net/HttpResponseParser.h"
#include "net/TunnelReply.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace pivrel::net;

// Keeps everything the parser hands on, in order, as one text.
class TTranscript : public IHttpResponseSink
{
public:
    bool HeaderBegin() override { return Add("B"); }

    bool HeaderField(const std::string& name, const std::string& value) override
    {
        return Add("F" + name + "\n" + value);
    }

    bool HeaderLine() override { return Add("L"); }

    bool HeaderEnd(bool headerless) override { return Add(headerless ? "E1" : "E0"); }

    bool Body(const char* data, std::size_t len) override
    {
        BodyText.append(data, len);
        return true;
    }

    void Refused(const std::string& reason) override { Add("R" + reason); }

    bool Add(const std::string& event)
    {
        Events += event + '\0';
        return true;
    }

    std::string Events;
    std::string BodyText;
};

struct TOutcome {
    std::string Events;
    std::string Body;
    std::string Close;
    THttpResponseState Response;
};

TOutcome Run(std::string_view response, std::size_t chunkSeed, std::int64_t budget)
{
    TTranscript transcript;
    THttpResponseParser parser(transcript);
    parser.Reset(budget);
    std::size_t step = chunkSeed == 0 ? response.size() + 1 : 1 + chunkSeed % 17;
    while (!response.empty() && !parser.Stopped()) {
        const std::size_t taken = std::min(step, response.size());
        parser.Feed(response.data(), taken);
        response.remove_prefix(taken);
        step = 1 + (step * 31 + chunkSeed) % 9000;
    }
    const std::string close = parser.Stopped() ? "stopped" : parser.CloseReason();
    return { transcript.Events, transcript.BodyText, close, parser.Response() };
}

} // namespace

// The first bytes choose the chunk sizes the response is cut into (as a connection would
// deliver it) and the header budget; the rest is the response itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t chunkSeed = 1 + data[0];
    const std::int64_t budget = data[1] < 128 ? THttpResponseParser::kMaxHeaderBytes : 256 * data[1];
    const std::string_view response(reinterpret_cast<const char*>(data + 2), size - 2);

    const TOutcome whole = Run(response, 0, budget);
    const TOutcome chunked = Run(response, chunkSeed, budget);
    // However the connection cuts the bytes, the parser finds the same response.
    if (whole.Events != chunked.Events || whole.Body != chunked.Body || whole.Close != chunked.Close
        || whole.Response.ResponseHeader != chunked.Response.ResponseHeader
        || whole.Response.StatusCode != chunked.Response.StatusCode)
        __builtin_trap();
    // The header kept stays within its budget, line count included.
    std::int64_t headerBytes = 0;
    for (const std::string& line : whole.Response.ResponseHeader)
        headerBytes += static_cast<std::int64_t>(line.size()) + 1;
    if (headerBytes > budget || whole.Response.HeaderLineCount > THttpResponseParser::kMaxHeaderLines + 1
        || whole.Response.ResponseHeader.size()
            > static_cast<std::size_t>(THttpResponseParser::kMaxHeaderLines))
        __builtin_trap();
    // Nothing but the bytes after the header becomes the body.
    if (whole.Body.size() > response.size()
        || response.substr(response.size() - whole.Body.size()) != std::string_view(whole.Body))
        __builtin_trap();
    // The same bytes as a proxy's answer to CONNECT: a tunnel opens only on 2xx with nothing after.
    TTunnelReply tunnel;
    if (tunnel.Feed(response.data(), response.size()) == TTunnelReply::TOutcome::Open
        && (whole.Response.StatusCode < 200 || whole.Response.StatusCode > 299 || !whole.Body.empty()))
        __builtin_trap();
    return 0;
}
