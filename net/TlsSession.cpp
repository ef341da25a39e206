#include "net/TlsSession.h"

#include <arpa/inet.h>
#include <cerrno>
#include <map>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace pivrel::net {

namespace {

    // Socket I/O for OpenSSL through send and recv, so that a write to a connection the peer has
    // closed returns an error instead of raising SIGPIPE in the whole program.
    int BioWrite(BIO* bio, const char* data, int len)
    {
        const auto fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
        BIO_clear_retry_flags(bio);
        ssize_t sent;
        do
            sent = send(fd, data, static_cast<std::size_t>(len), MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            BIO_set_retry_write(bio);
        return static_cast<int>(sent);
    }

    int BioRead(BIO* bio, char* buffer, int size)
    {
        const auto fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
        BIO_clear_retry_flags(bio);
        ssize_t got;
        do
            got = recv(fd, buffer, static_cast<std::size_t>(size), 0);
        while (got < 0 && errno == EINTR);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            BIO_set_retry_read(bio);
        return static_cast<int>(got);
    }

    long BioCtrl(BIO*, int command, long, void*)
    {
        return command == BIO_CTRL_FLUSH ? 1 : 0;
    }

    int BioCreate(BIO* bio)
    {
        BIO_set_init(bio, 1);
        return 1;
    }

    BIO_METHOD* SocketMethod()
    {
        static BIO_METHOD* const method = [] {
            BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "pivrel socket");
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioCtrl);
            BIO_meth_set_create(m, BioCreate);
            return m;
        }();
        return method;
    }

    struct TContextFree {
        void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    };

    using TContextPtr = std::unique_ptr<SSL_CTX, TContextFree>;

    // The system's authorities through their hashed directory, which is read one certificate at
    // a time as a chain needs it; reading the whole bundle file instead takes tens of
    // milliseconds at every start. Without the directory the bundle is read after all.
    void TrustSystemAuthorities(SSL_CTX* context)
    {
        struct stat info { };

        if (::stat(X509_get_default_cert_dir(), &info) == 0 && S_ISDIR(info.st_mode))
            SSL_CTX_set_default_verify_dir(context);
        else
            SSL_CTX_set_default_verify_file(context);
        ERR_clear_error();
    }

    TContextPtr MakeContext(const std::string& caFile, std::string& reason)
    {
        TContextPtr context(SSL_CTX_new(TLS_client_method()));
        if (!context) {
            reason = "Can't set up secure connections";
            return nullptr;
        }
        SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
        // A server that closes without the closing alert ends the stream; a document cut short
        // that way is caught by its announced length.
        SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
        TrustSystemAuthorities(context.get());
        if (!caFile.empty() && SSL_CTX_load_verify_locations(context.get(), caFile.c_str(), nullptr) != 1) {
            ERR_clear_error();
            reason = "Can't read the trusted certificates in '" + caFile + "'";
            return nullptr;
        }
        return context;
    }

    // One context per trusted file for the life of the program: loading the system's
    // authorities takes longer than a whole local request.
    SSL_CTX* ContextFor(const std::string& caFile, std::string& reason)
    {
        static std::mutex mutex;
        static std::map<std::string, TContextPtr> contexts;
        const std::lock_guard lock(mutex);
        auto found = contexts.find(caFile);
        if (found != contexts.end())
            return found->second.get();
        TContextPtr context = MakeContext(caFile, reason);
        SSL_CTX* result = context.get();
        if (result)
            contexts.emplace(caFile, std::move(context));
        return result;
    }

    bool IsAddressLiteral(const std::string& host)
    {
        unsigned char bytes[16];
        return inet_pton(AF_INET, host.c_str(), bytes) == 1 || inet_pton(AF_INET6, host.c_str(), bytes) == 1;
    }

    bool SetUpPeer(SSL* ssl, const std::string& host)
    {
        if (IsAddressLiteral(host))
            return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
        // The name travels for virtual hosting only when it is a name; an address never does.
        return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
    }

    std::string OpenSslReason()
    {
        const unsigned long code = ERR_peek_last_error();
        const char* text = code != 0 ? ERR_reason_error_string(code) : nullptr;
        ERR_clear_error();
        return text ? text : "connection closed during the handshake";
    }

} // namespace

std::string TlsVerifyReason(long verifyResult, const std::string& host)
{
    switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "The certificate of " + host + " has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "The certificate of " + host + " is not valid yet";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "The certificate is for another host than " + host;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return "The certificate of " + host + " is self-signed";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "The certificate of " + host + " comes from an unknown issuer";
    default:
        return "The certificate of " + host
            + " is not trusted: " + X509_verify_cert_error_string(verifyResult);
    }
}

TTlsSession::TTlsSession(int fd, const std::string& host, const std::string& caFile)
    : m_host(host)
{
    SSL_CTX* context = ContextFor(caFile, m_reason);
    if (!context)
        return;
    m_ssl = SSL_new(context);
    BIO* bio = m_ssl ? BIO_new(SocketMethod()) : nullptr;
    if (!bio) {
        m_reason = "Can't set up a secure connection";
        return;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    SSL_set_bio(m_ssl, bio, bio);
    if (!SetUpPeer(m_ssl, host)) {
        m_reason = "Can't check certificates for the host " + host;
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
}

TTlsSession::~TTlsSession()
{
    SSL_free(m_ssl);
}

TTlsStep TTlsSession::StepResult(int result)
{
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return TTlsStep::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return TTlsStep::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return TTlsStep::Closed;
    default:
        break;
    }
    const long verify = SSL_get_verify_result(m_ssl);
    if (!SSL_is_init_finished(m_ssl) && verify != X509_V_OK) {
        ERR_clear_error();
        m_reason = TlsVerifyReason(verify, m_host);
    } else if (errno == ECONNRESET && ERR_peek_last_error() == 0) {
        m_reason = "The secure connection to " + m_host + " was reset";
    } else {
        m_reason = "Secure connection to " + m_host + " failed: " + OpenSslReason();
    }
    return TTlsStep::Failed;
}

TTlsStep TTlsSession::Handshake()
{
    if (!m_ssl)
        return TTlsStep::Failed;
    ERR_clear_error();
    const int result = SSL_connect(m_ssl);
    return result == 1 ? TTlsStep::Done : StepResult(result);
}

int TTlsSession::Read(void* buffer, int size, TTlsStep& step)
{
    if (!m_ssl || size <= 0) {
        step = m_ssl ? TTlsStep::Done : TTlsStep::Failed;
        return 0;
    }
    ERR_clear_error();
    const int result = SSL_read(m_ssl, buffer, size);
    step = result > 0 ? TTlsStep::Done : StepResult(result);
    return std::max(result, 0);
}

int TTlsSession::Write(const void* data, int len, TTlsStep& step)
{
    if (!m_ssl || len <= 0) {
        step = m_ssl ? TTlsStep::Done : TTlsStep::Failed;
        return 0;
    }
    ERR_clear_error();
    const int result = SSL_write(m_ssl, data, len);
    step = result > 0 ? TTlsStep::Done : StepResult(result);
    return std::max(result, 0);
}

bool TTlsSession::HasPending() const
{
    return m_ssl && SSL_pending(m_ssl) > 0;
}

void TTlsSession::Shutdown()
{
    if (m_ssl && SSL_is_init_finished(m_ssl))
        SSL_shutdown(m_ssl);
    ERR_clear_error();
}

} // namespace pivrel::net
