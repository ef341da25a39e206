#pragma once

#include "wml/WMLDeck.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::engine {
class TWMLBrowser;
} // namespace pivrel::engine

namespace pivrel::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 2;
inline constexpr int kExitUsage = 64;

// Runs pivrel-cli with its arguments (the program name left out), writing results to out and
// complaints to err; returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// For the program itself, which ends right after its output is written: the elements command then
// leaves its deck standing instead of taking tens of thousands of records apart one by one. Off by
// default, so that tests see every deck freed.
void SetKeepDecksAtExit(bool keep);

// The usage text that --help prints and that accompanies every usage error.
std::string_view UsageText();

// Reads a deck file into the deck the way the browser does with a local file: converted to UTF-8,
// split into lines and parsed, every card built. Returns false with the reason when the file cannot be read;
// accepted is Parse's answer.
bool LoadDeckFile(const std::string& path, wml::TWMLDeck& deck, bool& accepted, std::string& error);

// The JSON Lines of the elements command: the deck line, then per card of the browser's deck (only
// those whose ID is cardId, when given) the card line followed by one line per element. A card not
// built yet is built for its lines and let go after them, so that no more than one card's records
// are held at a time.
void WriteDeckLines(
    std::ostream& out, engine::TWMLBrowser& browser, bool accepted, const std::optional<std::string>& cardId);

// One element's line, without its line end.
void AppendElementJson(std::string& out, const wml::TWMLObject& element, std::string_view key);

// The resolve command's line: the engine's resolution of target against base.
std::string ResolveJson(std::string_view base, std::string_view target, bool fresh);

} // namespace pivrel::tools
