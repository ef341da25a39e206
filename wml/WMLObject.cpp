#include "wml/WMLObject.h"

#include "base/Ascii.h"
#include "wml/WMLCutText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <utility>

namespace pivrel::wml {

namespace {

    // What GetElement yields and DeleteElement removes (comments aside), searched in the whole source.
    TTextRange ElementRange(std::string_view tag, std::string_view source)
    {
        std::string open = "<";
        open.append(tag);
        const std::size_t p = FindText(source, open);
        if (p == std::string_view::npos)
            return {};
        const std::size_t gt = source.find('>', p);
        const bool selfClosing = gt != std::string_view::npos && source[gt - 1] == '/';
        std::string close = "</";
        close.append(tag);
        close.push_back('>');
        return ElementRangeAt(p, gt, selfClosing, FindText(source, close), close.size(), source.size());
    }

    // The comment rule: the start tag is removed through its "-->", or only "<!" when the first ">"
    // does not end a "-->".
    TTextRange CommentRange(std::string_view source)
    {
        const std::size_t p = source.find("<!--");
        if (p == std::string_view::npos)
            return {};
        const std::size_t gt = source.find('>', p);
        if (gt != std::string_view::npos && gt >= p + 2 && source.substr(gt - 2, 3) == "-->")
            return { p, gt + 1 - p };
        return { p, std::min<std::size_t>(2, source.size() - p) };
    }

} // namespace

const char* TWMLObject::ClassName() const
{
    switch (Class()) {
    case TWMLClass::Text:
        return "TWMLText";
    case TWMLClass::BR:
        return "TWMLBR";
    case TWMLClass::Link:
        return "TWMLLink";
    case TWMLClass::Btn:
        return "TWMLBtn";
    case TWMLClass::Timer:
        return "TWMLTimer";
    case TWMLClass::Input:
        return "TWMLInput";
    case TWMLClass::AlignmentChange:
        return "TWMLAlignmentChange";
    case TWMLClass::Image:
        return "TWMLImage";
    case TWMLClass::Select:
        return "TWMLSelect";
    case TWMLClass::PostVariable:
        return "TWMLPostVariable";
    case TWMLClass::PivrelVersion:
        return "TWMLPivrelVersion";
    case TWMLClass::Card:
        return "TWMLCard";
    case TWMLClass::Deck:
        return "TWMLDeck";
    case TWMLClass::Object:
        break;
    }
    return "TWMLObject";
}

std::size_t StringHeapBytes(const std::string& text)
{
    static const std::size_t inPlace = std::string().capacity();
    if (text.capacity() <= inPlace)
        return 0;
    // The allocator adds its header to the text and its end mark, and rounds to 16 bytes.
    return std::max<std::size_t>(32, (text.capacity() + 1 + 8 + 15) / 16 * 16);
}

namespace {

    // A block the allocator hands out for an object of the given size, its header included.
    constexpr std::size_t AllocatedBytes(std::size_t size)
    {
        return (size + 8 + 15) / 16 * 16;
    }

} // namespace

namespace {

