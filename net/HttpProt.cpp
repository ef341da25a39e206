#include "net/HttpProt.h"

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

    // A response with more header lines than this is refused, so that a server cannot fill
    // memory with an endless header.
    constexpr int kMaxHeaderLines = 1000;

    std::string Lower(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }

    std::string Upper(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(),
            [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return text;
    }

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

    std::string CutFragment(const std::string& text)
    {
        return text.substr(0, text.find('#'));
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
    m_socket.OnSessionClosed = [this](TWSocket&, int) { SocketSessionClosed(); };
}

THttpCli::~THttpCli()
{
    // Posted notices check this token; the socket, destroyed after it, fires nothing more.
    m_alive.reset();
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
    const std::weak_ptr<int> alive = m_alive;
    StartRequest(kind);
    m_loop.RunUntil([&] { return alive.expired() || m_state == httpReady; });
    if (alive.expired())
        throw EHttpException("Connection aborted on request", kLocalFailureStatus);
    if (m_statusCode >= 400)
        throw EHttpException(m_reasonPhrase, static_cast<std::uint16_t>(m_statusCode));
}

void THttpCli::StartRequest(THttpRequest kind)
{
    if (m_state != httpReady)
        throw EHttpException("HTTP component is busy", kErrBusy);
    if (kind == httpPOST && m_sendStream == nullptr)
        throw EHttpException("HTTP component has nothing to post", kErrNothingToPost);
    const std::weak_ptr<int> alive = m_alive;
    ResetForRequest(kind);
    ChangeState(httpNotConnected);
    if (alive.expired())
        return;
    SetUpTarget();
    StartLookup();
}

void THttpCli::ResetForRequest(THttpRequest kind)
{
    ++m_requestSerial;
    m_responseHeader.clear();
    m_requestKind = kind;
    m_requestDoneError = 0;
    m_closeHandler = TCloseHandler::Normal;
    m_lineHandler = TLineHandler::None;
    m_docName.clear();
    m_statusCode = 0;
    m_receivedCount = 0;
    m_sentCount = 0;
    m_headerLineCount = 0;
    m_bodyChunkCount = 0;
    m_redirectionCount = 0;
    m_contentLength = -1;
    m_sendAllowed = false;
    m_redirecting = false;
    m_responseOver = false;
    m_requestEnded = false;
    m_receiveBuffer.clear();
    // Challenges belong to the request that received them; kept across requests they would
    // pile up for the life of the client.
    m_authenticateLines.clear();
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
    if (!m_proxy.empty()) {
        m_requestTarget = AbsoluteAddress();
        const THttpUrlParts proxy = SplitURL(m_proxy);
        m_connectHost = proxy.Host;
        m_connectPort = proxy.Port.empty() ? m_proxyPort : proxy.Port;
    } else {
        m_requestTarget = m_targetPath;
        m_connectHost = m_targetHost;
        m_connectPort = m_targetPort.empty() ? "80" : m_targetPort;
    }
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
    const std::weak_ptr<int> alive = m_alive;
    m_state = newState;
    Fire(OnStateChange, *this);
    if (alive.expired() || newState != httpReady)
        return;
    // The outcome is taken now: by the time the notice runs, another request may have begun.
    const THttpRequest kind = m_requestKind;
    const auto error = static_cast<std::uint16_t>(m_requestDoneError);
    m_loop.Post([this, alive, kind, error] {
        if (!alive.expired())
            Fire(OnRequestDone, *this, kind, error);
    });
}

void THttpCli::PostNotice(void (THttpCli::*notice)())
{
    const std::weak_ptr<int> alive = m_alive;
    const std::uint64_t serial = m_requestSerial;
    m_loop.Post([this, alive, serial, notice] {
        if (!alive.expired() && serial == m_requestSerial)
            (this->*notice)();
    });
}

void THttpCli::SetReady()
{
    ChangeState(httpReady);
}

void THttpCli::Restart()
{
    m_responseOver = false;
    m_lineHandler = TLineHandler::None;
    m_receiveBuffer.clear();
    StartLookup();
}

void THttpCli::FailRequest(int error, int status, const std::string& reason)
{
    m_requestDoneError = error;
    m_statusCode = status;
    m_reasonPhrase = reason;
    NormalClose();
}

// Looking up and connecting

void THttpCli::StartLookup()
{
    const std::weak_ptr<int> alive = m_alive;
    ChangeState(httpDnsLookup);
    if (alive.expired() || m_state != httpDnsLookup)
        return;
    // An address without a host would leave the request waiting for a lookup that never runs.
    if (m_connectHost.empty()) {
        FailRequest(kWsaEINVAL, kLocalFailureStatus, "DNS lookup: invalid host name.");
        return;
    }
    try {
        m_socket.DnsLookup(m_connectHost);
    } catch (const ESocketException& e) {
        if (!alive.expired() && m_state == httpDnsLookup)
            FailRequest(kWsaEINVAL, kLocalFailureStatus, e.what());
    }
}

void THttpCli::SocketDnsLookupDone(int error)
{
    if (m_state != httpDnsLookup)
        return;
    if (error != 0) {
        FailRequest(error, kLocalFailureStatus, "can't resolve hostname to IP address");
        return;
    }
    const std::weak_ptr<int> alive = m_alive;
    ChangeState(httpDnsLookupDone);
    if (!alive.expired())
        ConnectSocket();
}

void THttpCli::ConnectSocket()
{
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetPort(m_connectPort);
        m_socket.SetProto("tcp");
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
        m_statusCode = kLocalFailureStatus;
        m_reasonPhrase = reason;
        const std::weak_ptr<int> alive = m_alive;
        m_socket.Close();
        if (!alive.expired())
            NormalClose();
    }
}

