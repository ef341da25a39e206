#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tools/CliCommands.h"
#include "tools/NetCommands.h"
#include "tools/tests/CliRun.h"

namespace pivrel::tools {
namespace {

    using testsupport::MakeResponse;
    using testsupport::TCertificateFiles;
    using testsupport::TLoopbackHttpServer;
    using testsupport::TScriptedResponse;
    using testsupport::TTempDir;
    using testsupport::TTestCertificates;

    const std::string kDeck = "<?xml version=\"1.0\"?>\n<wml><card id=\"s\"><p>Secure</p></card></wml>\n";

    class SecureFetchTest : public ::testing::Test
    {
    protected:
        SecureFetchTest() { ::setenv("PIVREL_HOME", (m_dir.Path() + "/home").c_str(), 1); }

        ~SecureFetchTest() override { ::unsetenv("PIVREL_HOME"); }

        static TScriptedResponse Deck()
        {
            return MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, kDeck);
        }

        TTempDir m_dir;
        TTestCertificates m_certificates { m_dir.Path() };
    };

    TEST_F(SecureFetchTest, FetchAndElementsTrustTheGivenAuthorityOnly)
    {
        TLoopbackHttpServer server(&m_certificates.Good);
        server.SetFallback(Deck());
        const TRun fetched
            = RunArgs({ "fetch", server.Url("/deck.wml"), "--cacert", m_certificates.Authority });
        EXPECT_EQ(fetched.Status, kExitOk) << fetched.Err;
        EXPECT_EQ(fetched.Out, kDeck);
        const TRun elements
            = RunArgs({ "elements", server.Url("/deck.wml"), "--cacert", m_certificates.Authority });
        EXPECT_EQ(elements.Status, kExitOk) << elements.Err;
        EXPECT_NE(elements.Out.find("\"Text\":\"Secure\""), std::string::npos) << elements.Out;

        const TRun untrusted = RunArgs({ "fetch", server.Url("/deck.wml") });
        EXPECT_EQ(untrusted.Status, kExitRequestFailed);
        EXPECT_EQ(untrusted.Out, "");
        EXPECT_NE(untrusted.Err.find("comes from an unknown issuer"), std::string::npos) << untrusted.Err;

        const TRun missing = RunArgs({ "fetch", server.Url("/"), "--cacert", m_dir.Path() + "/none.pem" });
        EXPECT_EQ(missing.Status, kExitUsage);
        EXPECT_NE(missing.Err.find("--cacert needs a readable file"), std::string::npos) << missing.Err;
    }

    TEST_F(SecureFetchTest, EachBadCertificateIsNamed)
    {
        const std::pair<const TCertificateFiles*, std::string> cases[] = {
            { &m_certificates.Expired, "has expired" },
            { &m_certificates.WrongHost, "is for another host" },
            { &m_certificates.SelfSigned, "is self-signed" },
        };
        for (const auto& [files, reason] : cases) {
            TLoopbackHttpServer server(files);
            server.SetFallback(Deck());
            const TRun run
                = RunArgs({ "elements", server.Url("/d.wml"), "--cacert", m_certificates.Authority });
            EXPECT_EQ(run.Status, kExitRequestFailed) << reason;
            EXPECT_NE(run.Err.find(reason), std::string::npos) << run.Err;
            EXPECT_EQ(server.RequestCount(), 0u) << reason;
        }
    }

    TEST_F(SecureFetchTest, FailedFetchLeavesNoPartialFileAndKeepsTheOldOne)
    {
        TLoopbackHttpServer server;
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", { "Content-Length: 1000" }, "cut short"));
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "whole"));
        const std::string fresh = m_dir.Path() + "/fresh.wml";
        const std::string kept = m_dir.Path() + "/kept.wml";
        std::ofstream(kept) << "old";

        EXPECT_EQ(RunArgs({ "fetch", server.Url("/"), "-o", fresh }).Status, kExitRequestFailed);
        EXPECT_FALSE(std::filesystem::exists(fresh));
        EXPECT_EQ(RunArgs({ "fetch", server.Url("/"), "-o", kept }).Status, kExitOk);
        std::ifstream in(kept);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "whole");
        // Nothing but the two documents stays in the directory.
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
            files += entry.path().filename().string().find(".part-") != std::string::npos;
        EXPECT_EQ(files, 0u);
    }

    TEST_F(SecureFetchTest, OutputThatIsNoPlainFileIsWrittenInPlace)
    {
        TLoopbackHttpServer server;
        server.AddResponse(MakeResponse("HTTP/1.0 200 OK", {}, "through the link"));
        const std::string target = m_dir.Path() + "/target.wml";
        const std::string link = m_dir.Path() + "/link.wml";
        std::ofstream(target) << "old";
        std::filesystem::create_symlink(target, link);
        EXPECT_EQ(RunArgs({ "fetch", server.Url("/"), "-o", link }).Status, kExitOk);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        std::ifstream in(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "through the link");
    }

    TEST_F(SecureFetchTest, VarsStopsReadingAnEndlessFile)
    {
        const TRun run = RunArgs({ "vars", "/dev/zero" });
        EXPECT_EQ(run.Status, kExitFileError);
        EXPECT_NE(run.Err.find("/dev/zero"), std::string::npos) << run.Err;
    }

} // namespace
} // namespace pivrel::tools
