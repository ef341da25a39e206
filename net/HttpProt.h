#pragma once

#include "base/EventLoop.h"
#include "base/StringList.h"
#include "base/WeakRef.h"
#include "net/HttpResponseParser.h"
#include "net/TunnelReply.h"
#include "net/WSocket.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pivrel::net {

enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpAborting
};

enum THttpRequest { httpNone, httpGET, httpPOST };

// The failure of a request: a text and a code, which is the HTTP status for a failed request
// and one of the small numbers below for a request that could not start.
class EHttpException : public std::runtime_error
{
public:
    EHttpException(const std::string& message, std::uint16_t errorCode)
        : std::runtime_error(message)
        , m_errorCode(errorCode)
    { }

    std::uint16_t ErrorCode() const { return m_errorCode; }

private:
    std::uint16_t m_errorCode;
};

class THttpCli;

using THttpNotifyEvent = std::function<void(THttpCli& sender)>;
using TDocDataEvent = std::function<void(THttpCli& sender, const char* buffer, int len)>;
using THttpCommandEvent = std::function<void(THttpCli& sender, const std::string& line)>;
using TCookieRcvdEvent = std::function<void(THttpCli& sender, const std::string& data, bool& accept)>;
using THttpRequestDone = std::function<void(THttpCli& sender, THttpRequest rqType, std::uint16_t error)>;
using THttpDataAvailable = std::function<void(THttpCli& sender, int error)>;
using THttpTraceEvent = std::function<void(THttpCli& sender, const std::string& text)>;

// An HTTP/1.0 client driven by socket events: one GET or POST at a time, directly or through
// an HTTP proxy, with Basic authentication, following redirections, streaming the body into
// the caller's DocStream. Start it and follow its events, or call the blocking Get and Post,
// which keep the event loop turning until the request is over and throw EHttpException when
// it failed.
//
// Failures the client finds itself end the request like a failed connection: StatusCode and
// ReasonPhrase say what happened and RequestDoneError holds one of the codes below.
class THttpCli : private IHttpResponseSink
{
public:
    // Raised at once by Get, Post and StartRequest.
    static constexpr std::uint16_t kErrBusy = 1;
    static constexpr std::uint16_t kErrNothingToPost = 2;
    // RequestDoneError values of requests that ended without a socket error.
    static constexpr int kErrAborted = 3;
    static constexpr int kErrLineTooLong = 4;
    static constexpr int kErrBodyTooLarge = 5;
    static constexpr int kErrTooManyRedirections = 6;
    static constexpr int kErrWriteFailed = 7;
    static constexpr int kErrIncomplete = 8;
    static constexpr int kErrTimeout = 9;
    static constexpr int kErrBadAddress = 10;
    static constexpr int kErrBadRedirection = 11;
    static constexpr int kErrTunnel = 12;
    // The status of a request that failed locally, and of one whose body outgrew MaxBodySize.
    static constexpr int kLocalFailureStatus = 404;
    static constexpr int kBodyTooLargeStatus = 413;
    static constexpr int kMaxRedirections = 20;
    // The header of one response, and all the headers of a chain of redirections, in bytes.
    static constexpr std::int64_t kMaxHeaderBytes = THttpResponseParser::kMaxHeaderBytes;
    static constexpr std::int64_t kMaxChainHeaderBytes = 256 * 1024;
    static constexpr int kDefaultConnectTimeoutMs = 30 * 1000;
    static constexpr int kDefaultIdleTimeoutMs = 60 * 1000;
    static constexpr std::int64_t kDefaultMaxBodySize = 32 * 1024 * 1024;
    // A header line must fit the receive buffer with its line end.
    static constexpr int kReceiveBufferSize = static_cast<int>(THttpResponseParser::kMaxLineBytes);
    static constexpr int kSendChunkSize = 8193;

    explicit THttpCli(base::TEventLoop& loop);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Blocking requests: they return when the client is ready again and throw EHttpException
    // (ReasonPhrase, StatusCode) when the final status is 400 or more.
    void Get();
    void Post();
    void Abort();
    // The asynchronous start; throws EHttpException when busy or when a POST has no SendStream.
    void StartRequest(THttpRequest kind);

    THttpState State() const { return m_state; }

    TWSocket& Socket() { return m_socket; }

    // Request settings.
    const std::string& URL() const { return m_url; }

    void SetURL(const std::string& value) { m_url = value; }

    const std::string& Proxy() const { return m_proxy; }

    void SetProxy(const std::string& value) { m_proxy = value; }

    const std::string& ProxyPort() const { return m_proxyPort; }

    void SetProxyPort(const std::string& value) { m_proxyPort = value; }

    const std::string& Username() const { return m_username; }

    // Credentials set here belong to the origin of the next request.
    void SetUsername(const std::string& value)
    {
        m_username = value;
        m_credentialOrigin.clear();
    }

    const std::string& Password() const { return m_password; }

    void SetPassword(const std::string& value)
    {
        m_password = value;
        m_credentialOrigin.clear();
    }

    const std::string& ProxyUsername() const { return m_proxyUsername; }

