#include "net/WSocket.h"

#include "base/Ascii.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>

namespace pivrel::net {

namespace {

    constexpr int kUdpProtocol = 17;
    // Ready data is handed out in at most this many turns per wake-up, so that a fast sender
    // cannot keep the loop from the user's other events (Stop above all).
    constexpr int kMaxDataTurns = 64;
    constexpr int kMaxSendBlocks = 64;

    // Reads "  123abc" as 123, the way ports and protocol numbers are written; false when the
    // text does not start with a digit or the number exceeds limit.
    bool ReadLeadingNumber(const std::string& text, long limit, int& value)
    {
        std::size_t i = text.find_first_not_of(' ');
        if (i == std::string::npos || text[i] < '0' || text[i] > '9')
            return false;
        long number = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            number = number * 10 + (text[i] - '0');
            if (number > limit)
                return false;
        }
        value = static_cast<int>(number);
        return true;
    }

    bool StartsWithDigit(const std::string& text)
    {
        const std::size_t i = text.find_first_not_of(' ');
        return i != std::string::npos && text[i] >= '0' && text[i] <= '9';
    }

    bool LooksDotted(const std::string& host)
    {
        return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
    }

    // A dotted address in any form the classic resolver takes, converted to network order.
    bool ParseDotted(const std::string& host, std::uint32_t& address)
    {
        in_addr parsed {};
        if (!LooksDotted(host) || inet_aton(host.c_str(), &parsed) == 0)
            return false;
        address = parsed.s_addr;
        return true;
    }

    std::string DottedText(std::uint32_t address)
    {
        in_addr value {};
        value.s_addr = address;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &value, text, sizeof text);
        return text;
    }

    bool EndsConnection(int code)
    {
        return code == 10054 || code == 10038 || code == 10057 || code == 10022 || code == 10053;
    }

} // namespace

TWSocket::TWSocket(base::TEventLoop& loop)
    : m_loop(loop)
{ }

TWSocket::~TWSocket()
{
    // No event fires from here on: the owner is part way through its own destruction.
    m_destroying = true;
    m_lookup.reset();
    m_watch.reset();
    if (m_fd >= 0)
        close(m_fd);
}

// Properties that may change only while closed

bool TWSocket::CheckClosedFor(const char* property)
{
    if (m_state == wsClosed)
        return true;
    RaiseException(std::string("Cannot change ") + property + " if not closed");
    return false;
}

void TWSocket::SetAddr(const std::string& value)
{
    if (CheckClosedFor("Addr"))
        m_addr = value;
}

void TWSocket::SetPort(const std::string& value)
{
    if (CheckClosedFor("Port"))
        m_port = value;
}

void TWSocket::SetProto(const std::string& value)
{
    if (CheckClosedFor("Proto"))
        m_proto = value;
}

void TWSocket::SetLocalPort(const std::string& value)
{
    if (CheckClosedFor("LocalPort"))
        m_localPort = value;
}

void TWSocket::SetTlsHost(const std::string& value)
{
    if (CheckClosedFor("TlsHost"))
        m_tlsHost = value;
}

// State and error reports

void TWSocket::ChangeState(TSocketState newState)
{
    const TSocketState oldState = m_state;
    m_state = newState;
    if (!m_destroying && OnChangeState)
        OnChangeState(*this, oldState, newState);
}

void TWSocket::RaiseException(const std::string& message)
{
    if (!OnError)
        throw ESocketException(message);
    OnError(*this);
}

void TWSocket::SocketError(const std::string& function, int code)
{
    m_lastError = code;
    const std::string message
        = "Error " + std::to_string(code) + " in function " + function + "\r\n" + WSocketErrorDesc(code);
    if (code == kWsaECONNRESET || code == kWsaENOTCONN) {
        CloseHandle();
        ChangeState(wsClosed);
    }
    RaiseException(message);
}

bool TWSocket::Holds(const TGuard& guard, const TWSocket*)
{
    const TWSocket* live = guard.alive.Lock();
    return live != nullptr && guard.connection == live->m_connection;
}

void TWSocket::ResetFields()
{
    m_proto = "tcp";
    m_localPort = "0";
    m_lingerOnOff = wsLingerOn;
    m_lingerTimeout = 0;
    m_tlsHost.clear();
    m_closeInvoked = false;
    m_paused = false;
    m_output.clear();
    m_allSent = true;
}