void THttpCli::SocketSessionConnected(int error)
{
    if (m_state != httpDnsLookupDone)
        return;
    if (error != 0) {
        FailRequest(
            error, kLocalFailureStatus, WSocketErrorDesc(error) + " (Error #" + std::to_string(error) + ")");
        return;
    }
    const std::weak_ptr<int> alive = m_alive;
    m_connected = true;
    ChangeState(httpConnected);
    if (alive.expired())
        return;
    Fire(OnSessionConnected, *this);
    if (alive.expired())
        return;
    m_lineHandler = TLineHandler::Header;
    ChangeState(httpWaitingHeader);
    if (alive.expired() || m_state != httpWaitingHeader)
        return;
    SendRequestHeader(m_requestKind == httpPOST ? "POST" : "GET");
    if (alive.expired() || m_requestKind != httpPOST || m_state != httpWaitingHeader)
        return;
    Fire(OnSendBegin, *this);
    if (alive.expired())
        return;
    m_sendAllowed = true;
    SendNextChunk();
}

// Sending

void THttpCli::WriteCommand(std::string& request, const std::string& line)
{
    request += line + "\r\n";
    Fire(OnCommand, *this, line);
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
        WriteCommand(request, "Referer: " + m_reference);
    if (post && !m_contentTypePost.empty())
        WriteCommand(request, "Content-Type: " + m_contentTypePost);
    if (!m_agent.empty())
        WriteCommand(request, "User-Agent: " + m_agent);
    WriteCommand(request, "Host: " + m_targetHost);
    if (m_noCache)
        WriteCommand(request, "Pragma: no-cache");
    if (post)
        WriteCommand(request, "Content-Length: " + std::to_string(SendStreamSize()));
    if (m_modifiedSince != 0)
        WriteCommand(request, "If-Modified-Since: " + HttpDate(m_modifiedSince));
    if (!m_username.empty())
        WriteCommand(request, "Authorization: Basic " + Base64Encode(m_username + ":" + m_password));
    if (!m_proxy.empty() && !m_proxyUsername.empty())
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
    const std::weak_ptr<int> alive = m_alive;
    m_sentCount += count;
    Fire(OnSendData, *this, chunk, count);
    if (!alive.expired() && m_socket.State() == wsConnected)
        m_socket.Send(chunk, count);
}

// Receiving

