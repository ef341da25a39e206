#pragma once

#include "base/ListFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace pivrel::app::testing {

// Points PIVREL_HOME at a fresh temporary directory for one test and restores it afterwards, so
// that no test reads or writes the user's own files.
class TempHomeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* old = std::getenv("PIVREL_HOME");
        if (old != nullptr)
            m_oldHome = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "pivrel-home-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_home = m_root / "home";
        ::setenv("PIVREL_HOME", m_home.c_str(), 1);
    }

    void TearDown() override
    {
        if (m_oldHome)
            ::setenv("PIVREL_HOME", m_oldHome->c_str(), 1);
        else
            ::unsetenv("PIVREL_HOME");
        std::filesystem::remove_all(m_root);
    }

    std::string Home(const std::string& name) const { return (m_home / name).string(); }

    bool Exists(const std::string& name) const { return std::filesystem::exists(m_home / name); }

    // The file's bytes, or "<missing>".
    std::string Bytes(const std::string& name) const
    {
        std::string bytes;
        return base::ReadBoundedFile(Home(name), bytes) ? bytes : std::string("<missing>");
    }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::filesystem::create_directories(m_home);
        std::ofstream(Home(name), std::ios::binary) << bytes;
    }

    std::filesystem::path m_root;
    std::filesystem::path m_home;

private:
    std::optional<std::string> m_oldHome;
};

} // namespace pivrel::app::testing