// Name lookup

void TWSocket::DnsLookup(const std::string& hostName)
{
    if (hostName.empty()) {
        RaiseException("DNS lookup: invalid host name.");
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, kWsaEINVAL);
        return;
    }
    const auto alive = m_alive.Ref();
    CancelDnsLookup();
    if (alive.Expired())
        return;
    m_dnsResult.clear();
    m_dnsResultList.clear();
    std::uint32_t address = 0;
    if (ParseDotted(hostName, address)) {
        m_dnsResult = DottedText(address);
        m_dnsResultList.push_back(m_dnsResult);
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, 0);
        return;
    }
    try {
        m_lookup = std::make_unique<TDnsLookup>(m_loop, hostName,
            [this](int error, const base::TStringList& addresses) { LookupDone(error, addresses); });
    } catch (const std::system_error& e) {
        RaiseException(hostName + ": can't start DNS lookup, error #" + std::to_string(e.code().value()));
    }
}

void TWSocket::CancelDnsLookup()
{
    if (!m_lookup)
        return;
    m_lookup.reset();
    if (!m_destroying && OnDnsLookupDone)
        OnDnsLookupDone(*this, kWsaEINTR);
}

void TWSocket::LookupDone(int error, const base::TStringList& addresses)
{
    // The lookup object ends here, inside its own answer; it has let go of the answer already.
    m_lookup.reset();
    if (error == 0) {
        m_dnsResultList = addresses;
        m_dnsResult = addresses.front();
    }
    Notify([this, error] {
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, error);
    });
}

// Connecting

void TWSocket::Connect()
{
    if (m_fd >= 0 && m_state != wsClosed) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!CheckConnectSettings())
        return;
    int protocol = 0, port = 0, localPort = 0;
    std::uint32_t address = 0;
    if (!ResolveAll(protocol, port, localPort, address))
        return;
    m_output.clear();
    m_allSent = true;
    m_readCount = 0;
    m_closeInvoked = false;
    m_tlsReason.clear();
    if (m_fd >= 0)
        CloseHandle();
    ++m_connection;
    if (OpenStreamSocket(protocol, localPort))
        StartConnect(port, address);
}

bool TWSocket::CheckConnectSettings()
{
    const char* missing = m_port.empty() ? "Connect: No Port Specified"
        : m_addr.empty()                 ? "Connect: No IP Address Specified"
        : m_proto.empty()                ? "Connect: No Protocol Specified"
                                         : nullptr;
    if (missing)
        RaiseException(missing);
    return missing == nullptr;
}

bool TWSocket::ResolveProto(int& protocol)
{
    if (m_proto.empty() || m_proto.size() > 31) {
        RaiseException("WSocketResolveProto: Invalid Protocol.");
        return false;
    }
    // The two protocols a socket speaks are known without asking the system's protocol database,
    // whose first reading loads the name-service modules and costs milliseconds.
    const std::string name = base::AsciiLower(m_proto);
    if (name == "tcp" || name == "udp") {
        protocol = name == "tcp" ? IPPROTO_TCP : IPPROTO_UDP;
        return true;
    }
    if (StartsWithDigit(m_proto)) {
        if (ReadLeadingNumber(m_proto, 255, protocol))
            return true;
    } else if (const protoent* entry = getprotobyname(m_proto.c_str())) {
        protocol = entry->p_proto;
        return true;
    }
    RaiseException("WSocketResolveProto: Cannot convert protocol '" + m_proto + "'");
    return false;
}

bool TWSocket::ResolvePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 31) {
        RaiseException("WSocketResolvePort: Invalid Port.");
        return false;
    }
    if (StartsWithDigit(text)) {
        if (ReadLeadingNumber(text, 65535, port))
            return true;
    } else if (const servent* entry = getservbyname(text.c_str(), "tcp")) {
        port = ntohs(static_cast<std::uint16_t>(entry->s_port));
        return true;
    }
    RaiseException("WSocketResolvePort: Cannot convert port '" + text + "'");
    return false;
}

