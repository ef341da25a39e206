#include "script/Lexer.h"

#include "script/Value.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace pivrel::script {

namespace {

    // Words with a meaning in the language, and those kept back for later use, are never names.
    constexpr std::array<std::string_view, 48> kKeywords = { "access", "agent", "break", "continue", "div",
        "domain", "else", "equiv", "extern", "for", "function", "header", "http", "if", "isvalid", "meta",
        "name", "path", "return", "typeof", "url", "use", "user", "var", "while", "true", "false", "invalid",
        "delete", "in", "new", "null", "this", "void", "with", "case", "catch", "class", "const", "debugger",
        "default", "do", "enum", "export", "finally", "import", "private", "public" };

    // Longest first, so that the scan takes the longest punctuator.
    constexpr std::array<std::string_view, 46> kPunct
        = { ">>>=", "div=", "<<=", ">>=", ">>>", "==", "!=", "<=", ">=", "&&", "||", "++", "--",
              "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<", ">>", "=", ">", "<", "!", "~", "?", ":",
              ".", "+", "-", "*", "/", "&", "|", "^", "%", "(", ")", "{", "}", ",", ";", "#" };

    bool IsIdentStart(char32_t c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }

    bool IsDigit(char32_t c)
    {
        return c >= '0' && c <= '9';
    }

    int HexValue(char32_t c)
    {
        if (IsDigit(c))
            return static_cast<int>(c - '0');
        if (c >= 'a' && c <= 'f')
            return static_cast<int>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F')
            return static_cast<int>(c - 'A' + 10);
        return -1;
    }

    class TLexer
    {
    public:
        explicit TLexer(std::string_view text)
            : m_text(FromUtf8(text))
        { }

        std::vector<TToken> Run()
        {
            std::vector<TToken> out;
            for (;;) {
                TToken t = Next();
                const bool stop = t.Kind == TTokenKind::End || t.Kind == TTokenKind::Error;
                out.push_back(std::move(t));
                if (stop)
                    return out;
            }
        }

    private:
        char32_t Peek(std::size_t ahead = 0) const
        {
            return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : 0;
        }

        TToken Make(TTokenKind kind, std::string text = {}) const
        {
            TToken t;
            t.Kind = kind;
            t.Text = std::move(text);
            t.Line = m_line;
            return t;
        }

        // Skips whitespace and comments; false for a comment left open.
        bool SkipSpace()
        {
            while (m_pos < m_text.size()) {
                const char32_t c = Peek();
                if (c == '\n')
                    ++m_line;
                if (IsScriptSpace(c)) {
                    ++m_pos;
                } else if (c == '/' && Peek(1) == '/') {
                    while (m_pos < m_text.size() && Peek() != '\n' && Peek() != '\r')
                        ++m_pos;
                } else if (c == '/' && Peek(1) == '*') {
                    m_pos += 2;
                    while (m_pos < m_text.size() && !(Peek() == '*' && Peek(1) == '/')) {
                        if (Peek() == '\n')
                            ++m_line;
                        ++m_pos;
                    }
                    if (m_pos >= m_text.size())
                        return false;
                    m_pos += 2;
                } else {
                    return true;
                }
            }
            return true;
        }

        TToken Next()
        {
            if (!SkipSpace())
                return Make(TTokenKind::Error, "comment not closed");
            if (m_pos >= m_text.size())
                return Make(TTokenKind::End);
            const char32_t c = Peek();
            if (IsIdentStart(c))
                return Word();
            if (IsDigit(c) || (c == '.' && IsDigit(Peek(1))))
                return Number();
            if (c == '"' || c == '\'')
                return StringLiteral(c);
            for (std::string_view p : kPunct) {
                bool match = m_pos + p.size() <= m_text.size();
                for (std::size_t i = 0; match && i < p.size(); ++i)
                    match = m_text[m_pos + i] == static_cast<char32_t>(p[i]);
                if (match) {
                    m_pos += p.size();
                    return Make(TTokenKind::Punct, std::string(p));
                }
            }
            return Make(TTokenKind::Error, "unexpected character");
        }

