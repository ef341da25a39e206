#pragma once

#include "base/StringList.h"

#include "app/AppPaths.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pivrel::app {

// The bookmark file "bookmarks.dat": section NAME holds the names and section URL the addresses,
// both under the keys "1", "2", ... Bookmark n is NAME n with URL n; the list runs up to the first
// number without a name. The names are held here in file order (index i is bookmark i + 1); the
// addresses are read from the file whenever they are needed.
class TBookmarks
{
public:
    static constexpr const char* kDeleteMark = "<-DELETE->";
    static constexpr const char* kUnknownName = "Unknown Name";
    static constexpr const char* kUnknownUrl = "Unknown Url";
    static constexpr const char* kDefaultUrl = "http://";

    explicit TBookmarks(std::string path = TAppPaths::BookmarkFile());

    // LoadBookmarkList: the names of the run from 1 up to the first missing or empty name.
    void LoadBookmarkList();

    const base::TStringList& Names() const { return m_names; }

    const std::string& Path() const { return m_path; }

    // Appends the bookmark to the list and writes NAME n and URL n (n the new count). Empty
    // names and addresses are stored as "Unknown Name" and "Unknown Url". False when the file
    // could not be written.
    bool AddBookmark(std::string name, std::string url);

    // Gives the bookmark at that list index a new name and address, stored as AddBookmark stores
    // them. False when there is no such bookmark or the file could not be written.
    bool UpdateBookmark(std::size_t index, std::string name, std::string url);

    // The stored address of the bookmark at that list index, "http://" when there is none.
    std::string UrlAt(std::size_t index) const;

    // Marks the bookmark at that list index deleted in both sections.
    bool MarkDeleted(std::size_t index);

    struct TCompactResult {
        bool Success = false;
        // The error texts to show, in order.
        std::vector<std::string> Errors;
    };

    // Rewrites both sections without the marked entries, numbered from 1 without gaps, and
    // loads the list again. Entries with an empty name or address are dropped, each with
    // "Empty link ecountered".
    TCompactResult CompactBookmarks();

    // The index of the first name that begins with text, letter case ignored.
    std::optional<std::size_t> Find(const std::string& text) const;

private:
    std::string m_path;
    base::TStringList m_names;
};

} // namespace pivrel::app
