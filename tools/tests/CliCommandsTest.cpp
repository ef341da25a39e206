#include "tools/CliCommands.h"

#include "base/StringList.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "tools/tests/CliRun.h"

namespace pivrel::tools {
namespace {

    std::string DataFile(const std::string& name)
    {
        return std::string(PIVREL_SOURCE_DIR) + "/tests/data/" + name;
    }

    std::string WriteTempFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = testing::TempDir() + "pivrel_cli_" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::vector<std::string> Lines(const std::string& text)
    {
        return base::SplitLines(text);
    }

    TEST(CliCommandsTest, BadUsageGivesTheUsageOnStandardErrorAndStatus64)
    {
        const std::string deck = DataFile("cli_records.wml");
        const std::vector<std::vector<std::string>> cases = {
            {},
            { "frobnicate" },
            { "Elements", deck },
            { "elements" },
            { "elements", deck, "extra" },
            { "elements", deck, "--card" },
            { "elements", deck, "--fresh" },
            { "elements", deck, "-x" },
            { "resolve", "http://h/" },
            { "resolve", "http://h/", "x", "--card", "c" },
            { "vars" },
            { "vars", deck, "--set" },
            { "vars", deck, "--set", "novalue" },
            { "vars", deck, "--url" },
            { "vars", deck, "--post=yes" },
        };
        for (const auto& args : cases) {
            const TRun run = RunArgs(args);
            EXPECT_EQ(run.Status, kExitUsage) << testing::PrintToString(args);
            EXPECT_EQ(run.Out, "") << testing::PrintToString(args);
            EXPECT_EQ(run.Err.rfind("pivrel-cli: ", 0), 0u) << run.Err;
            EXPECT_NE(run.Err.find(UsageText()), std::string::npos) << testing::PrintToString(args);
        }
    }

    TEST(CliCommandsTest, HelpGoesToStandardOutput)
    {
        const std::vector<std::vector<std::string>> cases = {
            { "--help" },
            { "-h" },
            { "elements", "--help" },
            { "resolve", "--help" },
            { "vars", "no-such-file.wml", "--help" },
        };
        for (const auto& args : cases) {
            const TRun run = RunArgs(args);
            EXPECT_EQ(run.Status, kExitOk) << testing::PrintToString(args);
            EXPECT_EQ(run.Out, UsageText());
            EXPECT_EQ(run.Err, "");
        }
        // After "--" it is an argument like any other, here the name of a missing file.
        EXPECT_EQ(RunArgs({ "elements", "--", "--help" }).Status, kExitFileError);
    }

    TEST(CliCommandsTest, UnreadableFilesAreNamedWithTheReason)
    {
        const std::string dir = testing::TempDir();

        struct Case {
            std::vector<std::string> args;
            std::string message;
        };

        const Case cases[] = {
            { { "elements", "missing.wml" },
                "pivrel-cli: cannot read 'missing.wml': No such file or directory\n" },
            { { "vars", "missing.wml", "--text", "x" },
                "pivrel-cli: cannot read 'missing.wml': No such file or directory\n" },
            { { "elements", dir }, "pivrel-cli: cannot read '" + dir + "': Is a directory\n" },
            { { "elements", "" }, "pivrel-cli: cannot read '': No such file or directory\n" },
        };
        for (const Case& c : cases) {
            const TRun run = RunArgs(c.args);
            EXPECT_EQ(run.Status, kExitFileError);
            EXPECT_EQ(run.Err, c.message);
            EXPECT_EQ(run.Out, "");
        }
    }

    TEST(CliCommandsTest, ElementsPrintsDeckCardsAndRecordsAsJsonLines)
    {
        const TRun run = RunArgs({ "elements", DataFile("cli_records.wml") });
        ASSERT_EQ(run.Status, kExitOk) << run.Err;
        const auto lines = Lines(run.Out);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0].rfind(R"({"deck":{"accepted":true,"cards":2,"Template":"<template>)", 0), 0u)
            << lines[0];
        EXPECT_EQ(lines[1].rfind(R"({"card":{"index":0,"ID":"first","Title":"First","NewContext":true,)"
                                 R"("OnTimerURL":"#second","OnEnterForward":null,"OnEnterBackward":null,)"
                                 R"("OnTimer":{"Kind":"go","Href":"#second","Post":false,"PostFields":[],)"
                                 R"("SetVarNames":[],"SetVarValues":[]},"elements":)",
                      0),
            0u)
            << lines[1];