    const std::array<std::string, 5>& FixedKeys()
    {
        static const auto* const keys
            = new std::array<std::string, 5> { "Link", "Image", "Select", "postfield", "PIVRELVERSION" };
        return *keys;
    }

} // namespace

TWMLKey::TWMLKey(std::string text)
{
    if (text.empty())
        return;
    for (const std::string& fixed : FixedKeys()) {
        if (fixed == text) {
            m_text = &fixed;
            return;
        }
    }
    m_text = new std::string(std::move(text));
}

TWMLKey::TWMLKey(const TWMLKey& other)
    : m_text(other.Owned() ? new std::string(*other.m_text) : other.m_text)
{ }

TWMLKey::TWMLKey(TWMLKey&& other) noexcept
    : m_text(std::exchange(other.m_text, nullptr))
{ }

TWMLKey& TWMLKey::operator=(TWMLKey other) noexcept
{
    std::swap(m_text, other.m_text);
    return *this;
}

TWMLKey::~TWMLKey()
{
    if (Owned())
        delete m_text;
}

const std::string& TWMLKey::Text() const
{
    static const std::string empty;
    return m_text ? *m_text : empty;
}

bool TWMLKey::Owned() const
{
    const std::array<std::string, 5>& fixed = FixedKeys();
    const std::less<const std::string*> before;
    return m_text != nullptr
        && (before(m_text, fixed.data()) || !before(m_text, fixed.data() + fixed.size()));
}

std::size_t TWMLKey::HeapBytes() const
{
    return Owned() ? AllocatedBytes(sizeof(std::string)) + StringHeapBytes(*m_text) : 0;
}

TWMLSource& TWMLSource::operator=(std::string text)
{
    if (text.empty()) {
        m_text.reset();
        return *this;
    }
    auto whole = std::make_shared<const std::string>(std::move(text));
    const std::string_view view = *whole;
    m_text = std::make_unique<THolder>(THolder { std::move(whole), view });
    return *this;
}

void TWMLSource::Share(const TWMLSource& whole, std::string_view part)
{
    if (part.empty() || !whole.m_text) {
        m_text.reset();
        return;
    }
    m_text = std::make_unique<THolder>(THolder { whole.m_text->Whole, part });
}

std::size_t TWMLSource::HeapBytes() const
{
    if (!m_text)
        return 0;
    const std::string& whole = *m_text->Whole;
    const bool owner = m_text->View.data() == whole.data() && m_text->View.size() == whole.size();
    // make_shared puts the string and its counts in one block.
    return SharedPartBytes()
        + (owner ? AllocatedBytes(sizeof(std::string) + 16) + StringHeapBytes(whole) : 0);
}

std::size_t TWMLSource::SharedPartBytes()
{
    return AllocatedBytes(sizeof(THolder));
}

const TWMLVariable& TWMLVariableBlock::Empty()
{
    static const TWMLVariable empty;
    return empty;
}

const std::string& TWMLObject::GetVarValue() const
{
    return VarObject->VarValue.empty() ? VarObject->DefaultValue : VarObject->VarValue;
}

const std::string& TWMLObject::GetIVarValue() const
{
    return VarObject->iVarValue.empty() ? VarObject->DefaultIValue : VarObject->iVarValue;
}

std::string_view GetElementView(std::string_view tag, std::string_view source)
{
    const TTextRange range = ElementRange(tag, source);
    return range.Found() ? source.substr(range.Pos, range.Count) : std::string_view();
}

std::string GetElement(std::string_view tag, std::string_view source)
{
    return std::string(GetElementView(tag, source));
}

std::string_view GetAttributeView(
    std::string_view name, std::string_view element, std::string_view defaultValue)
{
    // Attribute names are short words: the key is put together on the stack, as this runs for
    // every attribute of every element.
    char buffer[64];
    std::string heap;
    std::string_view key;
    if (name.size() < sizeof buffer) {
        if (!name.empty())
            std::memcpy(buffer, name.data(), name.size());
        buffer[name.size()] = '=';
        key = std::string_view(buffer, name.size() + 1);
    } else {
        key = heap.append(name).append(1, '=');
    }
    const std::size_t k = FindText(element, key);
    if (k == std::string_view::npos)
        return defaultValue;
    std::string_view rest = element.substr(k + key.size());
    // The character after "=" is taken for the opening quote, whatever it is.
    if (!rest.empty())
        rest.remove_prefix(1);
    return rest.substr(0, rest.find('"'));
}

std::string GetAttribute(std::string_view name, std::string_view element, std::string_view defaultValue)
{
    return std::string(GetAttributeView(name, element, defaultValue));
}

bool DeleteElement(std::string_view tag, std::string& source)
{
    const TTextRange range = tag == "!--" ? CommentRange(source) : ElementRange(tag, source);
    if (range.Found())
        source.erase(range.Pos, range.Count);
    return true;
}

std::string_view GetElementTextView(std::string_view source)
{
    const std::size_t gt = source.find('>');
    if (gt != std::string_view::npos)
        source.remove_prefix(gt + 1);
    return source.substr(0, source.find('<'));
}

std::string GetElementText(std::string_view source)
{
    return std::string(GetElementTextView(source));
}

namespace {

    // Calls read with each element of the kind in code, in order; each is cut out after it is
    // read, so that the next search finds the following one.
    template <typename Read>
    void ForEachElement(std::string_view code, std::string_view open, std::string_view close, Read read)
    {
        TCutText rest(code);
        const TElementSlots slots = AddElementSlots(rest, open, close);
        for (;;) {
            const TTextRange range = FindElement(rest, slots, rest.Size());
            if (!range.Found())
                break;
            read(rest.Extract(range.Pos, range.Count));
            rest.Remove(range.Pos, range.Count);
        }
    }

    void ReadSetVars(std::string_view code, TStringList& names, TStringList& values)
    {
        ForEachElement(code, "<setvar", "</setvar>", [&](const std::string& element) {
            names.push_back(GetAttribute("name", element, ""));
            values.push_back(GetAttribute("value", element, ""));
        });
    }

