#include "app/Bookmarks.h"

#include "base/Ascii.h"
#include "base/IniFile.h"

#include <unordered_map>

namespace pivrel::app {

namespace {

    constexpr const char* kNameSection = "NAME";
    constexpr const char* kUrlSection = "URL";

    base::TIniFile ReadFile(const std::string& path)
    {
        base::TIniFile ini;
        ini.LoadFromFile(path);
        return ini;
    }

    bool WriteFile(const base::TIniFile& ini, const std::string& path)
    {
        std::string error;
        return TAppPaths::EnsureParentDir(path) && ini.SaveToFile(path, error);
    }

    std::string Key(std::size_t number)
    {
        return std::to_string(number);
    }

    std::string ValueOf(const std::unordered_map<std::string, std::string>& values, std::size_t number)
    {
        const auto found = values.find(Key(number));
        return found != values.end() ? found->second : std::string();
    }

} // namespace

TBookmarks::TBookmarks(std::string path)
    : m_path(std::move(path))
{ }

void TBookmarks::LoadBookmarkList()
{
    m_names.clear();
    const auto values = ReadFile(m_path).ReadSectionValues(kNameSection);
    for (std::size_t n = 1;; ++n) {
        std::string name = ValueOf(values, n);
        if (name.empty())
            break;
        m_names.push_back(std::move(name));
    }
}

bool TBookmarks::AddBookmark(std::string name, std::string url)
{
    if (name.empty())
        name = kUnknownName;
    if (url.empty())
        url = kUnknownUrl;
    m_names.push_back(name);
    base::TIniFile ini = ReadFile(m_path);
    ini.WriteString(kNameSection, Key(m_names.size()), name);
    ini.WriteString(kUrlSection, Key(m_names.size()), url);
    return WriteFile(ini, m_path);
}

bool TBookmarks::UpdateBookmark(std::size_t index, std::string name, std::string url)
{
    if (index >= m_names.size())
        return false;
    if (name.empty())
        name = kUnknownName;
    if (url.empty())
        url = kUnknownUrl;
    base::TIniFile ini = ReadFile(m_path);
    ini.WriteString(kNameSection, Key(index + 1), name);
    ini.WriteString(kUrlSection, Key(index + 1), url);
    if (!WriteFile(ini, m_path))
        return false;
    m_names[index] = std::move(name);
    return true;
}

std::string TBookmarks::UrlAt(std::size_t index) const
{
    const std::string url = ReadFile(m_path).ReadString(kUrlSection, Key(index + 1), "");
    return url.empty() ? std::string(kDefaultUrl) : url;
}

bool TBookmarks::MarkDeleted(std::size_t index)
{
    base::TIniFile ini = ReadFile(m_path);
    ini.WriteString(kNameSection, Key(index + 1), kDeleteMark);
    ini.WriteString(kUrlSection, Key(index + 1), kDeleteMark);
    return WriteFile(ini, m_path);
}

TBookmarks::TCompactResult TBookmarks::CompactBookmarks()
{
    TCompactResult result;
    base::TIniFile ini = ReadFile(m_path);
    const auto storedNames = ini.ReadSectionValues(kNameSection);
    const auto storedUrls = ini.ReadSectionValues(kUrlSection);
    base::TStringList names;
    base::TStringList urls;
    // The scan runs while either section has an entry, so that one missing address cannot cut
    // off the bookmarks after it; such a half entry is dropped with a message below.
    for (std::size_t n = 1;; ++n) {
        std::string name = ValueOf(storedNames, n);
        std::string url = ValueOf(storedUrls, n);
        if (name.empty() && url.empty())
            break;
        if (url == kDeleteMark)
            continue;
        names.push_back(std::move(name));
        urls.push_back(std::move(url));
    }
    ini.EraseSection(kNameSection);
    ini.EraseSection(kUrlSection);
    std::size_t written = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty() || urls[i].empty()) {
            result.Errors.emplace_back("Empty link ecountered");
            continue;
        }
        ++written;
        ini.AppendString(kNameSection, Key(written), names[i]);
        ini.AppendString(kUrlSection, Key(written), urls[i]);
    }
    result.Success = WriteFile(ini, m_path);
    if (result.Success)
        LoadBookmarkList();
    return result;
}

std::optional<std::size_t> TBookmarks::Find(const std::string& text) const
{
    const std::string wanted = base::AsciiUpper(text);
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (base::AsciiUpper(m_names[i]).starts_with(wanted))
            return i;
    }
    return std::nullopt;
}

} // namespace pivrel::app