        // Every record class of the deck shows up with its own fields.
        const std::string expected[] = {
            R"({"class":"TWMLBtn","key":"Menu",)",
            R"("Link":"menu.wml","BtName":"menu","Caption":"Menu","DoType":"options","Post":false,"Refresh":false)",
            R"({"class":"TWMLTimer","key":"",)",
            R"("Link":"#second","Time":2000)",
            R"({"class":"TWMLAlignmentChange","key":"","Alignment":2,)",
            R"("TextFont":{"Name":"Arial","Size":10,"Bold":true,"Italic":false,"Underline":false},"Text":"bold ")",
            R"x("Text":"Second","Link":"second.wml?x=$(q)","JumpID":0,"Post":false,"Refresh":false,"Picture":false)x",
            R"({"class":"TWMLPostVariable","key":"postfield",)",
            R"("VarName":"u","VarValue":"bob",)",
            R"("Text":"Send","Link":"post.cgi","JumpID":0,"Post":true,"Refresh":false,"Picture":false)",
            R"({"class":"TWMLInput","key":"Query",)",
            R"("Title":"Query","DefaultText":"wap","Size":"16","MaxLength":"8","Password":true)",
            R"("Title":"Options (s):","Multiple":true)",
            R"("NameList":["A","B"],"ValueList":["a","b"],"OnPickList":["#a",""])",
            R"("iVarName":"si","iVarValue":"2")",
            R"("Alt":"Logo","Src":"logo.wbmp","LocalSrc":"","VSpave":"1","HSpace":"2","Align":"top",)"
            R"("Width":"10","Height":"12","SourceWidth":0,"SourceHeight":0)",
            R"({"class":"TWMLPivrelVersion","key":"PIVRELVERSION",)",
            R"("NewestVersion":"2.3")",
            R"({"card":{"index":1,"ID":"second","Title":"Second","NewContext":false,"OnTimerURL":"",)",
            R"x("Text":"You typed $(q).")x",
        };
        for (const std::string& piece : expected)
            EXPECT_NE(run.Out.find(piece), std::string::npos) << piece;

