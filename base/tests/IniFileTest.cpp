#include "base/IniFile.h"

#include "base/ListFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using pivrel::base::TIniFile;
using namespace std::string_literals;

namespace {

TIniFile Parsed(std::string_view text)
{
    TIniFile ini;
    ini.Parse(text);
    return ini;
}

} // namespace

TEST(IniFile, ReadsSectionsKeysAndValuesLeniently)
{
    const TIniFile ini = Parsed("junk before=any section\r\n"
                                "[General]\n"
                                "  UseBackImage = 0 \r"
                                "BackImageFile=./pics/a=b.bmp\n"
                                "; comment=not a key\n"
                                "empty=\n"
                                "UseBackImage=1\n"
                                "[ BROWSER ]trailing\n"
                                "HomePage=http://x/y?a=1\n"
                                "[unterminated\n"
                                "k=v");
    EXPECT_EQ(ini.ReadValue("GENERAL", "usebackimage"), "0"); // the first of two keys wins
    EXPECT_EQ(ini.ReadString("general", "BackImageFile", "d"), "./pics/a=b.bmp");
    EXPECT_EQ(ini.ReadString("GENERAL", "empty", "d"), "");
    EXPECT_EQ(ini.ReadString("GENERAL", "; comment", "d"), "d");
    EXPECT_EQ(ini.ReadString("GENERAL", "missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("BROWSER", "HomePage", ""), "http://x/y?a=1");
    EXPECT_EQ(ini.ReadString("unterminated", "k", ""), "v");
    // Lines before the first section belong to no section.
    EXPECT_EQ(ini.ReadString("", "junk before", "none"), "none");
    EXPECT_EQ(Parsed("\xEF\xBB\xBF[S]\r\nk=v\r\n").ReadString("S", "k", ""), "v");
    // A file saved twice by an editor that adds a mark each time still reads, and reads the same
    // once written back.
    const std::string twice = Parsed("\xEF\xBB\xBF\xEF\xBB\xBF[S]\r\nk=v\r\n").Format();
    EXPECT_EQ(Parsed(twice).ReadString("S", "k", ""), "v");
    EXPECT_EQ(Parsed(twice).Format(), twice);
    const std::string indented = Parsed("\t\xEF\xBB\xBFk=v\r\n[S]\r\n").Format();
    EXPECT_EQ(Parsed(indented).Format(), indented);
}

TEST(IniFile, IntegersAndBooleansFallBackOnJunk)
{
    const TIniFile ini = Parsed("[S]\nzero=0\none=1\nseven=7\nneg=-12\nplus=+5\nplusminus=+-5\n"
                                "hex=0x1F\nword=true\nblank=\nspace=1 2\nhuge=99999999999\n"
                                "max=2147483647\nmin=-2147483648\n");

    struct Case {
        const char* Key;
        int Integer;
        bool Boolean;
    };

    const Case cases[] = { { "zero", 0, false }, { "one", 1, true }, { "seven", 7, true },
        { "neg", -12, true }, { "plus", 5, true }, { "plusminus", 42, true }, { "hex", 42, true },
        { "word", 42, true }, { "blank", 42, true }, { "space", 42, true }, { "huge", 42, true },
        { "max", 2147483647, true }, { "min", -2147483647 - 1, true }, { "missing", 42, true } };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadInteger("S", c.Key, 42), c.Integer) << c.Key;
        EXPECT_EQ(ini.ReadBool("S", c.Key, true), c.Boolean) << c.Key;
    }
    EXPECT_FALSE(ini.ReadBool("S", "word", false));
}

TEST(IniFile, WritesNewFilesInWriteOrderWithCrLf)
{
    TIniFile ini;
    ini.WriteBool("GENERAL", "UseBackImage", true);
    ini.WriteInteger("BROWSER", "MaxHistory", 100);
    ini.WriteBool("GENERAL", "Transparent", false);
    ini.WriteString("NETWORK", "Password", "p a=ss");
    ini.WriteString("general", "usebackimage", "0"); // replaces, keeps the stored spelling
    EXPECT_EQ(ini.Format(),
        "[GENERAL]\r\nUseBackImage=0\r\nTransparent=0\r\n[BROWSER]\r\nMaxHistory=100\r\n"
        "[NETWORK]\r\nPassword=p a=ss\r\n");
}

