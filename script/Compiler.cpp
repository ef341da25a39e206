#include "script/Compiler.h"

#include "script/JumpLayout.h"
#include "script/Lexer.h"
#include "script/LibraryTable.h"

#include <cmath>
#include <limits>
#include <map>

namespace pivrel::script {

namespace {

    struct TCompileError {
        int Line;
        std::string Message;
    };

    struct TFunctionInfo {
        int Index = 0;
        int Arguments = 0;
    };

    struct TLoop {
        std::vector<std::size_t> Breaks;
        std::vector<std::size_t> Continues; // forward jumps, patched at ContinueTarget
        std::int64_t BackwardTarget = -1; // where a continue jumps back to, when known
    };

    constexpr std::size_t kMaxVariables = 255;
    constexpr std::size_t kMaxFunctions = 255;

    class TCompiler
    {
    public:
        explicit TCompiler(std::vector<TToken> tokens)
            : m_tokens(std::move(tokens))
        { }

        TUnit Run()
        {
            if (m_tokens.back().Kind == TTokenKind::Error)
                throw TCompileError { m_tokens.back().Line, m_tokens.back().Text };
            CollectFunctions();
            while (Peek().Is("use"))
                Pragma();
            while (Peek().Kind != TTokenKind::End)
                FunctionDeclaration();
            if (m_unit.Functions.empty())
                Fail("the unit declares no function");
            return std::move(m_unit);
        }

    private:
        // --- tokens

        const TToken& Peek(std::size_t ahead = 0) const
        {
            const std::size_t i = std::min(m_pos + ahead, m_tokens.size() - 1);
            return m_tokens[i];
        }

        const TToken& Take()
        {
            const TToken& t = Peek();
            if (m_pos < m_tokens.size() - 1)
                ++m_pos;
            return t;
        }

        [[noreturn]] void Fail(const std::string& message) const
        {
            throw TCompileError { Peek().Line, message };
        }

        bool Accept(std::string_view punct)
        {
            if (!Peek().Is(punct))
                return false;
            Take();
            return true;
        }

        void Expect(std::string_view punct)
        {
            if (!Accept(punct))
                Fail("expected '" + std::string(punct) + "'" + Found());
        }

        std::string Found() const
        {
            const TToken& t = Peek();
            if (t.Kind == TTokenKind::End)
                return " at the end of the text";
            if (t.Kind == TTokenKind::Identifier || t.Kind == TTokenKind::Keyword
                || t.Kind == TTokenKind::Punct)
                return " before '" + t.Text + "'";
            return "";
        }

        std::string Identifier(const char* what)
        {
            if (Peek().Kind == TTokenKind::Keyword)
                Fail(std::string("expected ") + what + ", but '" + Peek().Text + "' is a reserved word");
            if (Peek().Kind != TTokenKind::Identifier)
                Fail(std::string("expected ") + what + Found());
            return Take().Text;
        }

        std::u32string StringLiteral()
        {
            if (Peek().Kind != TTokenKind::String)
                Fail("expected a string literal" + Found());
            return Take().Str;
        }

        // Every function's index and argument count, so that calls may come before the callee.
        void CollectFunctions()
        {
            int depth = 0;
            for (std::size_t i = 0; i + 2 < m_tokens.size(); ++i) {
                const TToken& t = m_tokens[i];
                depth += t.Is("{") ? 1 : t.Is("}") ? -1 : 0;
                if (depth != 0 || !t.Is("function") || m_tokens[i + 1].Kind != TTokenKind::Identifier)
                    continue;
                TFunctionInfo info { static_cast<int>(m_functions.size()), 0 };
                std::size_t j = i + 3;
                if (j < m_tokens.size() && m_tokens[i + 2].Is("(") && !m_tokens[j].Is(")")) {
                    for (info.Arguments = 1;
                         j < m_tokens.size() && !m_tokens[j].Is(")") && !m_tokens[j].Is("{"); ++j)
                        info.Arguments += m_tokens[j].Is(",") ? 1 : 0;
                }
                if (!m_functions.emplace(m_tokens[i + 1].Text, info).second)
                    throw TCompileError { t.Line, "function '" + m_tokens[i + 1].Text + "' declared twice" };
            }
            if (m_functions.size() > kMaxFunctions)
                throw TCompileError { 1, "more than 255 functions in one unit" };
        }