bool TWSocket::ResolveHost(std::uint32_t& address)
{
    const std::string prefix = "WSocketResolveHost: '" + m_addr + "'";
    if (m_addr.empty() || m_addr.size() > 255) {
        RaiseException(prefix + " Invalid Hostname.");
        return false;
    }
    if (LooksDotted(m_addr)) {
        if (ParseDotted(m_addr, address))
            return true;
        RaiseException(prefix + " Invalid IP address.");
        return false;
    }
    // A blocking lookup; callers that care resolve first with DnsLookup and pass the address.
    base::TStringList addresses;
    if (ResolveHostV4(m_addr, addresses) == 0 && ParseDotted(addresses.front(), address))
        return true;
    RaiseException("WSocketResolveHost: Cannot convert host address '" + m_addr + "'");
    return false;
}

bool TWSocket::ResolveAll(int& protocol, int& port, int& localPort, std::uint32_t& address)
{
    if (!ResolveProto(protocol) || !ResolvePort(m_port, port) || !ResolvePort(m_localPort, localPort))
        return false;
    if (protocol == kUdpProtocol) {
        RaiseException("Connect: datagram sockets are not supported");
        return false;
    }
    return ResolveHost(address);
}

bool TWSocket::OpenStreamSocket(int protocol, int localPort)
{
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (m_fd < 0) {
        SocketError("Connect (socket)", WSocketErrorFromErrno(errno));
        return false;
    }
    ChangeState(wsOpened);
    if (localPort != 0) {
        sockaddr_in local {};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<std::uint16_t>(localPort));
        if (bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            SocketError("bind", WSocketErrorFromErrno(errno));
            return false;
        }
    }
    const int on = 1;
    if (m_lingerOnOff != wsLingerNoSet) {
        const linger value { m_lingerOnOff == wsLingerOn ? 1 : 0, m_lingerTimeout };
        if (!SetOption(SOL_SOCKET, SO_LINGER, &value, sizeof value, "setsockopt(SO_LINGER)"))
            return false;
    }
    if (!SetOption(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "setsockopt(SO_KEEPALIVE)")
        || !SetOption(SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt(SO_REUSEADDR)"))
        return false;
    m_watch = m_loop.WatchFd(m_fd, [this](bool readable, bool writable) { OnReady(readable, writable); });
    UpdateWatch();
    return true;
}

bool TWSocket::SetOption(int level, int name, const void* value, unsigned size, const char* function)
{
    if (setsockopt(m_fd, level, name, value, size) == 0)
        return true;
    SocketError(function, WSocketErrorFromErrno(errno));
    return false;
}

void TWSocket::StartConnect(int port, std::uint32_t address)
{
    sockaddr_in remote {};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = address;
    // Even an immediate success is reported from the loop, like every other connection.
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0 || errno == EINPROGRESS
        || errno == EINTR) {
        ChangeState(wsConnecting);
        UpdateWatch();
        return;
    }
    const int code = WSocketErrorFromErrno(errno);
    m_lastError = code;
    SocketError("Connect", code);
}

// Notifications from the loop

void TWSocket::Notify(const std::function<void()>& work)
{
    const auto alive = m_alive.Ref();
    try {
        work();
    } catch (const std::exception& e) {
        if (!alive.Expired())
            HandleBgException(e);
    } catch (...) {
        if (!alive.Expired())
            HandleBgException(std::runtime_error("Unknown exception"));
    }
}

void TWSocket::HandleBgException(const std::exception& e)
{
    const auto alive = m_alive.Ref();
    bool canClose = true;
    try {
        if (OnBgException)
            OnBgException(*this, e, canClose);
        if (!alive.Expired() && canClose)
            Abort();
    } catch (...) {
        // A handler failing while a failure is handled has nowhere left to go.
    }
}

void TWSocket::OnReady(bool readable, bool writable)
{
    if (m_paused)
        return;
    Notify([this, readable, writable] {
        if (m_tlsPhase == TTlsPhase::Handshake) {
            ContinueHandshake();
            return;
        }
        if (m_state == wsConnecting) {
            ConnectDone();
            return;
        }
        if (m_state != wsConnected)
            return;
        const TGuard guard = MakeGuard();
        if (readable)
            DataReady();
        if (writable && Holds(guard, this) && m_state == wsConnected)
            WriteReady();
    });
}

void TWSocket::ConnectDone()
{
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    const int code = error == 0 ? 0 : WSocketErrorFromErrno(error);
    if (code == 0 && !m_tlsHost.empty()) {
        BeginTls();
        return;
    }
    const TGuard guard = MakeGuard();
    ChangeState(wsConnected);
    if (!Holds(guard, this))
        return;
    if (OnSessionConnected)
        OnSessionConnected(*this, code);
    if (!Holds(guard, this))
        return;
    if (code != 0) {
        m_lastError = code;
        if (m_state != wsClosed)
            Close();
        return;
    }
    UpdateWatch();
}

