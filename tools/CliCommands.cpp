#include "tools/CliCommands.h"

#include "base/FileRead.h"
#include "engine/WMLBrowser.h"
#include "wml/Charset.h"

#include <array>
#include <iostream>
#include <memory>
#include <ostream>

#include "tools/CliArgs.h"
#include "tools/Json.h"
#include "tools/NetCommands.h"
#include "tools/ScriptCommands.h"

namespace pivrel::tools {

namespace {

    using namespace pivrel::wml;

    bool g_keepDecksAtExit = false;

    // Output is gathered and handed to the stream in blocks of about this size.
    constexpr std::size_t kFlushThreshold = std::size_t(1) << 16;

    constexpr std::string_view kUsage
        = "usage: pivrel-cli elements URL_OR_FILE [--card ID] [NETWORK OPTIONS]\n"
          "       pivrel-cli fetch URL [-o FILE] [NETWORK OPTIONS]\n"
          "       pivrel-cli resolve BASE TARGET [--fresh]\n"
          "       pivrel-cli vars FILE [--set NAME=VALUE]... [--url TARGET] [--post]"
          " [--text TEXT]\n"
          "       pivrel-cli wbmp FILE [-o OUT.pbm]\n"
          "       pivrel-cli wmls compile FILE.wmls [-o FILE.wmlsc]\n"
          "       pivrel-cli wmls run ADDRESS#FUNCTION(ARGS) [--set NAME=VALUE]... [--answer TEXT]...\n"
          "                 [--max-instructions N]\n"
          "       pivrel-cli --help\n"
          "\n"
          "  elements  load a deck and its pictures as the browser does and print its cards and\n"
          "            element records as JSON Lines; a #card in the address acts as --card\n"
          "  fetch     one GET request: the response header lines to standard error, the body\n"
          "            to standard output or FILE\n"
          "  resolve   resolve TARGET against BASE as the browser does and print the parts\n"
          "  vars      parse a deck, assign variables, and print the substituted address,\n"
          "            POST body and text\n"
          "  wbmp      decode a WBMP picture and write it as a portable bitmap (P4)\n"
          "  wmls      compile a script to bytecode (errors as FILE:LINE: reason, exit 1), or run\n"
          "            one of its functions and print the result, the variables set and the\n"
          "            navigation asked for; dialogs take the --answer texts in order, or else\n"
          "            lines of standard input\n"
          "\n"
          "NETWORK OPTIONS: --proxy HOST[:PORT] [--proxy-user U] [--proxy-password P]\n"
          "  --cookie-jar FILE  send the cookies kept in FILE and keep this run's there; without\n"
          "               it, cookies last for the one run\n"
          "  --trace      print the status texts and the \"* \" trace lines as they happen\n"
          "  --timeout S  stop a request still running after S seconds, as a failure\n"
          "  --cacert FILE  trust the certificates in FILE (PEM) for https besides the system's\n"
          "Temporary files go to $PIVREL_HOME/Cache, or else $XDG_CACHE_HOME/pivrel or\n"
          "~/.cache/pivrel.\n";

    // As large a deck as the browser loads; an endless source (a device, a pipe) stops there.
    constexpr std::size_t kMaxDeckFileBytes = 32 * 1024 * 1024;

    // Any file but a directory is read, a pipe included, so that a deck can come from another
    // command; the reason for a failure is the system's own text.
    bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
    {
        const base::TFileReadResult result = base::ReadLocalFile(
            path, bytes, { .Limit = kMaxDeckFileBytes, .Kinds = base::TFileKinds::AnyButDirectory });
        if (!result)
            error = result.Reason();
        return bool(result);
    }

