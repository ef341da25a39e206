#pragma once

#include "base/StringList.h"

#include "app/AppPaths.h"

#include <cstddef>
#include <string>

namespace pivrel::app {

// The addresses of shown cards behind File > Reopen: newest first, at most ten, no two equal
// when letter case is ignored, kept in "Recent.lst".
class TRecentList
{
public:
    static constexpr std::size_t kMaxRecent = 10;

    explicit TRecentList(std::string path = TAppPaths::RecentFile());

    // Reads the file when it exists; duplicates and entries past the tenth are left out, since
    // the Reopen menu gives each entry a single-digit access key.
    void Load();
    bool Save(std::string& error) const;

    // Records the address without its fragment and query. True when the list changed (it has
    // then been saved, as far as the file could be written) and the Reopen menu needs rebuilding.
    bool AddRecentURL(const std::string& address);

    // Why the last save made by AddRecentURL failed; empty after one that worked.
    const std::string& SaveError() const { return m_saveError; }

    void Clear() { m_items.clear(); }

    const base::TStringList& Items() const { return m_items; }

    const std::string& Path() const { return m_path; }

    // The Reopen entry's caption: "&" + index + two blanks + the address, with any "&" of the
    // address doubled so that the menu shows it rather than taking it as an access key.
    static std::string ReopenCaption(std::size_t index, const std::string& address);
    // The address back from such a caption.
    static std::string AddressFromReopenCaption(const std::string& caption);
    // The caption of the one disabled entry of an empty menu.
    static constexpr const char* kNoneCaption = "None";

private:
    std::string m_path;
    base::TStringList m_items;
    std::string m_saveError;
};

// The location box's list of typed addresses: most recently entered first, no two equal when
// letter case is ignored, at most MaxHistory entries, kept in "ManLocations.lst".
class TTypedLocations
{
public:
    explicit TTypedLocations(std::string path = TAppPaths::TypedLocationsFile());

    // Reads the file when it exists (LoadTypedLocations); duplicates are left out, and at most
    // the largest MaxHistory of entries is kept.
    void Load();
    bool Save(std::string& error) const;

    // Moves a known entry to the top or inserts a new one there, trims the list to maxHistory
    // (clamped to 10..500) and saves it. An empty text is not recorded. False when the file
    // could not be written.
    bool AddTypedLocation(const std::string& text, int maxHistory);

    // Why the last save made by AddTypedLocation failed; empty after one that worked.
    const std::string& SaveError() const { return m_saveError; }

    void Clear() { m_items.clear(); }

    const base::TStringList& Items() const { return m_items; }

private:
    std::string m_path;
    base::TStringList m_items;
    std::string m_saveError;
};

// The open-location dialog's list, sorted ignoring letter case, without duplicates, kept in
// "Locations.lst".
class TOpenLocations
{
public:
    explicit TOpenLocations(std::string path = TAppPaths::OpenLocationsFile());

    void Load();
    bool Save(std::string& error) const;
    // Adds the text at its sorted place unless the list holds it already; true when added.
    bool Add(const std::string& text);

    const base::TStringList& Items() const { return m_items; }

private:
    std::string m_path;
    base::TStringList m_items;
};

// Clear History: deletes "ManLocations.lst", "Locations.lst" and "Recent.lst" where they exist.
void DeleteHistoryFiles();

} // namespace pivrel::app
