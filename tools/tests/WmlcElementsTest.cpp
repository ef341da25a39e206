#include "base/Utf8.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

#include "tests/support/TempDir.h"
#include "tests/support/WmlcEncoder.h"
#include "tools/tests/CliRun.h"

namespace pivrel::tools {
namespace {

    std::string ReadAll(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Lines of the elements output from the first card on (the deck line names the file), with
    // each numeric character reference written as its character: a compiled deck carries the
    // characters of its text, not how the text spelled them.
    std::string CardLines(const std::string& output)
    {
        const std::string lines = output.substr(output.find('\n') + 1);
        static const std::regex reference("&#(x?)([0-9A-Fa-f]+);");
        std::string resolved;
        auto from = lines.cbegin();
        for (std::sregex_iterator it(lines.begin(), lines.end(), reference), end; it != end; ++it) {
            resolved.append(from, (*it)[0].first);
            base::AppendUtf8(
                resolved, static_cast<char32_t>(std::stoul((*it)[2], nullptr, (*it)[1].length() ? 16 : 10)));
            from = (*it)[0].second;
        }
        resolved.append(from, lines.cend());
        return resolved;
    }

    TEST(WmlcElements, ACompiledDeckGivesTheRecordsOfItsText)
    {
        const std::filesystem::path source = PIVREL_SOURCE_DIR;
        const std::filesystem::path decks[]
            = { source / "data/samples/welcome.wml", source / "data/samples/forms.wml",
                  source / "data/samples/index.wml", source / "tests/data/cli_records.wml" };
        // tests/data/latin1.wml is left out: its byte 0x80 reads as the euro sign on the text
        // path, as browsers read ISO-8859-1, but as a control character to the strict encoder.
        testsupport::TTempDir dir;
        for (const std::filesystem::path& deck : decks) {
            const std::string compiled = testsupport::EncodeWmlc(ReadAll(deck));
            ASSERT_FALSE(compiled.empty()) << deck;
            const std::string path = dir.Path() + "/" + deck.stem().string() + ".wmlc";
            std::ofstream(path, std::ios::binary) << compiled;

            const TRun text = RunArgs({ "elements", deck.string() });
            const TRun decoded = RunArgs({ "elements", path });
            ASSERT_EQ(decoded.Status, 0) << decoded.Err;
            EXPECT_EQ(CardLines(decoded.Out), CardLines(text.Out)) << deck;
        }
    }

    TEST(WmlcElements, ALargeCompiledDeckGivesTheRecordsOfItsText)
    {
        // Large enough to be decoded a batch of cards at a time.
        std::string deck = "<?xml version=\"1.0\"?>\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
                           "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n<wml>\n<template><do type=\"prev\" "
                           "label=\"Back\"><prev/></do></template>\n";
        const std::string words(200, 'w');
        for (int i = 0; i < 400; ++i) {
            const std::string id = std::to_string(i);
            deck += "<card id=\"c" + id + "\" title=\"Card " + id
                + "\"><p align=\"center\">Fish &amp; chips <b>" + id + "</b> for $(name)<br/><a href=\"#c"
                + std::to_string(i + 1) + "\">next</a> <img src=\"p.wbmp\" alt=\"pic " + id + "\"/></p><p>"
                + words + "</p></card>\n";
        }
        deck += "</wml>\n";
        testsupport::TTempDir dir;
        const std::string textPath = dir.Path() + "/large.wml";
        const std::string compiledPath = dir.Path() + "/large.wmlc";
        std::ofstream(textPath, std::ios::binary) << deck;
        const std::string compiled = testsupport::EncodeWmlc(deck, testsupport::TWmlcStrings::Inline);
        ASSERT_GT(compiled.size(), 80000u);
        std::ofstream(compiledPath, std::ios::binary) << compiled;

        const TRun text = RunArgs({ "elements", textPath });
        const TRun decoded = RunArgs({ "elements", compiledPath });
        ASSERT_EQ(decoded.Status, 0) << decoded.Err;
        EXPECT_EQ(CardLines(decoded.Out), CardLines(text.Out));
    }

    TEST(WmlcElements, ABodyThatDoesNotDecodeFailsWithTheReason)
    {
        testsupport::TTempDir dir;
        const std::string path = dir.Path() + "/broken.wmlc";
        std::ofstream(path, std::ios::binary) << std::string("\x03\x04\x6A\x00\x7F\x27", 6);
        const TRun run = RunArgs({ "elements", path });
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("Can't decode the compiled deck"), std::string::npos) << run.Err;
    }

} // namespace
} // namespace pivrel::tools