    void AppendStringArray(std::string& out, const TStringList& list)
    {
        out += '[';
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i != 0)
                out += ',';
            AppendJsonString(out, list[i]);
        }
        out += ']';
    }

    void AppendPostFields(std::string& out, const wml::TWMLPostFields& fields)
    {
        out += '[';
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i != 0)
                out += ',';
            TJsonObject field(out);
            field.String("Name", fields[i].Name).String("Value", fields[i].Value);
            field.Close();
        }
        out += ']';
    }

    const char* TaskKindName(wml::TWMLTaskKind kind)
    {
        switch (kind) {
        case wml::TWMLTaskKind::Go:
            return "go";
        case wml::TWMLTaskKind::Prev:
            return "prev";
        case wml::TWMLTaskKind::Refresh:
            return "refresh";
        case wml::TWMLTaskKind::Noop:
            return "noop";
        case wml::TWMLTaskKind::None:
            break;
        }
        return "";
    }

    // A card's event binding; null when the card binds no task to the event.
    void AppendTask(std::string& out, const wml::TWMLTask& task)
    {
        if (task.Kind == wml::TWMLTaskKind::None) {
            out += "null";
            return;
        }
        TJsonObject json(out);
        json.String("Kind", TaskKindName(task.Kind)).String("Href", task.Href).Bool("Post", task.Post);
        AppendPostFields(json.Key("PostFields"), task.PostFields);
        AppendStringArray(json.Key("SetVarNames"), task.SetVarNames);
        AppendStringArray(json.Key("SetVarValues"), task.SetVarValues);
        json.Close();
    }

    void AppendFontFields(std::string& out, const TFontDesc& font)
    {
        TJsonObject json(out);
        json.String("Name", font.Name.Text()).Int("Size", font.Size);
        json.Bool("Bold", font.Bold).Bool("Italic", font.Italic).Bool("Underline", font.Underline);
        json.Close();
    }

    // Runs of records share their font; its JSON text is built once per change. The opening of
    // each class's records, up to the key's value, is kept here too, built when first written.
    class TFontCache
    {
    public:
        void Append(std::string& out, const TFontDesc& font)
        {
            if (!m_valid || !(font == m_font)) {
                m_font = font;
                m_json.clear();
                AppendFontFields(m_json, font);
                m_valid = true;
            }
            out += m_json;
        }

        // {"class":"TWMLText","key":
        const std::string& ClassOpening(const TWMLObject& element)
        {
            std::string& opening = m_openings[static_cast<std::size_t>(element.Class())];
            if (opening.empty()) {
                TJsonObject json(opening);
                json.String("class", element.ClassName()).Key("key");
            }
            return opening;
        }

    private:
        bool m_valid = false;
        TFontDesc m_font;
        std::string m_json;
        std::array<std::string, static_cast<std::size_t>(TWMLClass::Deck) + 1> m_openings;
    };

    bool IsEmptyVariable(const TWMLVariable& v)
    {
        return v.VarName.empty() && v.VarValue.empty() && v.iVarName.empty() && v.iVarValue.empty()
            && v.NameList.empty() && v.ValueList.empty() && v.OnPickList.empty() && v.SetVarNames.empty()
            && v.SetVarValues.empty() && v.DefaultValue.empty() && v.DefaultIValue.empty() && !v.PostVariable;
    }

    // Most records carry no variable; their object is always the same text. Such a record's last
    // member and the end of the record go in as one piece.
    constexpr std::string_view kEmptyVariableEnd
        = R"(,"VarObject":{"VarName":"","VarValue":"","iVarName":"","iVarValue":"","NameList":[],)"
          R"("ValueList":[],"OnPickList":[],"SetVarNames":[],"SetVarValues":[],"DefaultValue":"",)"
          R"("DefaultIValue":"","PostVariable":false}})";

    void AppendVariable(std::string& out, const TWMLVariable& v)
    {
        TJsonObject json(out);
        json.String("VarName", v.VarName).String("VarValue", v.VarValue);
        json.String("iVarName", v.iVarName).String("iVarValue", v.iVarValue);
        AppendStringArray(json.Key("NameList"), v.NameList);
        AppendStringArray(json.Key("ValueList"), v.ValueList);
        AppendStringArray(json.Key("OnPickList"), v.OnPickList);
        AppendStringArray(json.Key("SetVarNames"), v.SetVarNames);
        AppendStringArray(json.Key("SetVarValues"), v.SetVarValues);
        json.String("DefaultValue", v.DefaultValue).String("DefaultIValue", v.DefaultIValue);
        json.Bool("PostVariable", v.PostVariable);
        json.Close();
    }

    void AppendImageFields(TJsonObject& json, const TWMLImage& e)
    {
        json.String("Alt", e.Alt).String("Src", e.Src).String("LocalSrc", e.LocalSrc);
        json.String("VSpave", e.VSpave).String("HSpace", e.HSpace).String("Align", e.Align);
        json.String("Width", e.Width).String("Height", e.Height);
        json.Int("SourceWidth", e.SourceWidth).Int("SourceHeight", e.SourceHeight);
    }

    // The fields each record class adds to TWMLObject, in declaration order. The picture itself,
    // PassChar and Color are left out: they are not text and no parser sets them.
    void AppendOwnFields(TJsonObject& json, const TWMLObject& element)
    {
        switch (element.Class()) {
        case TWMLClass::Text:
            json.String("Text", element.As<TWMLText>().Text);
            break;
        case TWMLClass::BR:
            json.String("Mode", element.As<TWMLBR>().Mode);
            break;
        case TWMLClass::Link: {
            const auto& e = element.As<TWMLLink>();
            json.String("Text", e.Text).String("Link", e.Link).Int("JumpID", e.JumpID).Bool("Post", e.Post);
            json.Bool("Refresh", e.Refresh);
            json.Bool("Picture", e.Picture);
            break;
        }
        case TWMLClass::Btn: {
            const auto& e = element.As<TWMLBtn>();
            json.String("Link", e.Link).String("BtName", e.BtName).String("Caption", e.Caption);
            json.String("DoType", e.DoType).Bool("Post", e.Post).Bool("Refresh", e.Refresh);
            AppendPostFields(json.Key("PostFields"), e.PostFields);
            break;
        }
        case TWMLClass::Timer: {
            const auto& e = element.As<TWMLTimer>();
            json.String("Link", e.Link).Int("Time", e.Time);
            break;
        }
        case TWMLClass::Input: {
            const auto& e = element.As<TWMLInput>();
            json.String("Title", e.Title).String("DefaultText", e.DefaultText).String("Size", e.Size);
            json.String("MaxLength", e.MaxLength).Bool("Password", e.Password);
            break;
        }
        case TWMLClass::Image:
            AppendImageFields(json, element.As<TWMLImage>());
            break;
        case TWMLClass::Select: {
            const auto& e = element.As<TWMLSelect>();
            json.String("Title", e.Title).Bool("Multiple", e.Multiple);
            break;
        }
        case TWMLClass::PostVariable: {
            const auto& e = element.As<TWMLPostVariable>();
            json.String("Name", e.Name).String("Value", e.Value).String("DefVaulue", e.DefVaulue);
            break;
        }
        case TWMLClass::PivrelVersion:
            json.String("NewestVersion", element.As<TWMLPivrelVersion>().NewestVersion);
            break;
        case TWMLClass::Object:
        case TWMLClass::AlignmentChange:
        case TWMLClass::Card:
        case TWMLClass::Deck:
            break;
        }
    }

    void AppendCardLine(std::string& out, const TWMLCard& card, std::size_t index)
    {
        out += "{\"card\":";
        TJsonObject json(out);
        json.Int("index", std::int64_t(index)).String("ID", card.ID).String("Title", card.Title);
        json.Bool("NewContext", card.NewContext).String("OnTimerURL", card.OnTimerURL);
        AppendTask(json.Key("OnEnterForward"), card.OnEnterForward);
        AppendTask(json.Key("OnEnterBackward"), card.OnEnterBackward);
        AppendTask(json.Key("OnTimer"), card.OnTimer);
        json.Int("elements", std::int64_t(card.Elements.size()));
        json.Close();
        out += "}\n";
    }

    void FlushIfFull(std::ostream& out, std::string& buffer, bool force)
    {
        if (buffer.size() >= kFlushThreshold || (force && !buffer.empty())) {
            out.write(buffer.data(), std::streamsize(buffer.size()));
            buffer.clear();
        }
    }

    int UsageError(std::ostream& err, const std::string& reason)
    {
        err << "pivrel-cli: " << reason << "\n" << kUsage;
        return kExitUsage;
    }

    int FileError(std::ostream& err, const std::string& path, const std::string& reason)
    {
        err << "pivrel-cli: cannot read '" << path << "': " << reason << "\n";
        return kExitFileError;
    }

    int RunElements(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
    {
        return RunEngineElements(args, out, err, g_keepDecksAtExit ? TKeepDeck::AtExit : TKeepDeck::No);
    }

    int RunResolve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
    {
        const TCommandArgs parsed = ParseCommandArgs(args, { { "--fresh", false } });
        if (parsed.Help) {
            out << kUsage;
            return kExitOk;
        }
        if (const std::string reason = parsed.CheckPositional(2); !reason.empty())
            return UsageError(err, reason);
        out << ResolveJson(parsed.Positional[0], parsed.Positional[1], parsed.Has("--fresh")) << "\n";
        return kExitOk;
    }

    bool ApplySets(const TCommandArgs& parsed, engine::TWMLBrowser& browser, std::string& reason)
    {
        for (const auto& [name, value] : parsed.Options) {
            if (name != "--set")
                continue;
            const std::size_t equals = value.find('=');
            if (equals == std::string::npos) {
                reason = "--set needs NAME=VALUE, got '" + value + "'";
                return false;
            }
            browser.SetVariable(
                std::string_view(value).substr(0, equals), std::string_view(value).substr(equals + 1));
        }
        return true;
    }

    // The post fields of the first link or button of the deck whose go leads to the target as
    // written: what following it sends.
    wml::TWMLPostFields TaskFieldsFor(const TWMLDeck& deck, std::string_view target)
    {
        for (const auto& entry : deck.CardList) {
            if (!entry.Card)
                continue;
            const TWMLElementList& elements = entry.Card->Elements;
            for (std::size_t i = 0; i < elements.size(); ++i) {
                const TWMLObject* record = elements[i].Object.get();
                if (record == nullptr)
                    continue;
                if (const auto* link = record->AsIf<TWMLLink>(); link && link->Link == target)
                    return LinkPostFields(elements, i);
                if (const auto* button = record->AsIf<TWMLBtn>(); button && button->Link == target)
                    return button->PostFields;
            }
        }
        return {};
    }

    int RunVars(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
    {
        const TCommandArgs parsed = ParseCommandArgs(
            args, { { "--set", true }, { "--url", true }, { "--post", false }, { "--text", true } });
        if (parsed.Help) {
            out << kUsage;
            return kExitOk;
        }
        std::string reason = parsed.CheckPositional(1);
        if (!reason.empty())
            return UsageError(err, reason);
        engine::TWMLBrowser browser;
        // The variables need the records only; the cards' pictures are not fetched.
        browser.WMLDeck.ImageLoader = nullptr;
        bool accepted = false;
        if (!LoadDeckFile(parsed.Positional[0], browser.WMLDeck, accepted, reason))
            return FileError(err, parsed.Positional[0], reason);
        if (!ApplySets(parsed, browser, reason))
            return UsageError(err, reason);

        const std::optional<std::string> url = parsed.Last("--url");
        const bool post = parsed.Has("--post");
        const std::optional<std::string> text = parsed.Last("--text");
        std::string line;
        TJsonObject json(line);
        if (url || post) {
            const std::string target = url.value_or(std::string());
            const std::string replaced
                = browser.ReplaceVariables(target, post, TaskFieldsFor(browser.WMLDeck, target));
            if (url)
                json.String("url", replaced);
        }
        if (post) {
            if (browser.SendStream)
                json.String("body", *browser.SendStream);
            else
                json.Null("body");
        }
        if (text)
            json.String("text", browser.ExpandText(*text));
        json.Close();
        out << line << "\n";
        return kExitOk;
    }

    void AppendElementJson(
        std::string& out, const TWMLObject& element, std::string_view key, TFontCache& fonts)
    {
        out += fonts.ClassOpening(element);
        AppendJsonString(out, key);
        TJsonObject json(out, TJsonObject::TOpen::Continued);
        json.Int("Alignment", static_cast<int>(element.Alignment));
        fonts.Append(json.Key("TextFont"), element.TextFont);
        AppendOwnFields(json, element);
        if (IsEmptyVariable(*element.VarObject)) {
            out += kEmptyVariableEnd;
            return;
        }
        AppendVariable(json.Key("VarObject"), *element.VarObject);
        json.Close();
    }

} // namespace

void SetKeepDecksAtExit(bool keep)
{
    g_keepDecksAtExit = keep;
}

std::string_view UsageText()
{
    return kUsage;
}

bool LoadDeckFile(const std::string& path, TWMLDeck& deck, bool& accepted, std::string& error)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    base::TStringList lines = base::SplitLines(DeckTextToUtf8(bytes));
    std::string().swap(bytes);
    deck.Clear();
    accepted = deck.Parse(std::move(lines));
    for (std::size_t i = 0; i < deck.CardList.size(); ++i)
        deck.Card(i);
    return true;
}