// Secure connections

void TWSocket::StartTls(const std::string& host)
{
    if (m_state != wsConnected || m_fd < 0) {
        RaiseException("StartTls: Socket is not connected");
        return;
    }
    m_tlsHost = host;
    BeginTls();
}

void TWSocket::BeginTls()
{
    m_tls = std::make_unique<TTlsSession>(m_fd, m_tlsHost, m_caFile);
    m_tlsPhase = TTlsPhase::Handshake;
    // The handshake starts from the loop, never inside the call that asked for it.
    m_tlsWantsWrite = true;
    UpdateWatch();
}

void TWSocket::ContinueHandshake()
{
    const TTlsStep step = m_tls->Handshake();
    if (step == TTlsStep::WantRead || step == TTlsStep::WantWrite) {
        m_tlsWantsWrite = step == TTlsStep::WantWrite;
        UpdateWatch();
        return;
    }
    if (step != TTlsStep::Done) {
        TlsFailed();
        return;
    }
    m_tlsPhase = TTlsPhase::Open;
    if (ReportSessionConnected(0))
        UpdateWatch();
}

// Ends the connection's set-up, with its outcome; false when a handler destroyed the socket.
bool TWSocket::ReportSessionConnected(int error)
{
    const TGuard guard = MakeGuard();
    if (m_state != wsConnected)
        ChangeState(wsConnected);
    if (!Holds(guard, this))
        return false;
    if (OnSessionConnected)
        OnSessionConnected(*this, error);
    return Holds(guard, this);
}

void TWSocket::TlsFailed()
{
    m_tlsReason = m_tls->FailureReason();
    m_lastError = kTlsFailure;
    m_tls.reset();
    m_tlsPhase = TTlsPhase::None;
    if (ReportSessionConnected(kTlsFailure) && m_state != wsClosed)
        Abort();
}

int TWSocket::ReceiveSecure(void* buffer, int bufferSize)
{
    TTlsStep step = TTlsStep::Done;
    const int count = m_tls->Read(buffer, bufferSize, step);
    if (count > 0) {
        m_readCount += count;
        return count;
    }
    if (step == TTlsStep::Closed || step == TTlsStep::Done)
        return 0;
    if (step == TTlsStep::Failed) {
        m_tlsReason = m_tls->FailureReason();
        m_lastError = kTlsFailure;
        m_tlsBroken = true;
        return -1;
    }
    m_lastError = kWsaEWOULDBLOCK;
    return -1;
}

bool TWSocket::SendSecure()
{
    while (!m_output.empty()) {
        int len = 0;
        const char* bytes = m_output.front().Peek(len);
        if (len <= 0) {
            m_output.pop_front();
            continue;
        }
        TTlsStep step = TTlsStep::Done;
        const int taken = m_tls->Write(bytes, len, step);
        if (taken > 0) {
            RemoveSent(static_cast<std::size_t>(taken));
            continue;
        }
        if (step == TTlsStep::WantRead || step == TTlsStep::WantWrite)
            break;
        m_tlsReason = m_tls->FailureReason();
        SendFailed(kWsaECONNRESET);
        return false;
    }
    return true;
}

bool TWSocket::HasInput() const
{
    return BytesWaiting() > 0 || (m_tls && m_tlsPhase == TTlsPhase::Open && m_tls->HasPending());
}

void TWSocket::DrainUnread()
{
    char dropped[1024];
    if (m_tlsPhase == TTlsPhase::Open)
        ReceiveSecure(dropped, sizeof dropped);
    else [[maybe_unused]]
        auto count = recv(m_fd, dropped, sizeof dropped, 0);
}

int TWSocket::BytesWaiting() const
{
    int count = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &count) != 0)
        return -1;
    return count;
}