        // --- pragmas

        void Pragma()
        {
            Take();
            if (Accept("url")) {
                const std::string name = Identifier("a name for the unit");
                const std::uint16_t index = Constant(TValue::String(StringLiteral()));
                if (!m_urls.emplace(name, index).second)
                    Fail("'use url " + name + "' given twice");
            } else if (Accept("access")) {
                AccessPragma();
            } else if (Accept("meta")) {
                MetaPragma();
            } else {
                Fail("expected 'url', 'access' or 'meta' after 'use'");
            }
            Expect(";");
        }

        void AccessPragma()
        {
            if (m_sawAccess)
                Fail("a unit has one access pragma");
            m_sawAccess = true;
            bool any = false;
            if (Accept("domain")) {
                m_unit.Pragmas.push_back(
                    { TPragmaType::AccessDomain, { Constant(TValue::String(StringLiteral())) } });
                any = true;
            }
            if (Accept("path")) {
                m_unit.Pragmas.push_back(
                    { TPragmaType::AccessPath, { Constant(TValue::String(StringLiteral())) } });
                any = true;
            }
            if (!any)
                Fail("expected 'domain' or 'path' after 'use access'");
        }

        void MetaPragma()
        {
            // Only the user agent properties are meant for the browser; name and http equiv
            // properties are the server's business and stay out of the bytecode.
            bool forAgent = false;
            if (Accept("user")) {
                Expect("agent");
                forAgent = true;
            } else if (Accept("http")) {
                Expect("equiv");
            } else if (!Accept("name")) {
                Fail("expected 'name', 'http equiv' or 'user agent' after 'use meta'");
            }
            const std::u32string property = StringLiteral();
            const std::u32string content = StringLiteral();
            std::u32string scheme;
            const bool hasScheme = Peek().Kind == TTokenKind::String;
            if (hasScheme)
                scheme = StringLiteral();
            if (!forAgent)
                return;
            TPragma p { hasScheme ? TPragmaType::UserAgentScheme : TPragmaType::UserAgent,
                { Constant(TValue::String(property)), Constant(TValue::String(content)) } };
            if (hasScheme)
                p.Indices.push_back(Constant(TValue::String(scheme)));
            m_unit.Pragmas.push_back(std::move(p));
        }

        // --- functions and statements

        void FunctionDeclaration()
        {
            const bool isExtern = Accept("extern");
            if (!Accept("function"))
                Fail("expected a function declaration" + Found());
            const std::string name = Identifier("a function name");
            if (name.size() > 255)
                Fail("function name too long");
            m_vars.clear();
            m_code.clear();
            Expect("(");
            if (!Peek().Is(")")) {
                do
                    DeclareVariable(Identifier("a parameter name"));
                while (Accept(","));
            }
            Expect(")");
            const std::size_t arguments = m_vars.size();
            Block();
            Accept(";");
            m_code.push_back(static_cast<char>(kReturnEs));
            m_code = ShortenJumps(m_code);
            if (isExtern)
                m_unit.Names.push_back({ static_cast<std::uint8_t>(m_unit.Functions.size()), name });
            m_unit.Functions.push_back({ static_cast<std::uint8_t>(arguments),
                static_cast<std::uint8_t>(m_vars.size() - arguments), std::move(m_code) });
        }

        int DeclareVariable(const std::string& name)
        {
            for (const std::string& v : m_vars)
                if (v == name)
                    Fail("variable '" + name + "' declared twice");
            if (m_vars.size() >= kMaxVariables)
                Fail("more than 255 variables in one function");
            m_vars.push_back(name);
            return static_cast<int>(m_vars.size() - 1);
        }

