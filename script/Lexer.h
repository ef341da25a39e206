#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::script {

enum class TTokenKind { Identifier, Keyword, Integer, Float, String, Punct, End, Error };

struct TToken {
    TTokenKind Kind = TTokenKind::End;
    std::string Text; // identifier, keyword or punctuator; the message for Error
    std::u32string Str; // a string literal's value
    std::int64_t Int = 0; // an integer literal, before the range check
    double Float = 0;
    int Line = 1;

    bool Is(std::string_view punctOrKeyword) const
    {
        return (Kind == TTokenKind::Punct || Kind == TTokenKind::Keyword) && Text == punctOrKeyword;
    }
};

// The whole text as tokens, ending with one End token, or with an Error token at the first fault.
std::vector<TToken> Tokenize(std::string_view utf8Text);

} // namespace pivrel::script