TEST(IniFile, RewriteKeepsForeignLinesAndNeverSplitsAValue)
{
    TIniFile ini = Parsed("; my notes\r\n[A]\r\nx=1\r\n\r\n; end of A\r\n[B]\r\nforeign line\r\n");
    ini.WriteString("A", "y", "two\r\n[B]\nInjected=1");
    ini.WriteString("B", "z", "3");
    EXPECT_EQ(ini.Format(),
        "; my notes\r\n[A]\r\nx=1\r\ny=two  [B] Injected=1\r\n\r\n; end of A\r\n[B]\r\nz=3\r\nforeign "
        "line\r\n");
    EXPECT_EQ(Parsed(ini.Format()).ReadValue("B", "Injected"), std::nullopt);
}

TEST(IniFile, EraseSectionRemovesEveryCopy)
{
    TIniFile ini = Parsed("[NAME]\n1=a\n[URL]\n1=u\n[name]\n2=b\n");
    EXPECT_TRUE(ini.SectionExists("Name"));
    ini.EraseSection("NAME");
    EXPECT_FALSE(ini.SectionExists("NAME"));
    EXPECT_EQ(ini.Format(), "[URL]\r\n1=u\r\n");
    ini.EraseSection("absent");
    EXPECT_EQ(ini.Format(), "[URL]\r\n1=u\r\n");
}

TEST(IniFile, HostileTextIsReadAsFarAsSensible)
{
    const std::string longLine(100 * 1024, 'x');
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131) & 0xFF);
    const std::string inputs[]
        = { "", "\r\n\r\n", "[", "]", "=", "[]\n=\n==\n", "[S]\nk", "[S]\nk=", "[S]\n" + longLine + "\nk=v\n",
              "[S]\nk=" + longLine + "\nafter=1\n", binary, "[S]\0\nk=v\0w\n"s, "[S]\r\r\r\nk=v" };
    for (const auto& input : inputs) {
        const TIniFile ini = Parsed(input);
        const std::string again = Parsed(ini.Format()).Format();
        EXPECT_EQ(again, ini.Format()) << "formatting is stable";
    }
    // A line of 100 KB is dropped; the lines around it still count.
    const TIniFile ini = Parsed("[S]\nk=" + longLine + "\nafter=1\n");
    EXPECT_EQ(ini.ReadString("S", "k", "default"), "default");
    EXPECT_EQ(ini.ReadString("S", "after", ""), "1");
    EXPECT_EQ(Parsed("[S]\nk=v\0w\n"s).ReadString("S", "k", "").size(), 3u);
}

TEST(IniFile, LineCountIsBounded)
{
    std::string text = "[S]\n";
    for (std::size_t i = 0; i < TIniFile::kMaxLines + 10; ++i)
        text += "k" + std::to_string(i) + "=v\n";
    const TIniFile ini = Parsed(text);
    EXPECT_EQ(ini.Sections().back().Lines.size(), TIniFile::kMaxLines - 1);
    EXPECT_EQ(ini.ReadValue("S", "k" + std::to_string(TIniFile::kMaxLines - 2)), "v");
    EXPECT_EQ(ini.ReadValue("S", "k" + std::to_string(TIniFile::kMaxLines - 1)), std::nullopt);
}

TEST(IniFile, FilesRoundTripAndMissingFilesAreEmpty)
{
    const auto dir = std::filesystem::temp_directory_path() / ("pivrel-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Pivrel.ini").string();

    TIniFile ini;
    EXPECT_FALSE(ini.LoadFromFile(path));
    EXPECT_FALSE(ini.LoadFromFile(dir.string())); // a directory is no file
    ini.WriteString("S", "k", "v");
    std::string error;
    ASSERT_TRUE(ini.SaveToFile(path, error)) << error;
    std::string bytes;
    ASSERT_TRUE(pivrel::base::ReadBoundedFile(path, bytes));
    EXPECT_EQ(bytes, "[S]\r\nk=v\r\n");
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    TIniFile again;
    EXPECT_TRUE(again.LoadFromFile(path));
    EXPECT_EQ(again.ReadString("S", "k", ""), "v");
    EXPECT_FALSE(ini.SaveToFile((dir / "no-such-dir" / "x.ini").string(), error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove_all(dir);
}