        TToken Word()
        {
            std::string word;
            while (IsIdentStart(Peek()) || IsDigit(Peek()))
                word.push_back(static_cast<char>(m_text[m_pos++]));
            if (word == "div" && Peek() == '=') {
                ++m_pos;
                return Make(TTokenKind::Punct, "div=");
            }
            if (word == "div")
                return Make(TTokenKind::Punct, word);
            const bool keyword = std::find(kKeywords.begin(), kKeywords.end(), word) != kKeywords.end();
            return Make(keyword ? TTokenKind::Keyword : TTokenKind::Identifier, word);
        }

        TToken Number()
        {
            const std::size_t start = m_pos;
            if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
                m_pos += 2;
                std::int64_t v = 0;
                if (HexValue(Peek()) < 0)
                    return Make(TTokenKind::Error, "hexadecimal literal without digits");
                while (HexValue(Peek()) >= 0) {
                    v = std::min<std::int64_t>(v * 16 + HexValue(m_text[m_pos++]), INT64_C(1) << 40);
                }
                return IntToken(v);
            }
            while (IsDigit(Peek()))
                ++m_pos;
            bool isFloat = false;
            if (Peek() == '.') {
                isFloat = true;
                ++m_pos;
                while (IsDigit(Peek()))
                    ++m_pos;
            }
            if ((Peek() == 'e' || Peek() == 'E')
                && (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
                isFloat = true;
                m_pos += 2;
                while (IsDigit(Peek()))
                    ++m_pos;
            }
            if (IsIdentStart(Peek()))
                return Make(TTokenKind::Error, "malformed number");
            const std::string text = ToUtf8(std::u32string_view(m_text).substr(start, m_pos - start));
            if (isFloat) {
                TToken t = Make(TTokenKind::Float);
                t.Float = std::strtod(text.c_str(), nullptr);
                return t;
            }
            std::int64_t v = 0;
            const bool octal = text.size() > 1 && text[0] == '0';
            for (char d : text) {
                if (octal && d > '7')
                    return Make(TTokenKind::Error, "malformed octal literal");
                v = std::min<std::int64_t>(v * (octal ? 8 : 10) + (d - '0'), INT64_C(1) << 40);
            }
            return IntToken(v);
        }

        TToken IntToken(std::int64_t v) const
        {
            TToken t = Make(TTokenKind::Integer);
            t.Int = v;
            return t;
        }

        // The escape after a backslash; false for a malformed one.
        bool Escape(std::u32string& out)
        {
            const char32_t c = Peek();
            ++m_pos;
            switch (c) {
            case '\'':
            case '"':
            case '\\':
            case '/':
                out.push_back(c);
                return true;
            case 'b':
                out.push_back('\b');
                return true;
            case 'f':
                out.push_back('\f');
                return true;
            case 'n':
                out.push_back('\n');
                return true;
            case 'r':
                out.push_back('\r');
                return true;
            case 't':
                out.push_back('\t');
                return true;
            case 'x':
            case 'u': {
                const int digits = c == 'x' ? 2 : 4;
                char32_t v = 0;
                for (int i = 0; i < digits; ++i) {
                    const int h = HexValue(Peek());
                    if (h < 0)
                        return false;
                    v = v * 16 + static_cast<char32_t>(h);
                    ++m_pos;
                }
                out.push_back(v);
                return true;
            }
            default:
                break;
            }
            if (c >= '0' && c <= '7') {
                char32_t v = c - '0';
                const int more = c <= '3' ? 2 : 1;
                for (int i = 0; i < more && Peek() >= '0' && Peek() <= '7'; ++i)
                    v = v * 8 + (m_text[m_pos++] - '0');
                out.push_back(v);
                return true;
            }
            return false;
        }

        TToken StringLiteral(char32_t quote)
        {
            ++m_pos;
            std::u32string value;
            for (;;) {
                if (m_pos >= m_text.size() || Peek() == '\n' || Peek() == '\r')
                    return Make(TTokenKind::Error, "string literal not closed");
                const char32_t c = m_text[m_pos++];
                if (c == quote)
                    break;
                if (c != '\\')
                    value.push_back(c);
                else if (m_pos >= m_text.size() || !Escape(value))
                    return Make(TTokenKind::Error, "malformed escape sequence in a string literal");
            }
            TToken t = Make(TTokenKind::String);
            t.Str = std::move(value);
            return t;
        }

        std::u32string m_text;
        std::size_t m_pos = 0;
        int m_line = 1;
    };

} // namespace

std::vector<TToken> Tokenize(std::string_view utf8Text)
{
    return TLexer(utf8Text).Run();
}

} // namespace pivrel::script