        int Variable(const std::string& name) const
        {
            for (std::size_t i = 0; i < m_vars.size(); ++i)
                if (m_vars[i] == name)
                    return static_cast<int>(i);
            Fail("variable '" + name + "' used before its declaration");
        }

        void Block()
        {
            Expect("{");
            while (!Accept("}")) {
                if (Peek().Kind == TTokenKind::End)
                    Fail("expected '}' at the end of the text");
                Statement();
            }
        }

        void Statement()
        {
            if (Peek().Is("{"))
                Block();
            else if (Accept(";"))
                return;
            else if (Accept("var"))
                VariableStatement();
            else if (Accept("if"))
                IfStatement();
            else if (Accept("while"))
                WhileStatement();
            else if (Accept("for"))
                ForStatement();
            else if (Accept("break"))
                LoopJump(true);
            else if (Accept("continue"))
                LoopJump(false);
            else if (Accept("return"))
                ReturnStatement();
            else {
                Expression(false);
                Expect(";");
            }
        }

        void VariableDeclarations()
        {
            do {
                const int index = DeclareVariable(Identifier("a variable name"));
                if (Accept("="))
                    AssignmentExpression(true);
                else
                    EmitOp(kConstEs);
                EmitStoreVar(index);
            } while (Accept(","));
        }

        void VariableStatement()
        {
            VariableDeclarations();
            Expect(";");
        }

        void IfStatement()
        {
            Expect("(");
            Expression(true);
            Expect(")");
            const std::size_t toElse = EmitForward(kTJumpFwW);
            Statement();
            if (Accept("else")) {
                const std::size_t toEnd = EmitForward(kJumpFwW);
                Patch(toElse);
                Statement();
                Patch(toEnd);
            } else {
                Patch(toElse);
            }
        }

        void WhileStatement()
        {
            const std::size_t start = m_code.size();
            Expect("(");
            Expression(true);
            Expect(")");
            const std::size_t toEnd = EmitForward(kTJumpFwW);
            m_loops.push_back({ {}, {}, static_cast<std::int64_t>(start) });
            Statement();
            EmitBackward(start);
            Patch(toEnd);
            EndLoop();
        }

        void ForStatement()
        {
            Expect("(");
            if (Accept("var"))
                VariableDeclarations();
            else if (!Peek().Is(";"))
                Expression(false);
            Expect(";");
            const std::size_t start = m_code.size();
            std::size_t toEnd = SIZE_MAX;
            if (!Peek().Is(";")) {
                Expression(true);
                toEnd = EmitForward(kTJumpFwW);
            }
            Expect(";");
            // The step comes after the body in the code but before it in the text: compile it where
            // it stands and move its bytes after the body.
            const std::size_t stepStart = m_code.size();
            if (!Peek().Is(")"))
                Expression(false);
            Expect(")");
            const std::string step = m_code.substr(stepStart);
            m_code.resize(stepStart);
            m_loops.push_back({});
            Statement();
            for (std::size_t at : m_loops.back().Continues)
                Patch(at);
            m_loops.back().Continues.clear();
            m_code += step;
            EmitBackward(start);
            if (toEnd != SIZE_MAX)
                Patch(toEnd);
            EndLoop();
        }

        void EndLoop()
        {
            for (std::size_t at : m_loops.back().Breaks)
                Patch(at);
            m_loops.pop_back();
        }

        void LoopJump(bool isBreak)
        {
            if (m_loops.empty())
                Fail(std::string(isBreak ? "'break'" : "'continue'") + " outside a loop");
            TLoop& loop = m_loops.back();
            if (isBreak)
                loop.Breaks.push_back(EmitForward(kJumpFwW));
            else if (loop.BackwardTarget >= 0)
                EmitBackward(static_cast<std::size_t>(loop.BackwardTarget));
            else
                loop.Continues.push_back(EmitForward(kJumpFwW));
            Expect(";");
        }

