#include "net/HttpResponseParser.h"

#include "base/ListFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace pivrel::net {

namespace {

    // The number at the start of text (after blanks); fallback when there is none.
    std::int64_t LeadingNumber(const std::string& text, std::int64_t fallback)
    {
        std::size_t i = text.find_first_not_of(' ');
        if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[i])))
            return fallback;
        std::int64_t value = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), INT64_C(1) << 53);
        return value;
    }

    // A header value without the blanks HTTP allows around it.
    std::string TrimBlanks(const std::string& text)
    {
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t") - first + 1);
    }

} // namespace

void THttpResponseParser::Reset(std::int64_t headerBudget)
{
    m_response = THttpResponseState {};
    m_phase = TPhase::Header;
    m_partial.clear();
    m_headerBudget = std::min(headerBudget, kMaxHeaderBytes);
    m_bodyBytes = 0;
}

void THttpResponseParser::Feed(const char* data, std::size_t len)
{
    if (m_phase == TPhase::Header && !FeedHeader(data, len))
        return;
    if (m_phase != TPhase::Body || len == 0)
        return;
    m_bodyBytes += static_cast<std::int64_t>(len);
    m_sink.Body(data, len);
}

// Takes whole lines while the header lasts; data and len are left at the bytes not taken.
// False when the sink stopped the parsing or the header broke a limit.
bool THttpResponseParser::FeedHeader(const char*& data, std::size_t& len)
{
    while (m_phase == TPhase::Header && len > 0) {
        const auto* newline = static_cast<const char*>(std::memchr(data, '\n', len));
        const std::size_t taken = newline == nullptr ? len : static_cast<std::size_t>(newline - data) + 1;
        m_partial.append(data, newline == nullptr ? len : taken - 1);
        data += taken;
        len -= taken;
        // A line that cannot fit with its line end is refused before it ends.
        if (m_partial.size() >= kMaxLineBytes) {
            Refuse("HTTP line too long");
            return false;
        }
        if (newline == nullptr)
            return true;
        std::string line;
        line.swap(m_partial);
        std::string lineEnd = "\n";
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            lineEnd = "\r\n";
        }
        if (!TakeLine(line, lineEnd))
            return false;
    }
    return m_phase == TPhase::Body;
}

bool THttpResponseParser::TakeLine(const std::string& line, const std::string& lineEnd)
{
    if (m_response.HeaderLineCount == 0) {
        // Each response states its own type; one without Content-Type has none.
        m_response.ContentType.clear();
        if (!m_sink.HeaderBegin())
            return false;
    }
    m_response.HeaderBytes += static_cast<std::int64_t>(line.size() + lineEnd.size());
    if (++m_response.HeaderLineCount > kMaxHeaderLines || m_response.HeaderBytes > m_headerBudget) {
        Refuse("HTTP header too long");
        return false;
    }
    if (base::AsciiUpper(std::string_view(line).substr(0, 6)) == "<HTML>") {
        // No header at all: the document itself, starting with this line.
        if (m_response.ContentType.empty())
            m_response.ContentType = "text/html";
        m_phase = TPhase::Body;
        if (!m_sink.HeaderEnd(true))
            return false;
        const std::string first = line + lineEnd;
        m_bodyBytes += static_cast<std::int64_t>(first.size());
        return m_sink.Body(first.data(), first.size());
    }
    if (line.empty()) {
        m_phase = TPhase::Body;
        return m_sink.HeaderEnd(false);
    }
    m_response.ResponseHeader.push_back(line);
    const std::size_t colon = line.find(':');
    const std::string version = line.substr(0, 8);
    if (version == "HTTP/1.0" || version == "HTTP/1.1") {
        m_response.Version = version;
        m_response.StatusCode = static_cast<int>(LeadingNumber(line.size() > 9 ? line.substr(9, 3) : "", 0));
        m_response.ReasonPhrase = line.size() > 13 ? line.substr(13) : "";
    } else if (colon != std::string::npos) {
        const std::string name = base::AsciiLower(std::string_view(line).substr(0, colon));
        const std::string value = TrimBlanks(line.substr(colon + 1));
        ReadField(name, value);
        if (!m_sink.HeaderField(name, value))
            return false;
    }
    return m_sink.HeaderLine();
}

void THttpResponseParser::ReadField(const std::string& name, const std::string& value)
{
    if (name == "location") {
        m_response.LocationValue = value;
        m_response.HasLocation = true;
    } else if (name == "content-length") {
        m_response.ContentLength = LeadingNumber(value, -1);
    } else if (name == "content-type") {
        m_response.ContentType = base::AsciiLower(value);
    } else if (name == "www-authenticate") {
        m_response.AuthenticateLines.push_back(value);
    } else if (name == "proxy-authenticate") {
        m_response.ProxyAuthenticateLines.push_back(value);
    }
}

void THttpResponseParser::Refuse(const std::string& reason)
{
    m_phase = TPhase::Stopped;
    m_partial.clear();
    m_sink.Refused(reason);
}

std::string THttpResponseParser::CloseReason() const
{
    if (m_response.StatusCode == 0 && m_bodyBytes == 0)
        return "The server closed the connection without an answer";
    if (m_phase == TPhase::Header)
        return "The server closed the connection inside the header";
    const int status = m_response.StatusCode;
    const bool bodyless = status == 204 || status == 304 || (status >= 100 && status < 200);
    if (!bodyless && m_response.ContentLength >= 0 && m_bodyBytes < m_response.ContentLength)
        return "The document is incomplete: " + std::to_string(m_bodyBytes) + " of "
            + std::to_string(m_response.ContentLength) + " bytes arrived";
    return {};
}

} // namespace pivrel::net