void TWSocket::DataReady()
{
    const TGuard guard = MakeGuard();
    for (int turn = 0; turn < kMaxDataTurns && HasInput(); ++turn) {
        m_consumed = false;
        if (OnDataAvailable)
            OnDataAvailable(*this, 0);
        if (!Holds(guard, this) || m_fd < 0)
            return;
        if (!m_consumed)
            DrainUnread();
        if (m_tlsBroken) {
            PeerClosed(kTlsFailure);
            return;
        }
    }
    // Bytes the secure stream has already decrypted never wake the watch of the socket.
    if (m_tls && m_tls->HasPending()) {
        m_loop.Post([this, guard] {
            if (Holds(guard, this) && !m_paused && m_state == wsConnected)
                Notify([this] { DataReady(); });
        });
        return;
    }
    // With nothing left to read, a readable socket means the peer has closed or failed.
    char probe = 0;
    const auto peeked = recv(m_fd, &probe, 1, MSG_PEEK);
    if (peeked == 0)
        PeerClosed(0);
    else if (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        PeerClosed(WSocketErrorFromErrno(errno));
}

void TWSocket::PeerClosed(int error)
{
    const TGuard guard = MakeGuard();
    if (OnSessionClosed && !m_closeInvoked) {
        m_closeInvoked = true;
        OnSessionClosed(*this, error);
        if (!Holds(guard, this))
            return;
    }
    if (m_state != wsClosed)
        Close();
}

void TWSocket::WriteReady()
{
    const TGuard guard = MakeGuard();
    TryToSend();
    if (!Holds(guard, this) || m_state != wsConnected || !m_allSent)
        return;
    if (OnDataSent)
        OnDataSent(*this, 0);
}

void TWSocket::UpdateWatch()
{
    if (!m_watch)
        return;
    if (m_tlsPhase == TTlsPhase::Handshake)
        m_watch->SetEvents(!m_tlsWantsWrite, m_tlsWantsWrite);
    else if (m_state == wsConnecting)
        m_watch->SetEvents(false, true);
    else if (m_state == wsConnected)
        m_watch->SetEvents(true, !m_allSent);
    else
        m_watch->SetEvents(false, false);
}

// Sending and receiving

int TWSocket::Send(const void* data, int len)
{
    if (m_state != wsConnected) {
        SocketError("Send", kWsaENOTCONN);
        return -1;
    }
    len = std::max(len, 0);
    m_allSent = false;
    AppendOutput(static_cast<const char*>(data), len);
    const TGuard guard = MakeGuard();
    TryToSend();
    if (!Holds(guard, this) || !m_allSent)
        return len;
    // OnDataSent never fires inside Send: the caller may still be setting up what follows.
    m_loop.Post([this, guard] {
        if (!Holds(guard, this) || m_paused || m_state != wsConnected)
            return;
        Notify([this] { WriteReady(); });
    });
    return len;
}

int TWSocket::SendStr(const std::string& text)
{
    return Send(text.data(), static_cast<int>(text.size()));
}

void TWSocket::AppendOutput(const char* data, int len)
{
    while (len > 0) {
        if (m_output.empty() || m_output.back().WrCount() == m_output.back().Size())
            m_output.emplace_back(TBuffer::kDefaultSize);
        const int written = m_output.back().Write(data, len);
        data += written;
        len -= written;
    }
}

void TWSocket::RemoveSent(std::size_t count)
{
    while (count > 0 && !m_output.empty()) {
        int held = 0;
        m_output.front().Peek(held);
        const int taken = static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(held)));
        m_output.front().Remove(taken);
        count -= static_cast<std::size_t>(taken);
        if (m_output.front().IsEmpty())
            m_output.pop_front();
    }
}

void TWSocket::TryToSend()
{
    if (m_fd < 0 || m_tlsPhase == TTlsPhase::Handshake)
        return;
    if (m_tlsPhase == TTlsPhase::Open ? !SendSecure() : !SendPlain())
        return;
    std::erase_if(m_output, [](const TBuffer& block) { return block.IsEmpty(); });
    m_allSent = m_output.empty();
    UpdateWatch();
}

bool TWSocket::SendPlain()
{
    for (;;) {
        iovec parts[kMaxSendBlocks];
        int count = 0;
        std::size_t offered = 0;
        for (const TBuffer& block : m_output) {
            if (count == kMaxSendBlocks)
                break;
            int len = 0;
            const char* bytes = block.Peek(len);
            if (len > 0) {
                parts[count++] = { const_cast<char*>(bytes), static_cast<std::size_t>(len) };
                offered += static_cast<std::size_t>(len);
            }
        }
        if (offered == 0)
            break;
        msghdr message {};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<std::size_t>(count);
        const auto sent = sendmsg(m_fd, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            SendFailed(WSocketErrorFromErrno(errno));
            return false;
        }
        RemoveSent(static_cast<std::size_t>(sent));
        if (static_cast<std::size_t>(sent) < offered)
            break;
    }
    return true;
}