        void ReturnStatement()
        {
            if (Accept(";")) {
                EmitOp(kReturnEs);
                return;
            }
            Expression(true);
            EmitOp(kReturn);
            Expect(";");
        }

        // --- expressions

        void Expression(bool want)
        {
            AssignmentExpression(want && !Peek(0).Is(","));
            while (Accept(",")) {
                const bool last = !LooksLikeMoreCommas();
                AssignmentExpression(want && last);
            }
        }

        bool LooksLikeMoreCommas() const
        {
            int depth = 0;
            for (std::size_t i = m_pos; i < m_tokens.size(); ++i) {
                const TToken& t = m_tokens[i];
                if (t.Is("(") || t.Is("{"))
                    ++depth;
                else if (t.Is(")") || t.Is("}") || t.Is(";") || t.Kind == TTokenKind::End) {
                    if (depth == 0 || t.Is(";") || t.Kind == TTokenKind::End)
                        return false;
                    --depth;
                } else if (depth == 0 && (t.Is(",") || t.Is(":")))
                    return t.Is(",");
            }
            return false;
        }

        static bool IsAssignOp(const TToken& t)
        {
            static constexpr std::string_view ops[]
                = { "=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", ">>>=", "div=" };
            if (t.Kind != TTokenKind::Punct)
                return false;
            for (std::string_view op : ops)
                if (t.Text == op)
                    return true;
            return false;
        }

        static std::uint8_t CompoundOp(const std::string& op)
        {
            static const std::map<std::string, std::uint8_t> ops = { { "*=", kMul }, { "/=", kDiv },
                { "%=", kRem }, { "&=", kBAnd }, { "|=", kBOr }, { "^=", kBXor }, { "<<=", kBLShift },
                { ">>=", kBRSShift }, { ">>>=", kBRSZShift }, { "div=", kIDiv } };
            return ops.at(op);
        }

        void AssignmentExpression(bool want)
        {
            if (Peek().Kind == TTokenKind::Identifier && IsAssignOp(Peek(1))) {
                const int var = Variable(Take().Text);
                const std::string op = Take().Text;
                if (op == "=") {
                    AssignmentExpression(true);
                    EmitStoreVar(var);
                } else if (op == "+=" || op == "-=") {
                    AssignmentExpression(true);
                    EmitOp(op == "+=" ? kAddAsg : kSubAsg);
                    EmitByte(var);
                } else {
                    EmitLoadVar(var);
                    AssignmentExpression(true);
                    EmitOp(CompoundOp(op));
                    EmitStoreVar(var);
                }
                if (want)
                    EmitLoadVar(var);
                return;
            }
            if (!want && IsIncrementStatement())
                return;
            ConditionalExpression();
            if (!want)
                EmitOp(kPop);
        }

        // "x++", "x--", "++x" and "--x" standing alone need no value.
        bool IsIncrementStatement()
        {
            const TToken& a = Peek();
            const TToken& b = Peek(1);
            const TToken& c = Peek(2);
            const bool endsHere = c.Is(";") || c.Is(",") || c.Is(")");
            std::string name;
            std::string op;
            if (a.Kind == TTokenKind::Identifier && (b.Is("++") || b.Is("--")) && endsHere) {
                name = a.Text;
                op = b.Text;
            } else if ((a.Is("++") || a.Is("--")) && b.Kind == TTokenKind::Identifier && endsHere) {
                name = b.Text;
                op = a.Text;
            } else {
                return false;
            }
            EmitStep(Variable(name), op == "++");
            Take();
            Take();
            return true;
        }

        void EmitStep(int var, bool up)
        {
            if (up) {
                EmitIncrVar(var);
            } else {
                EmitOp(kDecrVar);
                EmitByte(var);
            }
        }

