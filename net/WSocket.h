#pragma once

#include "base/EventLoop.h"
#include "base/StringList.h"
#include "base/WeakRef.h"
#include "net/DnsLookup.h"
#include "net/TlsSession.h"
#include "net/WSockbuf.h"
#include "net/WSocketErrors.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace pivrel::net {

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

class ESocketException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TWSocket;

// Error is a socket error code, 0 for success.
using TDnsLookupDone = std::function<void(TWSocket& sender, int error)>;
using TSessionConnected = std::function<void(TWSocket& sender, int error)>;
using TDataAvailable = std::function<void(TWSocket& sender, int error)>;
using TDataSent = std::function<void(TWSocket& sender, int error)>;
using TSessionClosed = std::function<void(TWSocket& sender, int error)>;
using TChangeState = std::function<void(TWSocket& sender, TSocketState oldState, TSocketState newState)>;
using TSocketNotifyEvent = std::function<void(TWSocket& sender)>;
using TBgExceptionEvent = std::function<void(TWSocket& sender, const std::exception& e, bool& canClose)>;

// An event-driven TCP client socket over IPv4. It resolves names without blocking, connects
// without blocking, queues output and sends it as the connection takes it, and reports every
// happening through its events, which run from the event loop it was given. One object serves
// many connections in turn: every close returns it to its initial settings.
//
// With a TLS host set, the connection is secure: OnSessionConnected fires once the handshake is
// over and the certificate checked (or with kTlsFailure and TlsFailureReason when it failed), and
// Send and Receive carry plain bytes through the secure stream. StartTls turns a connection that
// is already open (a proxy's tunnel) secure the same way.
class TWSocket
{
public:
    explicit TWSocket(base::TEventLoop& loop);
    ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Remote address (dotted decimal or host name), port (number or service name), protocol and
    // local port; each may change only while the socket is closed.
    const std::string& Addr() const { return m_addr; }

    void SetAddr(const std::string& value);

    const std::string& Port() const { return m_port; }

    void SetPort(const std::string& value);

    const std::string& Proto() const { return m_proto; }

    void SetProto(const std::string& value);

    const std::string& LocalPort() const { return m_localPort; }

    void SetLocalPort(const std::string& value);

    // The host name or address the server's certificate must name; empty for a plain
    // connection. Like the address, it changes only while closed, and a close clears it.
    const std::string& TlsHost() const { return m_tlsHost; }

    void SetTlsHost(const std::string& value);

    // A PEM file of certificates trusted besides the system's; kept across connections.
    const std::string& CaFile() const { return m_caFile; }

    void SetCaFile(const std::string& value) { m_caFile = value; }

    // True while a handshake is done and the stream is secure.
    bool Secure() const { return m_tlsPhase == TTlsPhase::Open; }

    const std::string& TlsFailureReason() const { return m_tlsReason; }

    // Starts the handshake on an open connection with host as TlsHost.
    void StartTls(const std::string& host);

    TSocketState State() const { return m_state; }

    int LastError() const { return m_lastError; }

    std::int64_t ReadCount() const { return m_readCount; }

    const std::string& DnsResult() const { return m_dnsResult; }

    const base::TStringList& DnsResultList() const { return m_dnsResultList; }

    bool AllSent() const { return m_allSent; }

    int HSocket() const { return m_fd; }

    TSocketLingerOnOff LingerOnOff() const { return m_lingerOnOff; }

    void SetLingerOnOff(TSocketLingerOnOff value) { m_lingerOnOff = value; }

    int LingerTimeout() const { return m_lingerTimeout; }

    void SetLingerTimeout(int value) { m_lingerTimeout = value; }

    int FlushTimeout() const { return m_flushTimeout; }

    void SetFlushTimeout(int value) { m_flushTimeout = value; }

    // Kept for its users; every wait here turns the one event loop the socket was given.
    bool MultiThreaded() const { return m_multiThreaded; }

    void SetMultiThreaded(bool value) { m_multiThreaded = value; }

    // Resolves a name or dotted address; the answer comes through OnDnsLookupDone, at once for a
    // dotted address, later from the event loop for a name.
    void DnsLookup(const std::string& hostName);
    // Ends a running lookup; OnDnsLookupDone fires with 10004 before this returns.
    void CancelDnsLookup();
    // Opens a connection to Addr:Port; OnSessionConnected tells how it went.
    void Connect();
    // Queues bytes; returns len, or -1 when not connected.
    int Send(const void* data, int len);
    int SendStr(const std::string& text);
    // Reads up to bufferSize bytes that are waiting: the count, 0 at the end of the stream, or
    // -1 with LastError set (10035 when nothing is waiting).
    int Receive(void* buffer, int bufferSize);
    // Everything waiting now, possibly nothing.
    std::string ReceiveStr();
    void Close();
    // Drops the queued output and closes at once, without the orderly shutdown of the sending side.
    void Abort();
    // how: 0 receiving side, 1 sending side, 2 both.
    void ShutDown(int how);