void THttpCli::SocketDataAvailable()
{
    // Once the header is over nothing is cut into lines: the body is read in large steps and
    // handed on directly, rather than through the line buffer a few kilobytes at a time.
    if (m_state == httpWaitingBody && m_receiveBuffer.empty()) {
        char block[kBodyReceiveSize];
        const int count = m_socket.Receive(block, kBodyReceiveSize);
        if (m_requestKind == httpNone || count <= 0 || m_responseOver)
            return;
        if (m_lineHandler == TLineHandler::Body)
            BodyData(block, static_cast<std::size_t>(count));
        else
            PostNotice(&THttpCli::SetReady);
        return;
    }
    const int room = kReceiveBufferSize - static_cast<int>(m_receiveBuffer.size());
    if (room <= 0) {
        FailResponse(kErrLineTooLong, kLocalFailureStatus, "HTTP line too long");
        return;
    }
    char bytes[kReceiveBufferSize];
    const int count = m_socket.Receive(bytes, room);
    if (m_requestKind == httpNone || count <= 0 || m_responseOver)
        return;
    m_receiveBuffer.append(bytes, static_cast<std::size_t>(count));
    ProcessReceived();
}

void THttpCli::ProcessReceived()
{
    const std::weak_ptr<int> alive = m_alive;
    ProcessLines();
    if (alive.expired() || m_responseOver)
        return;
    // A header line that fills the whole buffer can never end inside it.
    if (m_state != httpWaitingBody && m_receiveBuffer.size() >= static_cast<std::size_t>(kReceiveBufferSize))
        FailResponse(kErrLineTooLong, kLocalFailureStatus, "HTTP line too long");
}

void THttpCli::ProcessLines()
{
    const std::weak_ptr<int> alive = m_alive;
    while (!m_receiveBuffer.empty() && !m_responseOver) {
        // Once the header has ended, whatever follows in the buffer is body, line ends and all.
        if (m_state == httpWaitingBody) {
            DeliverBuffered();
            return;
        }
        std::string line, lineEnd;
        if (!TakeLine(line, lineEnd))
            return;
        if (m_state != httpWaitingHeader)
            Fire(OnDataAvailable, *this, 0);
        else if (m_lineHandler == TLineHandler::Header)
            HeaderLine(line, lineEnd);
        else
            PostNotice(&THttpCli::SetReady);
        if (alive.expired())
            return;
    }
}

bool THttpCli::TakeLine(std::string& line, std::string& lineEnd)
{
    const std::size_t end = m_receiveBuffer.find('\n');
    if (end == std::string::npos)
        return false;
    line = m_receiveBuffer.substr(0, end);
    lineEnd = "\n";
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
        lineEnd = "\r\n";
    }
    m_receiveBuffer.erase(0, end + 1);
    return true;
}

void THttpCli::DeliverBuffered()
{
    std::string block;
    block.swap(m_receiveBuffer);
    if (m_lineHandler == TLineHandler::Body)
        BodyData(block.data(), block.size());
    else
        PostNotice(&THttpCli::SetReady);
}

void THttpCli::HeaderLine(const std::string& line, const std::string& lineEnd)
{
    const std::weak_ptr<int> alive = m_alive;
    if (m_headerLineCount == 0) {
        // Each response states its own type; one without Content-Type has none.
        m_contentType.clear();
        Fire(OnHeaderBegin, *this);
        if (alive.expired())
            return;
    }
    if (++m_headerLineCount > kMaxHeaderLines) {
        FailResponse(kErrLineTooLong, kLocalFailureStatus, "HTTP header too long");
        return;
    }
    if (Upper(line.substr(0, 6)) == "<HTML>") {
        if (m_contentType.empty())
            m_contentType = "text/html";
        StartBody();
        if (alive.expired() || m_responseOver)
            return;
        const std::string first = line + lineEnd;
        BodyData(first.data(), first.size());
        return;
    }
    if (line.empty()) {
        HeaderEnd();
        return;
    }
    m_responseHeader.push_back(line);
    StatusOrField(line);
    Fire(OnHeaderData, *this);
    if (alive.expired() || m_statusCode < 400 || m_responseOver)
        return;
    // The body of a failed request is not read.
    m_responseOver = true;
    m_receiveBuffer.clear();
    EndConnection();
}