        void ConditionalExpression()
        {
            Binary(0);
            if (!Accept("?"))
                return;
            const std::size_t toElse = EmitForward(kTJumpFwW);
            AssignmentExpression(true);
            Expect(":");
            const std::size_t toEnd = EmitForward(kJumpFwW);
            Patch(toElse);
            AssignmentExpression(true);
            Patch(toEnd);
        }

        struct TBinaryOp {
            std::string_view Text;
            int Level;
            std::uint8_t Op;
        };

        static const TBinaryOp* FindBinary(const TToken& t, int level)
        {
            static constexpr TBinaryOp ops[] = { { "||", 0, kScOr }, { "&&", 1, kScAnd }, { "|", 2, kBOr },
                { "^", 3, kBXor }, { "&", 4, kBAnd }, { "==", 5, kEq }, { "!=", 5, kNe }, { "<", 6, kLt },
                { ">", 6, kGt }, { "<=", 6, kLe }, { ">=", 6, kGe }, { "<<", 7, kBLShift },
                { ">>", 7, kBRSShift }, { ">>>", 7, kBRSZShift }, { "+", 8, kAdd }, { "-", 8, kSub },
                { "*", 9, kMul }, { "/", 9, kDiv }, { "div", 9, kIDiv }, { "%", 9, kRem } };
            if (t.Kind != TTokenKind::Punct)
                return nullptr;
            for (const TBinaryOp& op : ops)
                if (op.Level == level && op.Text == t.Text)
                    return &op;
            return nullptr;
        }

        void Binary(int level)
        {
            if (level > 9) {
                Unary();
                return;
            }
            Binary(level + 1);
            while (const TBinaryOp* op = FindBinary(Peek(), level)) {
                Take();
                if (op->Op == kScAnd || op->Op == kScOr) {
                    EmitOp(op->Op);
                    const std::size_t toEnd = EmitForward(kTJumpFwW);
                    Binary(level + 1);
                    EmitOp(kToBool);
                    Patch(toEnd);
                } else {
                    Binary(level + 1);
                    EmitOp(op->Op);
                }
            }
        }

        void Unary()
        {
            if (Accept("typeof")) {
                Unary();
                EmitOp(kTypeOf);
            } else if (Accept("isvalid")) {
                Unary();
                EmitOp(kIsValid);
            } else if (Peek().Is("++") || Peek().Is("--")) {
                const bool up = Take().Text == "++";
                const int var = Variable(Identifier("a variable after '++' or '--'"));
                EmitStep(var, up);
                EmitLoadVar(var);
            } else if (Accept("-")) {
                if (Peek().Kind == TTokenKind::Integer && Peek().Int == INT64_C(2147483648)) {
                    Take();
                    EmitConstant(TValue::Integer(std::numeric_limits<std::int32_t>::min()));
                    return;
                }
                Unary();
                EmitOp(kUMinus);
            } else if (Accept("+")) {
                // Unary plus leaves numbers alone and reads anything else as a number: 0 + x does
                // that without concatenating, as - (- x) would.
                Unary();
                EmitOp(kUMinus);
                EmitOp(kUMinus);
            } else if (Accept("~")) {
                Unary();
                EmitOp(kBNot);
            } else if (Accept("!")) {
                Unary();
                EmitOp(kNot);
            } else {
                Postfix();
            }
        }

        void Postfix()
        {
            if (Peek().Kind == TTokenKind::Identifier && (Peek(1).Is("++") || Peek(1).Is("--"))) {
                const int var = Variable(Take().Text);
                const bool up = Take().Text == "++";
                EmitLoadVar(var);
                EmitStep(var, up);
                return;
            }
            Primary();
        }

        int Arguments()
        {
            Expect("(");
            int count = 0;
            if (!Peek().Is(")")) {
                do {
                    AssignmentExpression(true);
                    ++count;
                } while (Accept(","));
            }
            Expect(")");
            return count;
        }

