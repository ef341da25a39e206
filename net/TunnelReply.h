#pragma once

#include "net/HttpResponseParser.h"

#include <cstddef>
#include <string>

namespace pivrel::net {

// Reads a proxy's answer to CONNECT with the parser every response goes through. The tunnel
// opens only on a 2xx status whose header ends the bytes: whatever a proxy sent past its header
// cannot belong to a secure stream that has not started yet.
class TTunnelReply : private IHttpResponseSink
{
public:
    enum class TOutcome { Waiting, Open, Refused };

    TTunnelReply() { m_parser.Reset(); }

    TTunnelReply(const TTunnelReply&) = delete;
    TTunnelReply& operator=(const TTunnelReply&) = delete;

    TOutcome Feed(const char* data, std::size_t len);

    TOutcome Outcome() const { return m_outcome; }

    // Why the tunnel did not open, in the words the request fails with.
    const std::string& Reason() const { return m_reason; }

private:
    bool HeaderBegin() override { return true; }

    bool HeaderField(const std::string&, const std::string&) override { return true; }

    bool HeaderLine() override { return true; }

    bool HeaderEnd(bool headerless) override;
    bool Body(const char* data, std::size_t len) override;
    void Refused(const std::string& reason) override;
    void Refuse(const std::string& reason);

    THttpResponseParser m_parser { *this };
    TOutcome m_outcome = TOutcome::Waiting;
    std::string m_reason;
};

} // namespace pivrel::net
