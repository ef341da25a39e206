#include "tests/support/TestCertificates.h"

#include <cstdio>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace pivrel::testsupport {

namespace {

    struct TKeyFree {
        void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    };

    struct TCertFree {
        void operator()(X509* cert) const { X509_free(cert); }
    };

    using TKey = std::unique_ptr<EVP_PKEY, TKeyFree>;
    using TCert = std::unique_ptr<X509, TCertFree>;

    constexpr long kDay = 24 * 60 * 60;

    // Validity in seconds from now.
    struct TValidity {
        long From;
        long To;
    };

    void AddExtension(X509* cert, X509* issuer, int nid, const char* value)
    {
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        if (!extension)
            throw std::runtime_error("test certificates: bad extension");
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }

    TCert MakeCert(const char* commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, long serial,
        TValidity validity, const char* altNames)
    {
        TCert cert(X509_new());
        X509_set_version(cert.get(), 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), validity.From);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), validity.To);
        X509_set_pubkey(cert.get(), key);
        X509_NAME* name = X509_get_subject_name(cert.get());
        X509_NAME_add_entry_by_txt(
            name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
        X509* signer = issuer ? issuer : cert.get();
        X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
        if (altNames) {
            AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
            AddExtension(cert.get(), signer, NID_subject_alt_name, altNames);
        } else {
            AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
            AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
        }
        AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
        if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0)
            throw std::runtime_error("test certificates: cannot sign");
        return cert;
    }

    void WriteCert(const std::string& path, X509* cert)
    {
        FILE* file = std::fopen(path.c_str(), "w");
        if (!file || PEM_write_X509(file, cert) != 1)
            throw std::runtime_error("test certificates: cannot write " + path);
        std::fclose(file);
    }

    void WriteKey(const std::string& path, EVP_PKEY* key)
    {
        FILE* file = std::fopen(path.c_str(), "w");
        if (!file || PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
            throw std::runtime_error("test certificates: cannot write " + path);
        std::fclose(file);
    }

    TKey NewKey()
    {
        TKey key(EVP_EC_gen("P-256"));
        if (!key)
            throw std::runtime_error("test certificates: cannot make a key");
        return key;
    }

} // namespace

TTestCertificates::TTestCertificates(const std::string& dir)
{
    const TKey authorityKey = NewKey();
    const TKey serverKey = NewKey();
    const TValidity current { -kDay, 30 * kDay };
    const TCert authority
        = MakeCert("Pivrel Test Authority", authorityKey.get(), nullptr, nullptr, 1, current, nullptr);
    const char* const loopback = "IP:127.0.0.1,DNS:localhost";
    const TCert good
        = MakeCert("127.0.0.1", serverKey.get(), authority.get(), authorityKey.get(), 2, current, loopback);
    const TCert expired = MakeCert("127.0.0.1", serverKey.get(), authority.get(), authorityKey.get(), 3,
        { -30 * kDay, -kDay }, loopback);
    const TCert wrongHost = MakeCert("wrong.invalid", serverKey.get(), authority.get(), authorityKey.get(), 4,
        current, "DNS:wrong.invalid");
    const TCert selfSigned = MakeCert("127.0.0.1", serverKey.get(), nullptr, nullptr, 5, current, loopback);

    Authority = dir + "/test-ca.pem";
    WriteCert(Authority, authority.get());
    const std::string key = dir + "/server-key.pem";
    WriteKey(key, serverKey.get());
    const auto write = [&](const char* name, X509* cert) {
        const TCertificateFiles files { dir + "/" + name, key };
        WriteCert(files.Cert, cert);
        return files;
    };
    Good = write("good.pem", good.get());
    Expired = write("expired.pem", expired.get());
    WrongHost = write("wrong-host.pem", wrongHost.get());
    SelfSigned = write("self-signed.pem", selfSigned.get());
}

} // namespace pivrel::testsupport