        void Primary()
        {
            const TToken& t = Peek();
            switch (t.Kind) {
            case TTokenKind::Integer:
                if (t.Int > std::numeric_limits<std::int32_t>::max())
                    Fail("integer literal too large");
                EmitConstant(TValue::Integer(static_cast<std::int32_t>(Take().Int)));
                return;
            case TTokenKind::Float: {
                const TValue v = CheckedFloat(t.Float);
                if (v.IsInvalid())
                    Fail("floating-point literal too large");
                Take();
                EmitConstant(v);
                return;
            }
            case TTokenKind::String:
                EmitConstant(TValue::String(Take().Str));
                return;
            case TTokenKind::Identifier:
                IdentifierExpression();
                return;
            default:
                break;
            }
            if (Accept("true"))
                EmitOp(kConstTrue);
            else if (Accept("false"))
                EmitOp(kConstFalse);
            else if (Accept("invalid"))
                EmitOp(kConstInvalid);
            else if (Accept("(")) {
                Expression(true);
                Expect(")");
            } else {
                Fail("expected an expression" + Found());
            }
        }

        void IdentifierExpression()
        {
            const std::string name = Take().Text;
            if (Peek().Is("("))
                LocalCall(name);
            else if (Accept("."))
                LibraryCall(name, Identifier("a library function name"));
            else if (Accept("#"))
                ExternalCall(name, Identifier("a function name"));
            else
                EmitLoadVar(Variable(name));
        }

        void LocalCall(const std::string& name)
        {
            const auto it = m_functions.find(name);
            if (it == m_functions.end())
                Fail("no function '" + name + "' in this unit");
            const int count = Arguments();
            if (count != it->second.Arguments)
                Fail("function '" + name + "' takes " + std::to_string(it->second.Arguments) + " arguments");
            if (it->second.Index < 8) {
                EmitOp(static_cast<std::uint8_t>(kCallS | it->second.Index));
            } else {
                EmitOp(kCall);
                EmitByte(it->second.Index);
            }
        }

        void LibraryCall(const std::string& library, const std::string& name)
        {
            const TLibraryFunction* f = FindLibraryFunction(library, name);
            if (!f)
                Fail("no library function '" + library + "." + name + "'");
            if (Arguments() != f->Arguments)
                Fail("'" + library + "." + name + "' takes " + std::to_string(f->Arguments) + " arguments");
            if (f->FunctionIndex < 8) {
                EmitOp(static_cast<std::uint8_t>(kCallLibS | f->FunctionIndex));
                EmitByte(f->LibraryIndex);
            } else {
                EmitOp(kCallLib);
                EmitByte(f->FunctionIndex);
                EmitByte(f->LibraryIndex);
            }
        }

        void ExternalCall(const std::string& unitName, const std::string& function)
        {
            const auto it = m_urls.find(unitName);
            if (it == m_urls.end())
                Fail("no 'use url' pragma names '" + unitName + "'");
            const std::uint16_t nameIndex
                = Constant(TValue::String(std::u32string(function.begin(), function.end())));
            const int count = Arguments();
            if (it->second < 256 && nameIndex < 256) {
                EmitOp(kCallUrl);
                EmitByte(it->second);
                EmitByte(nameIndex);
            } else {
                EmitOp(kCallUrlW);
                EmitWord(it->second);
                EmitWord(nameIndex);
            }
            EmitByte(count);
        }

        // --- emitting

        void EmitOp(std::uint8_t op) { m_code.push_back(static_cast<char>(op)); }

        void EmitByte(int v) { m_code.push_back(static_cast<char>(v & 0xFF)); }

        void EmitWord(int v)
        {
            EmitByte(v >> 8);
            EmitByte(v);
        }

        void EmitLoadVar(int var)
        {
            if (var < 32) {
                EmitOp(static_cast<std::uint8_t>(kLoadVarS | var));
            } else {
                EmitOp(kLoadVar);
                EmitByte(var);
            }
        }