    // The position of the first start tag "<" + tag that the tag name ends at, or npos.
    std::size_t FindStartTag(std::string_view code, std::string_view tag)
    {
        const std::string open = "<" + std::string(tag);
        for (std::size_t p = FindText(code, open); p != kNotFound; p = FindText(code, open, p + 1)) {
            const std::size_t after = p + open.size();
            if (after == code.size() || code[after] == ' ' || code[after] == '/' || code[after] == '>')
                return p;
        }
        return std::string_view::npos;
    }

} // namespace

TWMLTask ParseTask(std::string_view code)
{
    constexpr std::pair<std::string_view, TWMLTaskKind> kTasks[] = {
        { "go", TWMLTaskKind::Go },
        { "prev", TWMLTaskKind::Prev },
        { "refresh", TWMLTaskKind::Refresh },
        { "noop", TWMLTaskKind::Noop },
    };
    TWMLTask task;
    std::size_t first = std::string_view::npos;
    std::string_view tag;
    for (const auto& [name, kind] : kTasks) {
        const std::size_t p = FindStartTag(code, name);
        if (p < first) {
            first = p;
            tag = name;
            task.Kind = kind;
        }
    }
    if (task.Kind == TWMLTaskKind::None)
        return task;
    const std::string_view element = GetElementView(tag, code.substr(first));
    const std::string_view startTag = element.substr(0, element.find('>'));
    if (task.Kind == TWMLTaskKind::Go) {
        task.Href = GetAttribute("href", startTag, "");
        task.Post = GetAttributeView("method", startTag, "") == "post";
        ForEachElement(element, "<postfield", "</postfield>", [&task](const std::string& field) {
            task.PostFields.push_back({ GetAttribute("name", field, ""), GetAttribute("value", field, "") });
        });
    }
    ReadSetVars(element, task.SetVarNames, task.SetVarValues);
    return task;
}

std::string CaptionForDoType(std::string_view type)
{
    const std::string lower = base::AsciiLower(type);
    static const std::pair<std::string_view, std::string_view> captions[] = {
        { "", "OK" },
        { "accept", "OK" },
        { "prev", "Back" },
        { "options", "Options" },
        { "reset", "Reset" },
        { "help", "Help" },
        { "delete", "Delete" },
    };
    for (const auto& [name, caption] : captions) {
        if (lower == name)
            return std::string(caption);
    }
    return std::string(type);
}

void TWMLBtn::Parse(std::string_view code)
{
    const std::string_view doElement = GetElementView("do", code);
    Caption = GetAttribute("label", doElement, "");
    DoType = GetAttribute("type", doElement, "");
    // A button needs a caption the user can read, also when the author gave none.
    if (Caption.empty())
        Caption = CaptionForDoType(DoType);
    BtName = GetAttribute("name", doElement, "");
    if (!doElement.empty())
        Link = GetAttribute("href", doElement, "");
    // A prev task wins over a next task, and both over an address.
    if (!GetElementView("next", code).empty())
        Link = "@next";
    if (!GetElementView("prev", code).empty())
        Link = "@prev";
    Refresh = !GetElementView("refresh", code).empty();
    TStringList names;
    TStringList values;
    ReadSetVars(code, names, values);
    if (!names.empty() || !values.empty()) {
        TWMLVariable& variable = VarObject.Edit();
        variable.SetVarNames = std::move(names);
        variable.SetVarValues = std::move(values);
    }
    // A button's go sends its own post fields, as a link's go does.
    TWMLTask task = ParseTask(code);
    if (task.Kind == TWMLTaskKind::Go) {
        Post = task.Post;
        PostFields = std::move(task.PostFields);
    }
}

void TWMLInput::Parse(std::string_view code)
{
    const std::string_view input = GetElementView("input", code);
    DefaultText = GetAttribute("value", input, "");
    Password = GetAttributeView("type", input, "") == "password";
    Size = GetAttribute("size", input, "16");
    MaxLength = GetAttribute("maxlength", input, "");
    Title = GetAttribute("title", input, "");
    VarObject.Edit().VarName = GetAttribute("name", input, "");
    VarObject.Edit().VarValue = DefaultText;
    VarObject.Edit().DefaultValue = DefaultText;
}

void TWMLImage::Parse(std::string_view code)
{
    const std::string_view img = GetElementView("img", code);
    Alt = GetAttribute("alt", img, "");
    Src = GetAttribute("src", img, "");
    LocalSrc = GetAttribute("localsrc", img, "");
    VSpave = GetAttribute("vspace", img, "");
    HSpace = GetAttribute("hspace", img, "");
    Align = GetAttribute("align", img, "");
    Width = GetAttribute("width", img, "");
    Height = GetAttribute("height", img, "");
}

} // namespace pivrel::wml
