#include "net/HttpProt.h"

#include "base/Ascii.h"
#include "base/Event.h"
#include "net/HttpUrl.h"
#include "net/WSocketErrors.h"

#include <algorithm>
#include <cctype>

namespace pivrel::net {

using base::Fire;

namespace {

    // The largest read of body bytes at once.
    constexpr int kBodyReceiveSize = 64 * 1024;

    std::string CutFragment(const std::string& text)
    {
        return text.substr(0, text.find('#'));
    }

    bool HoldsLineBreak(const std::string& text)
    {
        return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
    }

    bool IsRedirection(int status)
    {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }

    // The scheme a reference names ("file" in "file:/x"), lower case; empty for a relative one.
    std::string SchemeOf(const std::string& reference)
    {
        const std::size_t colon = reference.find(':');
        if (colon == std::string::npos || colon == 0 || reference.find_first_of("/?#") < colon
            || !std::isalpha(static_cast<unsigned char>(reference[0])))
            return {};
        const std::string scheme = reference.substr(0, colon);
        if (scheme.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.")
            != std::string::npos)
            return {};
        return base::AsciiLower(scheme);
    }

} // namespace

THttpCli::THttpCli(base::TEventLoop& loop)
    : m_loop(loop)
    , m_socket(loop)
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { SocketDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { SocketSessionConnected(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { SocketDataAvailable(); };
    m_socket.OnDataSent = [this](TWSocket&, int) { SocketDataSent(); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { SocketSessionClosed(error); };
}

THttpCli::~THttpCli()
{
    // Posted notices check this token; the socket, destroyed after it, fires nothing more.
    m_alive.Reset();
}

void THttpCli::SetMultiThreaded(bool value)
{
    m_multiThreaded = value;
    m_socket.SetMultiThreaded(value);
}

// Starting and waiting

void THttpCli::Get()
{
    RunRequest(httpGET);
}

void THttpCli::Post()
{
    RunRequest(httpPOST);
}

void THttpCli::RunRequest(THttpRequest kind)
{
    const auto alive = m_alive.Ref();
    StartRequest(kind);
    m_loop.RunUntil([&] { return alive.Expired() || m_state == httpReady; });
    if (alive.Expired())
        throw EHttpException("Connection aborted on request", kLocalFailureStatus);
    if (m_response.StatusCode >= 400)
        throw EHttpException(m_response.ReasonPhrase, static_cast<std::uint16_t>(m_response.StatusCode));
}

void THttpCli::StartRequest(THttpRequest kind)
{
    if (m_state != httpReady)
        throw EHttpException("HTTP component is busy", kErrBusy);
    if (kind == httpPOST && m_sendStream == nullptr)
        throw EHttpException("HTTP component has nothing to post", kErrNothingToPost);
    const auto alive = m_alive.Ref();
    ResetForRequest(kind);
    ChangeState(httpNotConnected);
    if (alive.Expired())
        return;
    SetUpTarget();
    const std::string refusal = CheckTarget();
    if (!refusal.empty()) {
        FailRequest(kErrBadAddress, kLocalFailureStatus, refusal);
        return;
    }
    StartLookup();
}

void THttpCli::ResetForRequest(THttpRequest kind)
{
    ++m_requestSerial;
    m_chainHeaderBytes = 0;
    m_parser.Reset();
    m_tunnel = TTunnel::None;
    m_secure = false;
    m_requestKind = kind;
    m_requestDoneError = 0;
    m_closeHandler = TCloseHandler::Normal;
    m_docName.clear();
    m_receivedCount = 0;
    m_sentCount = 0;
    m_bodyChunkCount = 0;
    m_redirectionCount = 0;
    m_sendAllowed = false;
    m_redirecting = false;
    m_responseOver = false;
    m_requestEnded = false;
    m_location = m_url;
    if (kind == httpPOST) {
        m_sendStart = m_sendStream->tellg();
        if (m_sendStart == std::istream::pos_type(-1)) {
            m_sendStream->clear();
            m_sendStart = 0;
        }
    }
}

void THttpCli::SetUpTarget()
{
    const THttpUrlParts parts = SplitURL(m_url);
    const bool ownCredentials = !parts.User.empty() || !parts.Password.empty();
    if (!parts.User.empty())
        m_username = parts.User;
    if (!parts.Password.empty())
        m_password = parts.Password;
    m_targetScheme = parts.Scheme.empty() ? "http" : parts.Scheme;
    m_targetHost = parts.Host;
    m_targetPort = parts.Port;
    // The fragment names a card inside the document; it never travels to the server.
    m_targetPath = CutFragment(parts.Path);
    m_docName = DocNameFromPath(m_targetPath);
    if (m_targetPath.empty())
        m_targetPath = "/";
    m_targetScheme = base::AsciiLower(m_targetScheme);
    UpdateRoute();
    if (ownCredentials || m_credentialOrigin.empty())
        m_credentialOrigin = Origin();
}

// Where the connection goes and what the request line names, for the current target: an
// origin server and a tunnel through a proxy get the path alone, a proxy the whole address.
void THttpCli::UpdateRoute()
{
    m_requestTarget = EncodeRequestTarget(m_proxy.empty() || Tunnelled() ? m_targetPath : AbsoluteAddress());
    if (!m_proxy.empty()) {
        const THttpUrlParts proxy = SplitURL(m_proxy);
        m_connectHost = proxy.Host;
        m_connectPort = proxy.Port.empty() ? m_proxyPort : proxy.Port;
    } else {
        m_connectHost = m_targetHost;
        m_connectPort = m_targetPort.empty() ? DefaultPort() : m_targetPort;
    }
}

bool THttpCli::Tunnelled() const
{
    return !m_proxy.empty() && m_targetScheme == "https";
}

std::string THttpCli::DefaultPort() const
{
    return m_targetScheme == "https" ? "443" : "80";
}

std::string THttpCli::Origin() const
{
    return m_targetScheme + "://" + base::AsciiLower(m_targetHost) + ":"
        + (m_targetPort.empty() ? DefaultPort() : m_targetPort);
}

std::string THttpCli::HostField() const
{
    if (m_targetPort.empty() || m_targetPort == DefaultPort())
        return m_targetHost;
    return m_targetHost + ":" + m_targetPort;
}

// Why the request may not go out; empty when it may. Line breaks in the parts that travel as
// they are would let an address write header lines of its own.
std::string THttpCli::CheckTarget() const
{
    if (m_targetScheme != "http" && m_targetScheme != "https")
        return "Unsupported protocol '" + m_targetScheme + "'";
    if (HoldsLineBreak(m_targetHost) || HoldsLineBreak(m_targetPort))
        return "The host name holds a control character";
    if (HoldsLineBreak(m_username) || HoldsLineBreak(m_password) || HoldsLineBreak(m_proxyUsername)
        || HoldsLineBreak(m_proxyPassword))
        return "The user name or password holds a control character";
    return {};
}

std::string THttpCli::AbsoluteAddress() const
{
    return m_targetScheme + "://" + m_targetHost + (m_targetPort.empty() ? "" : ":" + m_targetPort)
        + m_targetPath;
}

// State and notices

void THttpCli::ChangeState(THttpState newState)
{
    if (m_state == newState)
        return;
    const auto alive = m_alive.Ref();
    m_state = newState;
    Fire(OnStateChange, *this);
    if (alive.Expired() || newState != httpReady)
        return;
    // The outcome is taken now: by the time the notice runs, another request may have begun.
    const THttpRequest kind = m_requestKind;
    const auto error = static_cast<std::uint16_t>(m_requestDoneError);
    m_loop.Post([this, alive, kind, error] {
        if (!alive.Expired())
            Fire(OnRequestDone, *this, kind, error);
    });
}

void THttpCli::PostNotice(void (THttpCli::*notice)())
{
    const auto alive = m_alive.Ref();
    const std::uint64_t serial = m_requestSerial;
    m_loop.Post([this, alive, serial, notice] {
        if (!alive.Expired() && serial == m_requestSerial)
            (this->*notice)();
    });
}

void THttpCli::SetReady()
{
    ChangeState(httpReady);
}

void THttpCli::Restart()
{
    // The headers of a chain of redirections share one budget.
    m_chainHeaderBytes += m_response.HeaderBytes;
    m_parser.Reset(kMaxChainHeaderBytes - m_chainHeaderBytes);
    m_tunnel = TTunnel::None;
    m_secure = false;
    m_responseOver = false;
    StartLookup();
}

void THttpCli::FailRequest(int error, int status, const std::string& reason)
{
    m_requestDoneError = error;
    m_response.StatusCode = status;
    m_response.ReasonPhrase = reason;
    NormalClose();
}

// Looking up and connecting

void THttpCli::StartLookup()
{
    const auto alive = m_alive.Ref();
    ChangeState(httpDnsLookup);
    if (alive.Expired() || m_state != httpDnsLookup)
        return;
    ArmTimer(m_connectTimeoutMs, "Connection to " + m_connectHost + " timed out");
    // An address without a host would leave the request waiting for a lookup that never runs.
    if (m_connectHost.empty()) {
        FailRequest(kWsaEINVAL, kLocalFailureStatus, "DNS lookup: invalid host name.");
        return;
    }
    try {
        m_socket.DnsLookup(m_connectHost);
    } catch (const ESocketException& e) {
        if (!alive.Expired() && m_state == httpDnsLookup)
            FailRequest(kWsaEINVAL, kLocalFailureStatus, e.what());
    }
}

void THttpCli::SocketDnsLookupDone(int error)
{
    if (m_state != httpDnsLookup || m_requestEnded)
        return;
    if (error != 0) {
        FailRequest(error, kLocalFailureStatus, "can't resolve hostname to IP address");
        return;
    }
    const auto alive = m_alive.Ref();
    ChangeState(httpDnsLookupDone);
    if (!alive.Expired())
        ConnectSocket();
}

void THttpCli::ConnectSocket()
{
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetPort(m_connectPort);
        m_socket.SetProto("tcp");
        m_socket.SetCaFile(m_caFile);
        m_socket.SetTlsHost(m_targetScheme == "https" && m_proxy.empty() ? m_targetHost : "");
        m_tunnel = Tunnelled() ? TTunnel::Connecting : TTunnel::None;
        m_socket.Connect();
    } catch (const ESocketException& e) {
        const std::string message = e.what();
        const int code = m_socket.LastError();
        // Errors of a socket function carry a code; the others (a port that is no number) only
        // their text.
        const std::string reason = message.rfind("Error ", 0) == 0
            ? "can't connect: " + WSocketErrorDesc(code) + " (Error #" + std::to_string(code) + ")"
            : "can't connect: " + message;
        m_requestDoneError = message.rfind("Error ", 0) == 0 ? code : kWsaEINVAL;
        m_response.StatusCode = kLocalFailureStatus;
        m_response.ReasonPhrase = reason;
        const auto alive = m_alive.Ref();
        m_socket.Close();
        if (!alive.Expired())
            NormalClose();
    }
}

void THttpCli::SocketSessionConnected(int error)
{
    if (m_state != httpDnsLookupDone)
        return;
    if (error == kTlsFailure) {
        FailRequest(error, kLocalFailureStatus, m_socket.TlsFailureReason());
        return;
    }
    if (error != 0) {
        FailRequest(
            error, kLocalFailureStatus, WSocketErrorDesc(error) + " (Error #" + std::to_string(error) + ")");
        return;
    }
    if (m_tunnel == TTunnel::Connecting) {
        SendTunnelRequest();
        return;
    }
    SessionReady();
}

// A tunnel through the proxy for a secure connection: the proxy's credentials go with the
// CONNECT request and never through the tunnel.
void THttpCli::SendTunnelRequest()
{
    const std::string authority = m_targetHost + ":" + (m_targetPort.empty() ? DefaultPort() : m_targetPort);
    std::string request = "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n";
    if (!m_agent.empty())
        request += "User-Agent: " + m_agent + "\r\n";
    if (!m_proxyUsername.empty())
        request
            += "Proxy-Authorization: Basic " + Base64Encode(m_proxyUsername + ":" + m_proxyPassword) + "\r\n";
    m_tunnelReply = std::make_unique<TTunnelReply>();
    m_socket.SendStr(request + "\r\n");
}

void THttpCli::ReadTunnelReply()
{
    char bytes[1024];
    const int count = m_socket.Receive(bytes, sizeof bytes);
    if (count <= 0)
        return;
    ArmTimer(m_idleTimeoutMs, "The proxy did not answer");
    if (!m_tunnelReply)
        return;
    const TTunnelReply::TOutcome outcome = m_tunnelReply->Feed(bytes, static_cast<std::size_t>(count));
    if (outcome == TTunnelReply::TOutcome::Waiting)
        return;
    if (outcome == TTunnelReply::TOutcome::Refused) {
        FailResponse(kErrTunnel, kLocalFailureStatus, m_tunnelReply->Reason());
        return;
    }
    m_tunnelReply.reset();
    m_tunnel = TTunnel::Open;
    m_socket.StartTls(m_targetHost);
}

void THttpCli::SessionReady()
{
    const auto alive = m_alive.Ref();
    m_secure = m_socket.Secure();
    ArmTimer(m_idleTimeoutMs, "The server did not answer");
    m_connected = true;
    ChangeState(httpConnected);
    if (alive.Expired())
        return;
    Fire(OnSessionConnected, *this);
    if (alive.Expired())
        return;
    ChangeState(httpWaitingHeader);
    if (alive.Expired() || m_state != httpWaitingHeader)
        return;
    SendRequestHeader(m_requestKind == httpPOST ? "POST" : "GET");
    if (alive.Expired() || m_requestKind != httpPOST || m_state != httpWaitingHeader)
        return;
    Fire(OnSendBegin, *this);
    if (alive.Expired())
        return;
    m_sendAllowed = true;
    SendNextChunk();
}

// Sending

void THttpCli::WriteCommand(std::string& request, const std::string& line)
{
    // A value that came with a line break must not start a header line of its own.
    std::string safe = line;
    std::replace_if(
        safe.begin(), safe.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    request += safe + "\r\n";
    Fire(OnCommand, *this, safe);
}

std::int64_t THttpCli::SendStreamSize()
{
    // Counted from the position the body is read from, so that the announced length always
    // matches the bytes that follow.
    std::istream& stream = *m_sendStream;
    const auto here = stream.tellg();
    stream.seekg(0, std::ios::end);
    const auto end = stream.tellg();
    stream.seekg(here);
    if (here == std::istream::pos_type(-1) || end == std::istream::pos_type(-1)) {
        stream.clear();
        return 0;
    }
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(end - here));
}

void THttpCli::SendRequestHeader(const char* method)
{
    const bool post = m_requestKind == httpPOST;
    std::string request;
    Fire(OnRequestHeaderBegin, *this);
    WriteCommand(request, std::string(method) + " " + m_requestTarget + " HTTP/1.0");
    if (!m_sender.empty())
        WriteCommand(request, "From: " + m_sender);
    if (!m_accept.empty())
        WriteCommand(request, "Accept: " + m_accept);
    if (!m_reference.empty())
        WriteCommand(request, "Referer: " + EncodeRequestTarget(m_reference));
    if (post && !m_contentTypePost.empty())
        WriteCommand(request, "Content-Type: " + m_contentTypePost);
    if (!m_agent.empty())
        WriteCommand(request, "User-Agent: " + m_agent);
    WriteCommand(request, "Host: " + HostField());
    if (m_noCache)
        WriteCommand(request, "Pragma: no-cache");
    if (post)
        WriteCommand(request, "Content-Length: " + std::to_string(SendStreamSize()));
    if (m_modifiedSince != 0)
        WriteCommand(request, "If-Modified-Since: " + HttpDate(m_modifiedSince));
    // Credentials go to the origin they came with only: never to the host a redirection names,
    // nor in clear text to the same host once it was reached securely.
    if (!m_username.empty() && Origin() == m_credentialOrigin)
        WriteCommand(request, "Authorization: Basic " + Base64Encode(m_username + ":" + m_password));
    if (!m_proxy.empty() && !Tunnelled() && !m_proxyUsername.empty())
        WriteCommand(
            request, "Proxy-Authorization: Basic " + Base64Encode(m_proxyUsername + ":" + m_proxyPassword));
    if (!m_cookie.empty())
        WriteCommand(request, "Cookie: " + m_cookie);
    if (!m_contentRangeBegin.empty() || !m_contentRangeEnd.empty()) {
        WriteCommand(request, "Range: bytes=" + m_contentRangeBegin + "-" + m_contentRangeEnd);
        m_contentRangeBegin.clear();
        m_contentRangeEnd.clear();
    }
    Fire(OnRequestHeaderEnd, *this);
    WriteCommand(request, "");
    m_socket.SendStr(request);
}

void THttpCli::SocketDataSent()
{
    if (m_sendAllowed)
        SendNextChunk();
}

void THttpCli::SendNextChunk()
{
    if (!m_sendAllowed || m_sendStream == nullptr)
        return;
    char chunk[kSendChunkSize];
    m_sendStream->read(chunk, sizeof chunk);
    const auto count = static_cast<int>(m_sendStream->gcount());
    if (count <= 0) {
        m_sendAllowed = false;
        Fire(OnSendEnd, *this);
        return;
    }
    const auto alive = m_alive.Ref();
    m_sentCount += count;
    Fire(OnSendData, *this, chunk, count);
    if (!alive.Expired() && m_socket.State() == wsConnected)
        m_socket.Send(chunk, count);
}

// Receiving

void THttpCli::SocketDataAvailable()
{
    if (m_tunnel == TTunnel::Connecting) {
        ReadTunnelReply();
        return;
    }
    const bool awaited = m_state == httpWaitingHeader || m_state == httpWaitingBody;
    if (awaited)
        ArmTimer(m_idleTimeoutMs, "The server did not answer");
    // The header comes a line buffer at a time; the body is read in large steps and handed on
    // directly.
    char block[kBodyReceiveSize];
    const int count = m_socket.Receive(block, m_parser.InHeader() ? kReceiveBufferSize : kBodyReceiveSize);
    if (m_requestKind == httpNone || count <= 0 || m_responseOver)
        return;
    if (!awaited) {
        Fire(OnDataAvailable, *this, 0);
        return;
    }
    m_parser.Feed(block, static_cast<std::size_t>(count));
}

bool THttpCli::HeaderBegin()
{
    const auto alive = m_alive.Ref();
    Fire(OnHeaderBegin, *this);
    return !alive.Expired() && !m_responseOver;
}

bool THttpCli::HeaderField(const std::string& name, const std::string& value)
{
    if (name == "content-range") {
        const std::size_t dash = value.find('-');
        m_contentRangeBegin = dash != std::string::npos && dash > 6 ? value.substr(6, dash - 6) : "";
        if (dash == std::string::npos) {
            m_contentRangeEnd.clear();
        } else {
            const std::size_t slash = value.find('/', dash + 1);
            m_contentRangeEnd
                = value.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
        }
    } else if (name == "set-cookie") {
        const auto alive = m_alive.Ref();
        bool accept = true;
        Fire(OnCookie, *this, value, accept);
        return !alive.Expired() && !m_responseOver;
    }
    return true;
}

bool THttpCli::HeaderLine()
{
    const auto alive = m_alive.Ref();
    Fire(OnHeaderData, *this);
    if (alive.Expired() || m_responseOver)
        return false;
    if (m_response.StatusCode < 400)
        return true;
    // The body of a failed request is not read.
    m_responseOver = true;
    EndConnection();
    return false;
}

bool THttpCli::HeaderEnd(bool headerless)
{
    if (headerless)
        return StartBody();
    const auto alive = m_alive.Ref();
    m_redirecting = m_response.HasLocation && IsRedirection(m_response.StatusCode);
    if (m_redirecting && !FollowLocation(m_response.LocationValue))
        return false;
    if (!m_redirecting) {
        const std::size_t dot = m_docName.rfind('.');
        if (dot != std::string::npos && base::AsciiLower(m_docName.substr(dot)) == ".exe"
            && m_response.ContentType == "text/html")
            m_docName = m_docName.substr(0, dot) + ".htm";
        return StartBody();
    }
    Fire(OnHeaderEnd, *this);
    if (alive.Expired() || m_responseOver)
        return false;
    m_bodyChunkCount = 0;
    if (++m_redirectionCount > kMaxRedirections) {
        FailResponse(kErrTooManyRedirections, kLocalFailureStatus, "Too many redirections");
        return false;
    }
    PrepareRedirectedRequest();
    // The body of the redirecting response is dropped with its connection.
    m_responseOver = true;
    m_closeHandler = TCloseHandler::Redirection;
    EndConnection();
    return false;
}

bool THttpCli::StartBody()
{
    const auto alive = m_alive.Ref();
    ChangeState(httpWaitingBody);
    if (alive.Expired())
        return false;
    Fire(OnHeaderEnd, *this);
    return !alive.Expired() && !m_responseOver;
}

bool THttpCli::Body(const char* data, std::size_t len)
{
    return BodyData(data, len);
}

void THttpCli::Refused(const std::string& reason)
{
    FailResponse(kErrLineTooLong, kLocalFailureStatus, reason);
}

bool THttpCli::BodyData(const char* data, std::size_t len)
{
    if (m_responseOver)
        return false;
    if (len == 0)
        return true;
    if (m_receivedCount + static_cast<std::int64_t>(len) > m_maxBodySize) {
        FailResponse(kErrBodyTooLarge, kBodyTooLargeStatus,
            "Document too large (more than " + std::to_string(m_maxBodySize) + " bytes)");
        return false;
    }
    const auto alive = m_alive.Ref();
    if (m_bodyChunkCount == 0) {
        Fire(OnDocBegin, *this);
        if (alive.Expired())
            return false;
    }
    ++m_bodyChunkCount;
    m_receivedCount += static_cast<std::int64_t>(len);
    Fire(OnDocData, *this, data, static_cast<int>(len));
    if (alive.Expired() || m_responseOver)
        return false;
    if (m_docStream == nullptr)
        return true;
    m_docStream->write(data, static_cast<std::streamsize>(len));
    // A document cut short by a full disk must not pass for a whole one.
    if (!*m_docStream) {
        FailResponse(kErrWriteFailed, kLocalFailureStatus, "Can't write the document");
        return false;
    }
    return !alive.Expired();
}

void THttpCli::FailResponse(int error, int status, const std::string& reason)
{
    m_requestDoneError = error;
    m_response.StatusCode = status;
    m_response.ReasonPhrase = reason;
    m_responseOver = true;
    m_closeHandler = TCloseHandler::Normal;
    EndConnection();
}

void THttpCli::EndConnection()
{
    if (m_socket.State() != wsClosed)
        m_socket.Close();
    else
        SocketSessionClosed(0);
}

// Redirections

bool THttpCli::FollowLocation(const std::string& value)
{
    std::string target = CutFragment(value);
    const std::string scheme = SchemeOf(target);
    if (!scheme.empty() && scheme != "http" && scheme != "https") {
        FailResponse(kErrBadRedirection, kLocalFailureStatus,
            "Redirection to an address of another kind refused: " + EncodeRequestTarget(value));
        return false;
    }
    if (target.rfind("//", 0) == 0)
        target = m_targetScheme + ":" + target;
    if (target.find("://") != std::string::npos) {
        const THttpUrlParts parts = SplitURL(target);
        m_targetScheme = base::AsciiLower(parts.Scheme);
        m_targetHost = parts.Host;
        m_targetPort = parts.Port;
        m_targetPath = parts.Path.empty() ? "/" : parts.Path;
    } else if (!target.empty() && target[0] == '/') {
        m_targetPath = target;
    } else {
        m_targetPath = ResolveRelativePath(m_targetPath, target);
    }
    const std::string refusal = CheckTarget();
    if (!refusal.empty()) {
        FailResponse(kErrBadRedirection, kLocalFailureStatus, refusal);
        return false;
    }
    UpdateRoute();
    m_location = AbsoluteAddress();
    return true;
}

void THttpCli::PrepareRedirectedRequest()
{
    if (m_requestKind != httpPOST)
        return;
    if (m_response.StatusCode == 307 || m_response.StatusCode == 308) {
        m_sendStream->clear();
        m_sendStream->seekg(m_sendStart);
    } else {
        m_requestKind = httpGET;
    }
}

// Closing

void THttpCli::SocketSessionClosed(int error)
{
    if (m_closeHandler == TCloseHandler::Redirection) {
        RedirectionClose();
        return;
    }
    // A response that ended before its end fails, so that no part of it passes for the whole.
    const std::string incomplete = IncompleteReason(error);
    if (!incomplete.empty()) {
        m_requestDoneError = kErrIncomplete;
        m_response.StatusCode = kLocalFailureStatus;
        m_response.ReasonPhrase = incomplete;
    }
    NormalClose();
}

std::string THttpCli::IncompleteReason(int closeError) const
{
    if (m_requestEnded || m_requestDoneError != 0 || m_responseOver || m_requestKind == httpNone)
        return {};
    if (m_state != httpWaitingHeader && m_state != httpWaitingBody)
        return {};
    if (closeError != 0)
        return "The connection broke before the document was complete ("
            + (closeError == kTlsFailure ? m_socket.TlsFailureReason() : WSocketErrorDesc(closeError)) + ")";
    return m_parser.CloseReason();
}

void THttpCli::NormalClose()
{
    if (m_requestEnded)
        return;
    m_requestEnded = true;
    m_connected = false;
    m_sendAllowed = false;
    m_timer.reset();
    const auto alive = m_alive.Ref();
    if (m_bodyChunkCount > 0)
        Fire(OnDocEnd, *this);
    if (!alive.Expired())
        PostNotice(&THttpCli::SetReady);
}

void THttpCli::RedirectionClose()
{
    m_connected = false;
    m_redirecting = false;
    m_sendAllowed = false;
    m_timer.reset();
    m_closeHandler = TCloseHandler::Normal;
    const auto alive = m_alive.Ref();
    Fire(OnLocationChange, *this);
    if (!alive.Expired())
        PostNotice(&THttpCli::Restart);
}

// Aborting

void THttpCli::Abort()
{
    if (m_state == httpReady) {
        if (m_socket.State() != wsClosed)
            m_socket.Close();
        return;
    }
    m_timer.reset();
    const auto alive = m_alive.Ref();
    const bool wasLookup = m_state == httpDnsLookup;
    ChangeState(httpAborting);
    if (alive.Expired())
        return;
    if (wasLookup)
        m_socket.CancelDnsLookup();
    m_response.StatusCode = kLocalFailureStatus;
    m_response.ReasonPhrase = "Connection aborted on request";
    m_requestDoneError = kErrAborted;
    m_responseOver = true;
    m_closeHandler = TCloseHandler::Normal;
    if (wasLookup || m_socket.State() == wsClosed)
        NormalClose();
    else
        m_socket.Close();
    if (alive.Expired())
        return;
    // Notices the aborted request left in the queue must not touch the next one.
    ++m_requestSerial;
    ChangeState(httpReady);
}

// Timeouts

void THttpCli::ArmTimer(int ms, const std::string& reason)
{
    if (ms <= 0) {
        m_timer.reset();
        return;
    }
    const auto alive = m_alive.Ref();
    const std::uint64_t serial = m_requestSerial;
    m_timer = m_loop.StartTimer(ms, false, [this, alive, serial, reason] {
        if (!alive.Expired() && serial == m_requestSerial)
            TimedOut(reason);
    });
}

void THttpCli::TimedOut(const std::string& reason)
{
    m_timer.reset();
    if (m_state == httpReady || m_state == httpAborting)
        return;
    if (m_state == httpDnsLookup) {
        FailRequest(kErrTimeout, kLocalFailureStatus, reason);
        m_socket.CancelDnsLookup();
        return;
    }
    FailResponse(kErrTimeout, kLocalFailureStatus, reason);
}

} // namespace pivrel::net