    void SetProxyUsername(const std::string& value) { m_proxyUsername = value; }

    const std::string& ProxyPassword() const { return m_proxyPassword; }

    void SetProxyPassword(const std::string& value) { m_proxyPassword = value; }

    const std::string& Sender() const { return m_sender; }

    void SetSender(const std::string& value) { m_sender = value; }

    const std::string& Reference() const { return m_reference; }

    void SetReference(const std::string& value) { m_reference = value; }

    const std::string& Agent() const { return m_agent; }

    void SetAgent(const std::string& value) { m_agent = value; }

    const std::string& Accept() const { return m_accept; }

    void SetAccept(const std::string& value) { m_accept = value; }

    // Universal time; 0 sends no If-Modified-Since.
    std::time_t ModifiedSince() const { return m_modifiedSince; }

    void SetModifiedSince(std::time_t value) { m_modifiedSince = value; }

    bool NoCache() const { return m_noCache; }

    void SetNoCache(bool value) { m_noCache = value; }

    const std::string& ContentTypePost() const { return m_contentTypePost; }

    void SetContentTypePost(const std::string& value) { m_contentTypePost = value; }

    const std::string& ContentRangeBegin() const { return m_contentRangeBegin; }

    void SetContentRangeBegin(const std::string& value) { m_contentRangeBegin = value; }

    const std::string& ContentRangeEnd() const { return m_contentRangeEnd; }

    void SetContentRangeEnd(const std::string& value) { m_contentRangeEnd = value; }

    const std::string& Cookie() const { return m_cookie; }

    void SetCookie(const std::string& value) { m_cookie = value; }

    bool MultiThreaded() const { return m_multiThreaded; }

    void SetMultiThreaded(bool value);

    // Not owned; receives the body bytes as they arrive.
    std::ostream* DocStream() const { return m_docStream; }

    void SetDocStream(std::ostream* value) { m_docStream = value; }

    // Not owned; the POST body, read from its position when the request starts.
    std::istream* SendStream() const { return m_sendStream; }

    void SetSendStream(std::istream* value) { m_sendStream = value; }

    // A PEM file of certificates trusted for https besides the system's; empty for none.
    const std::string& CaFile() const { return m_caFile; }

    void SetCaFile(const std::string& value) { m_caFile = value; }

    // The time allowed for the name lookup, the connection and its handshake, and the longest
    // silence of the server after that; 0 for no limit.
    int ConnectTimeoutMs() const { return m_connectTimeoutMs; }

    void SetConnectTimeoutMs(int value) { m_connectTimeoutMs = value; }

    int IdleTimeoutMs() const { return m_idleTimeoutMs; }

    void SetIdleTimeoutMs(int value) { m_idleTimeoutMs = value; }

    // A body longer than this ends the request as a failure before the excess is written.
    std::int64_t MaxBodySize() const { return m_maxBodySize; }

    void SetMaxBodySize(std::int64_t value) { m_maxBodySize = value; }

    // What the request and its response left.
    // The address being fetched, absolute after a redirection.
    const std::string& Location() const { return m_location; }

    void SetLocation(const std::string& value) { m_location = value; }

    int StatusCode() const { return m_response.StatusCode; }

    const std::string& ReasonPhrase() const { return m_response.ReasonPhrase; }

    const std::string& ContentType() const { return m_response.ContentType; }

    std::int64_t ContentLength() const { return m_response.ContentLength; }

    // The header lines of the latest response, status line first.
    const base::TStringList& ResponseHeader() const { return m_response.ResponseHeader; }

    const base::TStringList& AuthenticateLines() const { return m_response.AuthenticateLines; }

    // True when the latest connection was secure.
    bool Secure() const { return m_secure; }

    const std::string& DocName() const { return m_docName; }

    const std::string& RequestTarget() const { return m_requestTarget; }

    const std::string& ConnectHost() const { return m_connectHost; }

    const std::string& ConnectPort() const { return m_connectPort; }

    const std::string& TargetHost() const { return m_targetHost; }

    THttpRequest RequestKind() const { return m_requestKind; }

    int RequestDoneError() const { return m_requestDoneError; }

    std::int64_t ReceivedCount() const { return m_receivedCount; }

    std::int64_t SentCount() const { return m_sentCount; }

    int RedirectionCount() const { return m_redirectionCount; }

    bool Connected() const { return m_connected; }

    THttpNotifyEvent OnStateChange;
    THttpNotifyEvent OnSessionConnected;
    THttpNotifyEvent OnRequestHeaderBegin;
    THttpNotifyEvent OnRequestHeaderEnd;
    THttpCommandEvent OnCommand;
    THttpNotifyEvent OnSendBegin;
    TDocDataEvent OnSendData;
    THttpNotifyEvent OnSendEnd;
    THttpNotifyEvent OnHeaderBegin;
    THttpNotifyEvent OnHeaderData;
    THttpNotifyEvent OnHeaderEnd;
    THttpNotifyEvent OnDocBegin;
    TDocDataEvent OnDocData;
    THttpNotifyEvent OnDocEnd;
    TCookieRcvdEvent OnCookie;
    THttpNotifyEvent OnLocationChange;
    THttpRequestDone OnRequestDone;
    // Lines that arrive while neither header nor body is awaited.
    THttpDataAvailable OnDataAvailable;
    // Never fired; kept for handlers written against it.
    THttpTraceEvent OnTrace;

private:
    enum class TCloseHandler { Normal, Redirection };