    // Notifications are ignored while paused; they resume with the next turn of the loop.
    void Pause() { m_paused = true; }

    void Resume() { m_paused = false; }

    void ProcessMessages();

    TDnsLookupDone OnDnsLookupDone;
    TSessionConnected OnSessionConnected;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSessionClosed OnSessionClosed;
    TChangeState OnChangeState;
    // With a handler assigned, errors are handed to it (LastError tells which) instead of thrown.
    TSocketNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

private:
    enum class TShutdown { Send, None };
    enum class TTlsPhase { None, Handshake, Open };

    void ChangeState(TSocketState newState);
    void RaiseException(const std::string& message);
    void SocketError(const std::string& function, int code);
    bool CheckClosedFor(const char* property);
    void ResetFields();

    void LookupDone(int error, const base::TStringList& addresses);
    bool CheckConnectSettings();
    bool ResolveProto(int& protocol);
    bool ResolvePort(const std::string& text, int& port);
    bool ResolveHost(std::uint32_t& address);
    bool ResolveAll(int& protocol, int& port, int& localPort, std::uint32_t& address);
    bool OpenStreamSocket(int protocol, int localPort);
    bool SetOption(int level, int name, const void* value, unsigned size, const char* function);
    void StartConnect(int port, std::uint32_t address);

    // Runs one notification; an exception from it (a handler's, usually) ends in OnBgException.
    void Notify(const std::function<void()>& work);
    void OnReady(bool readable, bool writable);
    void ConnectDone();
    void BeginTls();
    void ContinueHandshake();
    void TlsFailed();
    bool ReportSessionConnected(int error);
    bool HasInput() const;
    void DrainUnread();
    int ReceiveSecure(void* buffer, int bufferSize);
    bool SendSecure();
    bool SendPlain();
    void EndTls(TShutdown shutdownMode);
    void DataReady();
    void WriteReady();
    void PeerClosed(int error);
    void HandleBgException(const std::exception& e);
    int BytesWaiting() const;
    void UpdateWatch();

    void TryToSend();
    void SendFailed(int code);
    void AppendOutput(const char* data, int len);
    void RemoveSent(std::size_t count);
    void InternalClose(TShutdown shutdownMode);
    void CloseHandle();

    // True while the socket still exists and still serves the connection a handler started on.
    struct TGuard {
        base::TWeakRef<TWSocket> alive;
        std::uint64_t connection;
    };

    TGuard MakeGuard() const { return { m_alive.Ref(), m_connection }; }

    // Static, since the socket may be gone when it is asked.
    static bool Holds(const TGuard& guard, const TWSocket* self);

    base::TEventLoop& m_loop;
    std::string m_addr;
    std::string m_port;
    std::string m_proto = "tcp";
    std::string m_localPort = "0";
    TSocketState m_state = wsClosed;
    int m_lastError = 0;
    std::int64_t m_readCount = 0;
    std::string m_dnsResult;
    base::TStringList m_dnsResultList;
    TSocketLingerOnOff m_lingerOnOff = wsLingerOn;
    int m_lingerTimeout = 0;
    int m_flushTimeout = 60;
    bool m_multiThreaded = false;

    int m_fd = -1;
    std::unique_ptr<base::TFdWatch> m_watch;
    std::unique_ptr<TDnsLookup> m_lookup;
    std::string m_tlsHost;
    std::string m_caFile;
    std::string m_tlsReason;
    std::unique_ptr<TTlsSession> m_tls;
    TTlsPhase m_tlsPhase = TTlsPhase::None;
    bool m_tlsWantsWrite = false;
    // Set when the secure stream failed while reading: the connection is over.
    bool m_tlsBroken = false;
    std::deque<TBuffer> m_output;
    bool m_allSent = true;
    bool m_closeInvoked = false;
    bool m_paused = false;
    bool m_destroying = false;
    // Set by Receive, so that data no handler took can be drained instead of waking the loop
    // for ever.
    bool m_consumed = false;
    // Counts connections, so that a notification meant for one never reaches the next.
    std::uint64_t m_connection = 0;
    base::TWeakAnchor<TWSocket> m_alive { *this };
};

} // namespace pivrel::net
