#pragma once

#include <memory>
#include <string>

typedef struct ssl_st SSL;

namespace pivrel::net {

// What a non-blocking TLS step needs before it can go on.
enum class TTlsStep { Done, WantRead, WantWrite, Closed, Failed };

// The client side of one TLS connection over a connected non-blocking socket: TLS 1.2 or newer,
// the host name sent for virtual hosting and checked against the certificate, which must chain
// to the system's authorities or to those of the extra trusted file. Nothing here blocks; every
// step says what it waits for.
class TTlsSession
{
public:
    // host: the name (or address) the certificate must be valid for. caFile: an extra file of
    // trusted certificates in PEM, empty for none. A session that could not be set up reports
    // Failed from its first step, with the reason.
    TTlsSession(int fd, const std::string& host, const std::string& caFile);
    ~TTlsSession();
    TTlsSession(const TTlsSession&) = delete;
    TTlsSession& operator=(const TTlsSession&) = delete;

    TTlsStep Handshake();
    // Bytes read (more than 0), or 0 with step saying why none were.
    int Read(void* buffer, int size, TTlsStep& step);
    // Bytes taken (more than 0), or 0 with step saying why none were.
    int Write(const void* data, int len, TTlsStep& step);
    // Decrypted bytes that wait inside the session, invisible to a watch of the socket.
    bool HasPending() const;
    // Sends the closing alert once, without waiting for the answer.
    void Shutdown();

    // Why the last step failed, in words fit for the user.
    const std::string& FailureReason() const { return m_reason; }

private:
    TTlsStep StepResult(int result);

    SSL* m_ssl = nullptr;
    std::string m_host;
    std::string m_reason;
};

// The reason text for a certificate verification result of OpenSSL.
std::string TlsVerifyReason(long verifyResult, const std::string& host);

} // namespace pivrel::net
