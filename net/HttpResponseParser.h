#pragma once

#include "base/StringList.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace pivrel::net {

// What one response said. It starts afresh with every response, so that nothing of a
// redirection's answer (or of the previous request's) passes for part of the next.
struct THttpResponseState {
    // "HTTP/1.0" or "HTTP/1.1"; empty until a status line came.
    std::string Version;
    int StatusCode = 0;
    std::string ReasonPhrase;
    std::int64_t ContentLength = -1;
    std::string ContentType;
    base::TStringList ResponseHeader;
    base::TStringList AuthenticateLines;
    base::TStringList ProxyAuthenticateLines;
    // The Location value, followed only when the status is a redirection.
    std::string LocationValue;
    bool HasLocation = false;
    int HeaderLineCount = 0;
    std::int64_t HeaderBytes = 0;
};

// Where the parser hands what it finds, in the order the bytes said it. Every call returns
// whether parsing goes on: false stops it at once, and the parser touches nothing of itself
// after such a return, so that the receiver may even destroy it.
class IHttpResponseSink
{
public:
    virtual ~IHttpResponseSink() = default;
    // Before the first header line is taken into account.
    virtual bool HeaderBegin() = 0;
    // A "name: value" line, name in lower case and value without surrounding blanks, after the
    // parser took what it reads from it.
    virtual bool HeaderField(const std::string& name, const std::string& value) = 0;
    // After each header line kept in ResponseHeader (the status line included).
    virtual bool HeaderLine() = 0;
    // The header is over; headerless when the response began with its HTML body right away.
    virtual bool HeaderEnd(bool headerless) = 0;
    virtual bool Body(const char* data, std::size_t len) = 0;
    // The response broke a limit; nothing more of it is parsed.
    virtual void Refused(const std::string& reason) = 0;
};

// Reads an HTTP/1.0 response from byte chunks of any size: the status line, the header lines
// (ended by LF or CR LF) and the body, which runs to the end of the connection.
class THttpResponseParser
{
public:
    // A header line must fit this many bytes with its line end.
    static constexpr std::size_t kMaxLineBytes = 8192;
    // More header lines than this are refused, so that a server cannot fill memory with an
    // endless header.
    static constexpr int kMaxHeaderLines = 1000;
    static constexpr std::int64_t kMaxHeaderBytes = 64 * 1024;

    explicit THttpResponseParser(IHttpResponseSink& sink)
        : m_sink(sink)
    { }

    // Starts a new response; headerBudget caps the bytes of its header (at most
    // kMaxHeaderBytes).
    void Reset(std::int64_t headerBudget = kMaxHeaderBytes);
    void Feed(const char* data, std::size_t len);
    // Why a response whose connection closed cleanly now is not whole; empty when it is.
    std::string CloseReason() const;

    bool InHeader() const { return m_phase == TPhase::Header; }

    bool Stopped() const { return m_phase == TPhase::Stopped; }

    std::int64_t BodyBytes() const { return m_bodyBytes; }

    THttpResponseState& Response() { return m_response; }

    const THttpResponseState& Response() const { return m_response; }

private:
    enum class TPhase { Header, Body, Stopped };

    bool FeedHeader(const char*& data, std::size_t& len);
    bool TakeLine(const std::string& line, const std::string& lineEnd);
    void ReadStatusOrField(const std::string& line);
    void ReadField(const std::string& name, const std::string& value);
    void Refuse(const std::string& reason);

    IHttpResponseSink& m_sink;
    THttpResponseState m_response;
    TPhase m_phase = TPhase::Header;
    std::string m_partial;
    std::int64_t m_headerBudget = kMaxHeaderBytes;
    std::int64_t m_bodyBytes = 0;
};

} // namespace pivrel::net
