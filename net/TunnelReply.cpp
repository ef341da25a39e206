#include "net/TunnelReply.h"

namespace pivrel::net {

TTunnelReply::TOutcome TTunnelReply::Feed(const char* data, std::size_t len)
{
    if (m_outcome == TOutcome::Waiting)
        m_parser.Feed(data, len);
    // Bytes past the header that arrived with it count as much as later ones.
    else if (m_outcome == TOutcome::Open && len > 0)
        Body(data, len);
    return m_outcome;
}

bool TTunnelReply::HeaderEnd(bool headerless)
{
    const THttpResponseState& response = m_parser.Response();
    const std::string statusLine = response.ResponseHeader.empty() ? "" : response.ResponseHeader.front();
    if (headerless || response.StatusCode < 200 || response.StatusCode > 299) {
        Refuse("The proxy refused the secure connection: " + statusLine);
        return false;
    }
    m_outcome = TOutcome::Open;
    return true;
}

bool TTunnelReply::Body(const char*, std::size_t len)
{
    if (len == 0)
        return true;
    const THttpResponseState& response = m_parser.Response();
    Refuse("The proxy refused the secure connection: "
        + (response.ResponseHeader.empty() ? std::string() : response.ResponseHeader.front()));
    return false;
}

void TTunnelReply::Refused(const std::string& reason)
{
    Refuse(reason == "HTTP header too long" || reason == "HTTP line too long"
            ? "The proxy's answer is too long"
            : reason);
}

void TTunnelReply::Refuse(const std::string& reason)
{
    m_outcome = TOutcome::Refused;
    m_reason = reason;
}

} // namespace pivrel::net
