#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace pivrel::testsupport {

// A fresh directory under the system's temporary directory, removed with all it holds when the
// object goes: each test gets files of its own and leaves nothing behind.
class TTempDir
{
public:
    explicit TTempDir(const std::string& prefix = "pivrel-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }

    ~TTempDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }

    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // Empty when the directory could not be made.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace pivrel::testsupport