void AppendElementJson(std::string& out, const TWMLObject& element, std::string_view key)
{
    TFontCache fonts;
    AppendElementJson(out, element, key, fonts);
}

void WriteDeckLines(
    std::ostream& out, engine::TWMLBrowser& browser, bool accepted, const std::optional<std::string>& cardId)
{
    TWMLDeck& deck = browser.WMLDeck;
    std::string buffer;
    buffer.reserve(kFlushThreshold * 2);
    TFontCache fonts;
    buffer += "{\"deck\":";
    TJsonObject json(buffer);
    json.Bool("accepted", accepted).Int("cards", std::int64_t(deck.CardList.size()));
    json.String("Template", deck.Template);
    json.Close();
    buffer += "}\n";
    for (std::size_t i = 0; i < deck.CardList.size(); ++i) {
        if (cardId && deck.CardList[i].Key != *cardId)
            continue;
        const bool built = deck.CardList[i].Card != nullptr;
        const TWMLCard* card = browser.Card(i);
        if (!card)
            continue;
        AppendCardLine(buffer, *card, i);
        for (const TWMLElement& element : card->Elements) {
            if (!element.Object)
                continue;
            AppendElementJson(buffer, *element.Object, element.Key, fonts);
            buffer += '\n';
            FlushIfFull(out, buffer, false);
        }
        if (!built)
            deck.ReleaseCard(i);
    }
    FlushIfFull(out, buffer, true);
}

std::string ResolveJson(std::string_view base, std::string_view target, bool fresh)
{
    engine::TURLParser parser;
    parser.Clear();
    parser.Resolve(base, fresh);
    parser.Resolve(target, fresh);
    std::string line;
    TJsonObject json(line);
    json.String("CompleteURL", parser.CompleteURL).String("Protocol", parser.Protocol);
    json.String("Host", parser.Host).String("Path", parser.Path).String("Document", parser.Document);
    json.String("Parameters", parser.Parameters).String("PageHOP", parser.PageHOP);
    json.Close();
    return line;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return kExitOk;
    }
    if (args.empty())
        return UsageError(err, "missing command");
    if (args[0] == "elements")
        return RunElements(args, out, err);
    if (args[0] == "fetch")
        return RunFetch(args, out, err);
    if (args[0] == "wbmp")
        return RunWbmp(args, out, err);
    if (args[0] == "resolve")
        return RunResolve(args, out, err);
    if (args[0] == "vars")
        return RunVars(args, out, err);
    if (args[0] == "wmls")
        return RunWmls(args, out, err, std::cin);
    return UsageError(err, "unknown command '" + args[0] + "'");
}

} // namespace pivrel::tools
