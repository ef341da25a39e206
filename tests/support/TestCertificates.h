#pragma once

#include <string>

namespace pivrel::testsupport {

// A certificate file and its private key file, both PEM.
struct TCertificateFiles {
    std::string Cert;
    std::string Key;
};

// Certificates made afresh for a test, written under dir: a private authority and, for the
// server at 127.0.0.1 (and localhost), one certificate it issued, one it issued that has
// expired, one it issued for another host, and one that signed itself. Nothing here is trusted
// anywhere but where a test passes Authority on.
struct TTestCertificates {
    explicit TTestCertificates(const std::string& dir);

    std::string Authority;
    TCertificateFiles Good;
    TCertificateFiles Expired;
    TCertificateFiles WrongHost;
    TCertificateFiles SelfSigned;
};

} // namespace pivrel::testsupport