void TWSocket::SendFailed(int code)
{
    m_lastError = code;
    if (!EndsConnection(code)) {
        RaiseException("TryToSend failed");
        return;
    }
    const auto alive = m_alive.Ref();
    m_closeInvoked = true;
    Close();
    if (!alive.Expired() && OnSessionClosed)
        OnSessionClosed(*this, code);
}

int TWSocket::Receive(void* buffer, int bufferSize)
{
    m_consumed = true;
    if (m_fd < 0) {
        m_lastError = kWsaENOTSOCK;
        return -1;
    }
    if (m_tlsPhase == TTlsPhase::Open)
        return ReceiveSecure(buffer, bufferSize);
    if (m_tlsPhase == TTlsPhase::Handshake) {
        m_lastError = kWsaEWOULDBLOCK;
        return -1;
    }
    auto count = recv(m_fd, buffer, static_cast<std::size_t>(std::max(bufferSize, 0)), 0);
    while (count < 0 && errno == EINTR)
        count = recv(m_fd, buffer, static_cast<std::size_t>(std::max(bufferSize, 0)), 0);
    if (count < 0) {
        m_lastError = WSocketErrorFromErrno(errno);
        return -1;
    }
    m_readCount += count;
    return static_cast<int>(count);
}

std::string TWSocket::ReceiveStr()
{
    const int waiting = BytesWaiting();
    if (waiting <= 0)
        return {};
    std::string text(static_cast<std::size_t>(waiting), '\0');
    const int count = Receive(text.data(), waiting);
    text.resize(static_cast<std::size_t>(std::max(count, 0)));
    return text;
}

// Closing

void TWSocket::Close()
{
    InternalClose(TShutdown::Send);
}

void TWSocket::Abort()
{
    const auto alive = m_alive.Ref();
    CancelDnsLookup();
    if (alive.Expired())
        return;
    m_output.clear();
    m_allSent = true;
    if (m_state == wsConnected && m_fd >= 0) {
        const linger off { 0, 0 };
        setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    }
    InternalClose(TShutdown::None);
}

void TWSocket::ShutDown(int how)
{
    if (m_fd >= 0 && shutdown(m_fd, how) != 0)
        SocketError("ShutDown", WSocketErrorFromErrno(errno));
}

void TWSocket::EndTls(TShutdown shutdownMode)
{
    if (m_tlsPhase == TTlsPhase::Open && shutdownMode == TShutdown::Send)
        m_tls->Shutdown();
    m_tls.reset();
    m_tlsPhase = TTlsPhase::None;
    m_tlsBroken = false;
}

void TWSocket::CloseHandle()
{
    EndTls(TShutdown::None);
    m_watch.reset();
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    ++m_connection;
}

void TWSocket::InternalClose(TShutdown shutdownMode)
{
    if (m_fd < 0) {
        if (m_state != wsClosed) {
            ChangeState(wsClosed);
            ResetFields();
        }
        return;
    }
    const bool wasOpen = m_state != wsClosed;
    EndTls(wasOpen ? shutdownMode : TShutdown::None);
    if (wasOpen && shutdownMode == TShutdown::Send)
        shutdown(m_fd, SHUT_WR);
    m_watch.reset();
    const int closeResult = close(m_fd);
    const int closeErrno = errno;
    m_fd = -1;
    const TGuard guard { m_alive.Ref(), ++m_connection };
    if (wasOpen) {
        ChangeState(wsClosed);
        if (!Holds(guard, this))
            return;
        if (!m_destroying && !m_closeInvoked) {
            m_closeInvoked = true;
            if (OnSessionClosed)
                OnSessionClosed(*this, 0);
            // A handler that destroyed the socket or started the next connection owns it now.
            if (!Holds(guard, this))
                return;
        }
    }
    ResetFields();
    // Reported last, so that a failed close still leaves the socket closed and reusable.
    if (closeResult != 0 && closeErrno != EINTR && closeErrno != EINPROGRESS)
        SocketError("Disconnect (closesocket)", WSocketErrorFromErrno(closeErrno));
}

void TWSocket::ProcessMessages()
{
    m_loop.ProcessPending();
}

} // namespace pivrel::net