void THttpCli::StatusOrField(const std::string& line)
{
    const std::string version = line.substr(0, 8);
    if (version == "HTTP/1.0" || version == "HTTP/1.1") {
        m_statusCode = static_cast<int>(LeadingNumber(line.size() > 9 ? line.substr(9, 3) : "", 0));
        m_reasonPhrase = line.size() > 13 ? line.substr(13) : "";
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos)
        return;
    // One character after the colon is skipped: normally the blank.
    HeaderField(Lower(line.substr(0, colon)), line.size() > colon + 2 ? line.substr(colon + 2) : "");
}

void THttpCli::HeaderField(const std::string& name, const std::string& value)
{
    if (name == "location") {
        m_redirecting = true;
        FollowLocation(value);
    } else if (name == "content-length") {
        m_contentLength = LeadingNumber(value, -1);
    } else if (name == "content-range") {
        const std::size_t dash = value.find('-');
        m_contentRangeBegin = dash != std::string::npos && dash > 6 ? value.substr(6, dash - 6) : "";
        if (dash == std::string::npos) {
            m_contentRangeEnd.clear();
        } else {
            const std::size_t slash = value.find('/', dash + 1);
            m_contentRangeEnd
                = value.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
        }
    } else if (name == "content-type") {
        m_contentType = Lower(value);
    } else if (name == "www-authenticate") {
        m_authenticateLines.push_back(value);
    } else if (name == "set-cookie") {
        bool accept = true;
        Fire(OnCookie, *this, value, accept);
    }
}

void THttpCli::HeaderEnd()
{
    const std::weak_ptr<int> alive = m_alive;
    if (!m_redirecting) {
        const std::size_t dot = m_docName.rfind('.');
        if (dot != std::string::npos && Lower(m_docName.substr(dot)) == ".exe"
            && m_contentType == "text/html")
            m_docName = m_docName.substr(0, dot) + ".htm";
        StartBody();
        return;
    }
    Fire(OnHeaderEnd, *this);
    if (alive.expired() || m_responseOver)
        return;
    m_receiveBuffer.clear();
    m_headerLineCount = 0;
    m_bodyChunkCount = 0;
    if (++m_redirectionCount > kMaxRedirections) {
        FailResponse(kErrTooManyRedirections, kLocalFailureStatus, "Too many redirections");
        return;
    }
    PrepareRedirectedRequest();
    // The body of the redirecting response is dropped with its connection.
    m_responseOver = true;
    m_closeHandler = TCloseHandler::Redirection;
    EndConnection();
}

void THttpCli::StartBody()
{
    const std::weak_ptr<int> alive = m_alive;
    ChangeState(httpWaitingBody);
    if (alive.expired())
        return;
    m_lineHandler = TLineHandler::Body;
    Fire(OnHeaderEnd, *this);
}

void THttpCli::BodyData(const char* data, std::size_t len)
{
    if (m_responseOver || len == 0)
        return;
    if (m_receivedCount + static_cast<std::int64_t>(len) > m_maxBodySize) {
        FailResponse(kErrBodyTooLarge, kBodyTooLargeStatus,
            "Document too large (more than " + std::to_string(m_maxBodySize) + " bytes)");
        return;
    }
    const std::weak_ptr<int> alive = m_alive;
    if (m_bodyChunkCount == 0) {
        Fire(OnDocBegin, *this);
        if (alive.expired())
            return;
    }
    ++m_bodyChunkCount;
    m_receivedCount += static_cast<std::int64_t>(len);
    Fire(OnDocData, *this, data, static_cast<int>(len));
    if (alive.expired() || m_responseOver || m_docStream == nullptr)
        return;
    m_docStream->write(data, static_cast<std::streamsize>(len));
    // A document cut short by a full disk must not pass for a whole one.
    if (!*m_docStream)
        FailResponse(kErrWriteFailed, kLocalFailureStatus, "Can't write the document");
}

void THttpCli::FailResponse(int error, int status, const std::string& reason)
{
    m_requestDoneError = error;
    m_statusCode = status;
    m_reasonPhrase = reason;
    m_responseOver = true;
    m_receiveBuffer.clear();
    m_closeHandler = TCloseHandler::Normal;
    EndConnection();
}

void THttpCli::EndConnection()
{
    if (m_socket.State() != wsClosed)
        m_socket.Close();
    else
        SocketSessionClosed();
}

// Redirections

