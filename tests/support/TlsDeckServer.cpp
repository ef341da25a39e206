// Serves one file over https on 127.0.0.1 for trying the client by hand and for timing it:
// makes the test certificates in DIR, prints the port, and answers every request with the file
// until standard input ends.
//
//     pivrel-test-tls-server DIR good|expired|wrong-host|self-signed FILE [CONTENT-TYPE]
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestCertificates.h"

using pivrel::testsupport::MakeResponse;
using pivrel::testsupport::TCertificateFiles;
using pivrel::testsupport::TLoopbackHttpServer;
using pivrel::testsupport::TTestCertificates;

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: pivrel-test-tls-server DIR good|expired|wrong-host|self-signed FILE [TYPE]\n";
        return 64;
    }
    const TTestCertificates certificates(argv[1]);
    const std::string kind = argv[2];
    const TCertificateFiles* files = kind == "good" ? &certificates.Good
        : kind == "expired"                         ? &certificates.Expired
        : kind == "wrong-host"                      ? &certificates.WrongHost
        : kind == "self-signed"                     ? &certificates.SelfSigned
                                                    : nullptr;
    std::ifstream file(argv[3], std::ios::binary);
    if (!files || !file) {
        std::cerr << "pivrel-test-tls-server: unknown kind or unreadable file\n";
        return 64;
    }
    std::ostringstream body;
    body << file.rdbuf();
    const std::string type = argc > 4 ? argv[4] : "text/vnd.wap.wml";
    TLoopbackHttpServer server(files);
    server.SetFallback(MakeResponse("HTTP/1.0 200 OK",
        { "Content-Type: " + type, "Content-Length: " + std::to_string(body.str().size()) }, body.str()));
    std::cout << server.Port() << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) { }
    return 0;
}