        void EmitStoreVar(int var)
        {
            if (var < 16) {
                EmitOp(static_cast<std::uint8_t>(kStoreVarS | var));
            } else {
                EmitOp(kStoreVar);
                EmitByte(var);
            }
        }

        void EmitIncrVar(int var)
        {
            if (var < 8) {
                EmitOp(static_cast<std::uint8_t>(kIncrVarS | var));
            } else {
                EmitOp(kIncrVar);
                EmitByte(var);
            }
        }

        static bool SameConstant(const TValue& a, const TValue& b)
        {
            if (a.Type != b.Type)
                return false;
            if (a.Type == TType::Float)
                return a.Float == b.Float && std::signbit(a.Float) == std::signbit(b.Float);
            return a.Type == TType::Integer ? a.Int == b.Int : a.Str == b.Str;
        }

        std::uint16_t Constant(const TValue& v)
        {
            for (std::size_t i = 0; i < m_unit.Constants.size(); ++i)
                if (SameConstant(m_unit.Constants[i], v))
                    return static_cast<std::uint16_t>(i);
            if (m_unit.Constants.size() > 0xFFFF)
                Fail("more than 65536 constants in one unit");
            m_unit.Constants.push_back(v);
            return static_cast<std::uint16_t>(m_unit.Constants.size() - 1);
        }

        void EmitConstant(const TValue& v)
        {
            if (v.Type == TType::Integer && v.Int >= -1 && v.Int <= 1) {
                EmitOp(v.Int == 0 ? kConst0 : v.Int == 1 ? kConst1 : kConstM1);
                return;
            }
            if (v.Type == TType::String && v.Str.empty()) {
                EmitOp(kConstEs);
                return;
            }
            const std::uint16_t index = Constant(v);
            if (index < 16) {
                EmitOp(static_cast<std::uint8_t>(kLoadConstS | index));
            } else if (index < 256) {
                EmitOp(kLoadConst);
                EmitByte(index);
            } else {
                EmitOp(kLoadConstW);
                EmitWord(index);
            }
        }

        std::size_t EmitForward(std::uint8_t op)
        {
            const std::size_t at = m_code.size();
            EmitOp(op);
            EmitWord(0);
            return at;
        }

        void Patch(std::size_t at)
        {
            const std::size_t offset = m_code.size() - (at + 3);
            if (offset > 0xFFFF)
                Fail("function too large for its jumps");
            m_code[at + 1] = static_cast<char>(offset >> 8);
            m_code[at + 2] = static_cast<char>(offset & 0xFF);
        }

        // Backward offsets count from the jump instruction itself.
        void EmitBackward(std::size_t target)
        {
            const std::size_t offset = m_code.size() - target;
            if (offset < 32) {
                EmitOp(static_cast<std::uint8_t>(kJumpBwS | offset));
            } else if (offset < 256) {
                EmitOp(kJumpBw);
                EmitByte(static_cast<int>(offset));
            } else if (offset <= 0xFFFF) {
                EmitOp(kJumpBwW);
                EmitWord(static_cast<int>(offset));
            } else {
                Fail("function too large for its jumps");
            }
        }

        std::vector<TToken> m_tokens;
        std::size_t m_pos = 0;
        TUnit m_unit;
        std::map<std::string, TFunctionInfo> m_functions;
        std::map<std::string, std::uint16_t> m_urls;
        bool m_sawAccess = false;
        std::vector<std::string> m_vars;
        std::string m_code;
        std::vector<TLoop> m_loops;
    };

} // namespace

TCompileResult Compile(std::string_view text)
{
    TCompileResult r;
    try {
        r.Unit = TCompiler(Tokenize(text)).Run();
        r.Ok = true;
    } catch (const TCompileError& e) {
        r.Line = e.Line;
        r.Error = "line " + std::to_string(e.Line) + ": " + e.Message;
    }
    return r;
}

} // namespace pivrel::script