        // The card lines announce exactly the element lines that follow them.
        std::size_t announced = 0;
        std::size_t seen = 0;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].rfind(R"({"card":)", 0) == 0) {
                EXPECT_EQ(announced, seen);
                const std::size_t at = lines[i].find(R"("elements":)") + 11;
                announced = std::stoul(lines[i].substr(at));
                seen = 0;
            } else {
                EXPECT_EQ(lines[i].rfind(R"({"class":"TWML)", 0), 0u) << lines[i];
                EXPECT_EQ(lines[i].back(), '}');
                ++seen;
            }
        }
        EXPECT_EQ(announced, seen);
    }

    TEST(CliCommandsTest, ElementsCardFilterAndLineEnds)
    {
        std::string lf;
        std::string error;
        ASSERT_TRUE(base::ReadFileBytes(DataFile("cli_records.wml"), lf, error));

        const TRun second = RunArgs({ "elements", DataFile("cli_records.wml"), "--card", "second" });
        ASSERT_EQ(second.Status, kExitOk);
        const auto lines = Lines(second.Out);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0].rfind(R"({"deck":{"accepted":true,"cards":2,)", 0), 0u);
        EXPECT_EQ(lines[1].rfind(R"({"card":{"index":1,"ID":"second",)", 0), 0u);
        EXPECT_EQ(second.Out.find(R"("ID":"first")"), std::string::npos);

        const TRun none = RunArgs({ "elements", DataFile("cli_records.wml"), "--card", "SECOND" });
        EXPECT_EQ(none.Status, kExitOk);
        EXPECT_EQ(Lines(none.Out).size(), 1u);

        // CR and CR LF line ends read the same as LF.
        const TRun reference = RunArgs({ "elements", DataFile("cli_records.wml") });
        for (const std::string end : { "\r", "\r\n" }) {
            std::string converted;
            for (char c : lf)
                converted += c == '\n' ? end : std::string(1, c);
            const std::string path = WriteTempFile(end == "\r" ? "cr.wml" : "crlf.wml", converted);
            EXPECT_EQ(RunArgs({ "elements", path }).Out, reference.Out);
        }
    }

    TEST(CliCommandsTest, ElementsConvertsTheDeckToUtf8AndReportsRejectedText)
    {
        const TRun latin1 = RunArgs({ "elements", DataFile("latin1.wml") });
        ASSERT_EQ(latin1.Status, kExitOk);
        EXPECT_NE(latin1.Out.find("\"Title\":\"Caf\xC3\xA9\""), std::string::npos) << latin1.Out;
        EXPECT_NE(latin1.Out.find("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                  "e \xE2\x82\xAC 5"),
            std::string::npos);

        const struct {
            std::string name;
            std::string bytes;
        } rejected[] = {
            { "empty.wml", "" },
            { "notdeck.wml", "<html><body>no deck</body></html>" },
            { "nul.wml", std::string("<wml>\0<card>\0</card></wml", 25) },
            { "binary.wml", "\xFF\xD8\xFF\xE0\x00\x10JFIF" },
        };

        for (const auto& c : rejected) {
            const TRun run = RunArgs({ "elements", WriteTempFile(c.name, c.bytes) });
            EXPECT_EQ(run.Status, kExitOk) << c.name;
            EXPECT_EQ(run.Out, "{\"deck\":{\"accepted\":false,\"cards\":0,\"Template\":\"\"}}\n") << c.name;
        }
    }

    TEST(CliCommandsTest, ResolveFollowsTheEnginesPattern)
    {
        struct Case {
            std::vector<std::string> args;
            std::string expected;
        };

        const Case cases[] = {
            { { "resolve", "http://h/a/deck.wml", "x.wml" },
                R"({"CompleteURL":"http://h/a/x.wml","Protocol":"http://","Host":"h","Path":"a",)"
                R"("Document":"x.wml","Parameters":"","PageHOP":""})" },
            { { "resolve", "http://h/a/deck.wml?s=9", "#c2" },
                R"({"CompleteURL":"http://h/a/deck.wml?s=9#c2","Protocol":"http://","Host":"h","Path":"a",)"
                R"("Document":"deck.wml","Parameters":"s=9","PageHOP":"c2"})" },
            // Fresh resets before each address, so the base leaves nothing behind.
            { { "resolve", "http://h/a/deck.wml?s=9", "x.wml", "--fresh" },
                R"({"CompleteURL":"http://x.wml/","Protocol":"http://","Host":"x.wml","Path":"/",)"
                R"("Document":"","Parameters":"","PageHOP":""})" },
            { { "resolve", "--fresh", "http://h/", "http://k/d.wml" },
                R"({"CompleteURL":"http://k/d.wml","Protocol":"http://","Host":"k","Path":"",)"
                R"("Document":"d.wml","Parameters":"","PageHOP":""})" },
        };
        for (const Case& c : cases) {
            const TRun run = RunArgs(c.args);
            EXPECT_EQ(run.Status, kExitOk);
            EXPECT_EQ(run.Out, c.expected + "\n") << testing::PrintToString(c.args);
        }
        // An empty target changes nothing: the base's fields stay.
        EXPECT_EQ(
            ResolveJson("http://h/d.wml", "", false).rfind(R"({"CompleteURL":"http://h/d.wml",)", 0), 0u);
    }

    TEST(CliCommandsTest, VarsSubstitutesAssignsAndBuildsTheBody)
    {
        const std::string deck = DataFile("cli_records.wml");

        struct Case {
            std::vector<std::string> args;
            std::string expected;
        };

        const Case cases[] = {
            { { "vars", deck }, "{}" },
            { { "vars", deck, "--url", "search?q=$(q)" }, R"({"url":"search?q=wap"})" },
            { { "vars", deck, "--set", "q=x=y", "--url", "s?q=$(q)&z=$(z)" },
                R"x({"url":"s?q=x%3Dy&z=$(z)"})x" },
            { { "vars", deck, "--set", "q=1", "--set", "q=2", "--text", "q is $(q)" },
                R"({"text":"q is 2"})" },
            // A name no record holds is kept all the same.
            { { "vars", deck, "--set", "nobody=1", "--text", "[$(nobody)]" }, R"({"text":"[1]"})" },
            { { "vars", deck, "--text", "a  b &amp;lt; $$" }, R"({"text":"a b < $"})" },
            // The body holds the fields of the link whose go leads to the address, and only those.
            { { "vars", deck, "--post" }, R"({"body":""})" },
            { { "vars", deck, "--url", "p.cgi", "--post", "--text", "" },
                R"({"url":"p.cgi","body":"","text":""})" },
            { { "vars", deck, "--url", "post.cgi", "--post" }, R"({"url":"post.cgi","body":"u=bob"})" },
            { { "vars", deck, "--url", "post.cgi" }, R"({"url":"post.cgi?u=bob"})" },
        };
        for (const Case& c : cases) {
            const TRun run = RunArgs(c.args);
            EXPECT_EQ(run.Status, kExitOk) << run.Err;
            EXPECT_EQ(run.Out, c.expected + "\n") << testing::PrintToString(c.args);
        }
        // A text that is not a deck has no card to build a body from.
        const std::string notDeck = WriteTempFile("plain.txt", "hello");
        EXPECT_EQ(RunArgs({ "vars", notDeck, "--post" }).Out, "{\"body\":null}\n");
    }

    TEST(CliCommandsTest, ElementRecordLineHasAFixedShape)
    {
        wml::TWMLLink link;
        link.Text = "caf\xE9 \"x\"\n";
        link.Link = "#b";
        link.JumpID = 4096;
        link.Alignment = wml::TWMLAlignment::Right;
        link.TextFont.Italic = true;
        link.VarObject.Edit().SetVarNames = { "a", "b" };
        link.VarObject.Edit().SetVarValues = { "1", "" };
        std::string out;
        AppendElementJson(out, link, "Link");
        const std::string className = link.ClassName();
        EXPECT_EQ(out,
            R"({"class":")" + className
                + R"(","key":"Link","Alignment":1,)"
                  R"("TextFont":{"Name":"Arial","Size":10,"Bold":false,"Italic":true,"Underline":false},)"
                  R"("Text":"caf\u00e9 \"x\"\n","Link":"#b","JumpID":4096,"Post":false,"Refresh":false,"Picture":false,)"
                  R"("VarObject":{"VarName":"","VarValue":"","iVarName":"","iVarValue":"","NameList":[],)"
                  R"("ValueList":[],"OnPickList":[],"SetVarNames":["a","b"],"SetVarValues":["1",""],)"
                  R"("DefaultValue":"","DefaultIValue":"","PostVariable":false}})");
    }

    // Records without a variable end in a text kept ready; it must read as a record whose variable
    // block is written member by member, whatever the record's class.
    TEST(CliCommandsTest, RecordsWithoutAVariableEndLikeOthers)
    {
        const std::string emptyEnd
            = R"("VarObject":{"VarName":"","VarValue":"","iVarName":"","iVarValue":"",)"
              R"("NameList":[],"ValueList":[],"OnPickList":[],"SetVarNames":[],)"
              R"("SetVarValues":[],"DefaultValue":"","DefaultIValue":"","PostVariable":)";
        const auto endOf = [](const std::string& line) { return line.substr(line.find("\"VarObject\"")); };
        wml::TWMLText text;
        wml::TWMLBR br;
        wml::TWMLBtn button;
        wml::TWMLText edited;
        edited.VarObject.Edit();
        wml::TWMLText posted;
        posted.VarObject.Edit().PostVariable = true;
        const std::pair<const wml::TWMLObject*, std::string> cases[] = {
            { &text, emptyEnd + "false}}" },
            { &br, emptyEnd + "false}}" },
            { &button, emptyEnd + "false}}" },
            { &edited, emptyEnd + "false}}" },
            { &posted, emptyEnd + "true}}" },
        };
        for (const auto& [record, expected] : cases) {
            std::string out;
            AppendElementJson(out, *record, "k");
            EXPECT_EQ(endOf(out), expected) << record->ClassName();
            EXPECT_EQ(
                out.rfind(std::string(R"({"class":")") + record->ClassName() + R"(","key":"k",)", 0), 0u);
        }
    }

    TEST(CliCommandsTest, LargeOutputArrivesWhole)
    {
        std::string deck = "<wml><card id=\"big\"><p>";
        for (int i = 0; i < 20000; ++i)
            deck += "<b>w" + std::to_string(i) + "</b> ";
        deck += "</p></card></wml>";
        const TRun run = RunArgs({ "elements", WriteTempFile("big.wml", deck) });
        ASSERT_EQ(run.Status, kExitOk);
        const auto lines = Lines(run.Out);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.size(), 2 + std::stoul(lines[1].substr(lines[1].find(R"("elements":)") + 11)));
        EXPECT_NE(run.Out.find(R"("Text":"w19999")"), std::string::npos);
        EXPECT_EQ(run.Out.back(), '\n');
    }

} // namespace
} // namespace pivrel::tools
