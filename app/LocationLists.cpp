#include "app/LocationLists.h"

#include "base/Ascii.h"
#include "base/ListFile.h"

#include "app/Settings.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace pivrel::app {

namespace {

    auto FindIgnoringCase(base::TStringList& items, const std::string& text)
    {
        return std::find_if(items.begin(), items.end(),
            [&](const std::string& item) { return base::SameTextIgnoringCase(item, text); });
    }

    // Entries in file order, each first spelling of an address once, at most limit of them.
    base::TStringList LoadDistinct(const std::string& path, std::size_t limit)
    {
        base::TStringList items;
        for (auto& entry : base::LoadListFile(path)) {
            if (items.size() >= limit)
                break;
            if (FindIgnoringCase(items, entry) == items.end())
                items.push_back(std::move(entry));
        }
        return items;
    }

    bool SaveList(const base::TStringList& items, const std::string& path, std::string& error)
    {
        if (!TAppPaths::EnsureParentDir(path)) {
            error = "cannot create the directory of " + path;
            return false;
        }
        return base::SaveListFile(items, path, error);
    }

} // namespace

TRecentList::TRecentList(std::string path)
    : m_path(std::move(path))
{ }

void TRecentList::Load()
{
    m_items = LoadDistinct(m_path, kMaxRecent);
}

bool TRecentList::Save(std::string& error) const
{
    return SaveList(m_items, m_path, error);
}

bool TRecentList::AddRecentURL(const std::string& address)
{
    std::string stripped = address.substr(0, address.find('#'));
    stripped = stripped.substr(0, stripped.find('?'));
    if (stripped.empty() || FindIgnoringCase(m_items, stripped) != m_items.end())
        return false;
    m_items.insert(m_items.begin(), stripped);
    if (m_items.size() > kMaxRecent)
        m_items.resize(kMaxRecent);
    // A list that cannot be written stays right in memory; shut-down tries again.
    m_saveError.clear();
    Save(m_saveError);
    return true;
}

std::string TRecentList::ReopenCaption(std::size_t index, const std::string& address)
{
    std::string caption = "&" + std::to_string(index) + "  ";
    for (const char c : address) {
        caption += c;
        if (c == '&')
            caption += '&';
    }
    return caption;
}

std::string TRecentList::AddressFromReopenCaption(const std::string& caption)
{
    std::string address;
    for (std::size_t i = std::min<std::size_t>(4, caption.size()); i < caption.size(); ++i) {
        address += caption[i];
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&')
            ++i;
    }
    return address;
}

TTypedLocations::TTypedLocations(std::string path)
    : m_path(std::move(path))
{ }

void TTypedLocations::Load()
{
    m_items = LoadDistinct(m_path, TPivrelSettings::kMaxMaxHistory);
}

bool TTypedLocations::Save(std::string& error) const
{
    return SaveList(m_items, m_path, error);
}

bool TTypedLocations::AddTypedLocation(const std::string& text, int maxHistory)
{
    if (text.empty())
        return true;
    const auto known = FindIgnoringCase(m_items, text);
    if (known != m_items.end())
        m_items.erase(known);
    m_items.insert(m_items.begin(), text);
    const auto limit = static_cast<std::size_t>(
        std::clamp(maxHistory, TPivrelSettings::kMinMaxHistory, TPivrelSettings::kMaxMaxHistory));
    if (m_items.size() > limit)
        m_items.resize(limit);
    m_saveError.clear();
    return Save(m_saveError);
}

TOpenLocations::TOpenLocations(std::string path)
    : m_path(std::move(path))
{ }

void TOpenLocations::Load()
{
    // One sort for the whole file rather than a sorted insertion per line, which would take
    // quadratic time on a long file.
    std::vector<std::pair<std::string, std::string>> keyed;
    for (auto& entry : base::LoadListFile(m_path))
        keyed.emplace_back(base::AsciiLower(entry), std::move(entry));
    std::stable_sort(
        keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_items.clear();
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed[i].first != keyed[i - 1].first)
            m_items.push_back(std::move(keyed[i].second));
    }
}

bool TOpenLocations::Save(std::string& error) const
{
    return SaveList(m_items, m_path, error);
}

bool TOpenLocations::Add(const std::string& text)
{
    if (text.empty() || FindIgnoringCase(m_items, text) != m_items.end())
        return false;
    const std::string key = base::AsciiLower(text);
    const auto place = std::upper_bound(m_items.begin(), m_items.end(), key,
        [](const std::string& value, const std::string& item) { return value < base::AsciiLower(item); });
    m_items.insert(place, text);
    return true;
}

void DeleteHistoryFiles()
{
    for (const auto& path :
        { TAppPaths::TypedLocationsFile(), TAppPaths::OpenLocationsFile(), TAppPaths::RecentFile() })
        std::remove(path.c_str());
}

} // namespace pivrel::app