void THttpCli::FollowLocation(const std::string& value)
{
    std::string target = CutFragment(value);
    if (target.rfind("//", 0) == 0)
        target = m_targetScheme + ":" + target;
    if (target.find("://") != std::string::npos) {
        const THttpUrlParts parts = SplitURL(target);
        m_targetScheme = parts.Scheme;
        m_targetHost = parts.Host;
        m_targetPort = parts.Port;
        m_targetPath = parts.Path.empty() ? "/" : parts.Path;
        if (m_proxy.empty()) {
            m_connectHost = m_targetHost;
            m_connectPort = m_targetPort.empty() ? "80" : m_targetPort;
        }
    } else if (!target.empty() && target[0] == '/') {
        m_targetPath = target;
    } else {
        m_targetPath = ResolveRelativePath(m_targetPath, target);
    }
    // An origin server gets the path alone, a proxy the whole address.
    m_requestTarget = m_proxy.empty() ? m_targetPath : AbsoluteAddress();
    m_location = AbsoluteAddress();
}

void THttpCli::PrepareRedirectedRequest()
{
    if (m_requestKind != httpPOST)
        return;
    if (m_statusCode == 307 || m_statusCode == 308) {
        m_sendStream->clear();
        m_sendStream->seekg(m_sendStart);
    } else {
        m_requestKind = httpGET;
    }
}

// Closing

void THttpCli::SocketSessionClosed()
{
    if (m_closeHandler == TCloseHandler::Redirection)
        RedirectionClose();
    else
        NormalClose();
}

void THttpCli::NormalClose()
{
    if (m_requestEnded)
        return;
    m_requestEnded = true;
    m_connected = false;
    m_sendAllowed = false;
    const std::weak_ptr<int> alive = m_alive;
    if (m_bodyChunkCount > 0)
        Fire(OnDocEnd, *this);
    if (!alive.expired())
        PostNotice(&THttpCli::SetReady);
}

void THttpCli::RedirectionClose()
{
    m_connected = false;
    m_redirecting = false;
    m_sendAllowed = false;
    m_closeHandler = TCloseHandler::Normal;
    const std::weak_ptr<int> alive = m_alive;
    Fire(OnLocationChange, *this);
    if (!alive.expired())
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
    const std::weak_ptr<int> alive = m_alive;
    const bool wasLookup = m_state == httpDnsLookup;
    ChangeState(httpAborting);
    if (alive.expired())
        return;
    if (wasLookup)
        m_socket.CancelDnsLookup();
    m_statusCode = kLocalFailureStatus;
    m_reasonPhrase = "Connection aborted on request";
    m_requestDoneError = kErrAborted;
    m_responseOver = true;
    m_receiveBuffer.clear();
    m_closeHandler = TCloseHandler::Normal;
    if (wasLookup || m_socket.State() == wsClosed)
        NormalClose();
    else
        m_socket.Close();
    if (alive.expired())
        return;
    // Notices the aborted request left in the queue must not touch the next one.
    ++m_requestSerial;
    ChangeState(httpReady);
}

// Test seam

void THttpCli::StartResponseForTest(THttpRequest kind)
{
    if (m_state != httpReady)
        throw EHttpException("HTTP component is busy", kErrBusy);
    if (kind == httpPOST && m_sendStream == nullptr)
        kind = httpGET;
    ResetForRequest(kind);
    SetUpTarget();
    m_connected = true;
    m_lineHandler = TLineHandler::Header;
    ChangeState(httpWaitingHeader);
}

void THttpCli::ReceiveForTest(std::string_view bytes)
{
    const std::weak_ptr<int> alive = m_alive;
    while (!bytes.empty() && !alive.expired() && !m_responseOver && m_requestKind != httpNone) {
        const std::size_t room
            = kReceiveBufferSize - std::min<std::size_t>(m_receiveBuffer.size(), kReceiveBufferSize);
        if (room == 0) {
            FailResponse(kErrLineTooLong, kLocalFailureStatus, "HTTP line too long");
            return;
        }
        const std::size_t taken = std::min(room, bytes.size());
        m_receiveBuffer.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        ProcessReceived();
    }
}

void THttpCli::CloseForTest()
{
    SocketSessionClosed();
}

} // namespace pivrel::net