    void RunRequest(THttpRequest kind);
    void ChangeState(THttpState newState);
    void PostNotice(void (THttpCli::*notice)());
    void SetReady();
    void Restart();
    void ResetForRequest(THttpRequest kind);
    void SetUpTarget();
    void StartLookup();
    void FailRequest(int error, int status, const std::string& reason);

    // Socket events.
    void SocketDnsLookupDone(int error);
    void SocketSessionConnected(int error);
    void SocketDataAvailable();
    void SocketDataSent();
    void SocketSessionClosed(int error);
    void ConnectSocket();
    void SessionReady();
    void SendTunnelRequest();
    void ReadTunnelReply();
    void ArmTimer(int ms, const std::string& reason);
    void TimedOut(const std::string& reason);
    std::string CheckTarget() const;
    std::string Origin() const;
    std::string DefaultPort() const;
    std::string HostField() const;
    bool Tunnelled() const;
    void UpdateRoute();
    std::string IncompleteReason(int closeError) const;

    void SendRequestHeader(const char* method);
    void WriteCommand(std::string& request, const std::string& line);
    std::int64_t SendStreamSize();
    void SendNextChunk();

    // What the response parser finds.
    bool HeaderBegin() override;
    bool HeaderField(const std::string& name, const std::string& value) override;
    bool HeaderLine() override;
    bool HeaderEnd(bool headerless) override;
    bool Body(const char* data, std::size_t len) override;
    void Refused(const std::string& reason) override;
    bool StartBody();
    // False once the response is no longer to be read.
    bool BodyData(const char* data, std::size_t len);
    void EndConnection();
    void FailResponse(int error, int status, const std::string& reason);

    bool FollowLocation(const std::string& value);
    void PrepareRedirectedRequest();
    std::string AbsoluteAddress() const;
    void NormalClose();
    void RedirectionClose();

    base::TEventLoop& m_loop;
    TWSocket m_socket;
    bool m_multiThreaded = false;
    THttpState m_state = httpReady;

    // Where the request goes: the connection, and the address as the server sees it.
    std::string m_connectHost;
    std::string m_targetHost;
    std::string m_connectPort;
    std::string m_targetScheme;
    std::string m_targetPort;
    std::string m_targetPath;

    std::string m_proxy;
    std::string m_proxyPort = "80";
    std::string m_username;
    std::string m_password;
    std::string m_proxyUsername;
    std::string m_proxyPassword;
    std::string m_location;
    bool m_connected = false;
    THttpRequest m_requestKind = httpNone;
    bool m_sendAllowed = false;
    std::string m_url;
    std::string m_requestTarget;
    std::string m_docName;
    std::string m_sender;
    std::string m_reference;
    std::string m_agent = "Mozilla/3.0 (compatible)";
    std::string m_accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::time_t m_modifiedSince = 0;
    bool m_noCache = false;
    THttpResponseParser m_parser { *this };
    // The state of the latest response, which the parser fills and every response resets.
    THttpResponseState& m_response = m_parser.Response();
    std::int64_t m_chainHeaderBytes = 0;
    std::string m_caFile;
    int m_connectTimeoutMs = kDefaultConnectTimeoutMs;
    int m_idleTimeoutMs = kDefaultIdleTimeoutMs;
    std::unique_ptr<base::TEventHandle> m_timer;
    // The origin the user name and password belong to: the request's own address.
    std::string m_credentialOrigin;
    enum class TTunnel { None, Connecting, Open };
    TTunnel m_tunnel = TTunnel::None;
    std::unique_ptr<TTunnelReply> m_tunnelReply;
    bool m_secure = false;
    std::string m_contentTypePost = "application/x-www-form-urlencoded";
    std::string m_contentRangeBegin;
    std::string m_contentRangeEnd;
    std::string m_cookie;
    bool m_redirecting = false;
    std::ostream* m_docStream = nullptr;
    std::int64_t m_receivedCount = 0;
    std::int64_t m_sentCount = 0;
    std::istream* m_sendStream = nullptr;
    std::istream::pos_type m_sendStart = 0;
    int m_requestDoneError = 0;
    TCloseHandler m_closeHandler = TCloseHandler::Normal;
    int m_bodyChunkCount = 0;
    int m_redirectionCount = 0;
    std::int64_t m_maxBodySize = kDefaultMaxBodySize;
    // Set once nothing more of the response is to be read: it failed, was refused or redirected.
    bool m_responseOver = false;
    // Set once the request has run its close handler, which must run only once.
    bool m_requestEnded = false;

    // Counts requests, so that a notice posted for one is dropped once another has started.
    std::uint64_t m_requestSerial = 0;
    base::TWeakAnchor<THttpCli> m_alive { *this };
};

} // namespace pivrel::net
