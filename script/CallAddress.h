#pragma once

#include "script/Bytecode.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::script {

// An address that names a function of a unit: "calc.wmls#add(1, 'two', $(x))".
struct TCallAddress {
    std::string Unit; // the address before '#'
    std::string Function;
    std::string Arguments; // the text between the parentheses
};

// The parts of a call address, or nothing when the fragment is not "name(...)" (a card name
// never holds parentheses, so a deck address is never taken for a call).
std::optional<TCallAddress> ParseCallAddress(std::string_view address);

// The arguments of a call: quoted strings (with \-escapes), true, false, invalid and numbers
// as those values; any other text, such as a variable's value put in unquoted, as a string.
// Empty when the list is malformed (a quote left open).
std::optional<std::vector<TValue>> ParseCallArguments(std::string_view text);

enum class TUnitKind { Text, Bytecode, Unknown };

// What a resource holds, by its content type, or by the file name's extension when the type
// says nothing.
TUnitKind UnitKindOf(std::string_view contentType, std::string_view address);

// The unit a fetched resource holds: text compiled, bytecode verified. Error is the reason
// otherwise.
TLoadResult UnitFromResource(std::string_view bytes, std::string_view contentType, std::string_view address);

} // namespace pivrel::script
