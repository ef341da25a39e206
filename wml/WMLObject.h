#pragma once

#include "base/Bitmap.h"
#include "base/FontDesc.h"
#include "base/StringList.h"
#include "wml/RecordPool.h"

#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::wml {

using base::TFontDesc;
using base::TStringList;

enum class TWMLAlignment : int { Left = 0, Right = 1, Center = 2 };

// The variable binding of one element record.
class TWMLVariable
{
public:
    std::string VarName;
    std::string VarValue;
    std::string iVarName;
    std::string iVarValue;
    TStringList NameList;
    TStringList ValueList;
    TStringList OnPickList;
    TStringList SetVarNames;
    TStringList SetVarValues;
    std::string DefaultValue;
    std::string DefaultIValue;
    bool PostVariable = false;
};

// A record's variable block, kept out of line: most records (text, breaks, plain links, pictures)
// never hold a variable, and the whole block would weigh more than the rest of such a record. A
// record without a block reads as one with an empty block; Edit() makes the block on the first
// write, so reading never allocates.
class TWMLVariableBlock
{
public:
    const TWMLVariable& operator*() const { return m_block ? *m_block : Empty(); }

    const TWMLVariable* operator->() const { return &**this; }

    TWMLVariable& Edit()
    {
        if (!m_block)
            m_block = std::make_unique<TWMLVariable>();
        return *m_block;
    }

    bool Exists() const { return m_block != nullptr; }

private:
    static const TWMLVariable& Empty();

    std::unique_ptr<TWMLVariable> m_block;
};

// What a string holds on the heap beyond its own object, as the allocator hands it out: nothing
// while its text fits in place.
std::size_t StringHeapBytes(const std::string& text);

// The WML source text an object was built from. Only inputs among the element records keep one
// (besides cards and the deck), so the text lives out of line: an empty one costs a pointer, not
// a whole string on each of a deck's many records. A card's text is a part of the deck's, which it
// shares rather than copies; the shared text lives as long as any part of it is held.
class TWMLSource
{
public:
    TWMLSource& operator=(std::string text);

    TWMLSource& operator=(std::string_view text) { return *this = std::string(text); }

    TWMLSource& operator=(const char* text) { return *this = std::string(text); }

    // Holds part, which lies within whole's text, without copying it.
    void Share(const TWMLSource& whole, std::string_view part);

    std::string_view Text() const { return m_text ? m_text->View : std::string_view(); }

    operator std::string_view() const { return Text(); }

    std::size_t size() const { return Text().size(); }

    bool empty() const { return Text().empty(); }

    void clear() { m_text.reset(); }

    // Whether any text is held, and so costs memory beyond the pointer.
    bool Exists() const { return m_text != nullptr; }

    // What the held text costs beyond the pointer: the holder, and the text itself unless it is
    // a part shared with another source.
    std::size_t HeapBytes() const;

    // What holding a shared part costs.
    static std::size_t SharedPartBytes();

    bool operator==(const TWMLSource& other) const { return Text() == other.Text(); }

    bool operator==(std::string_view text) const { return Text() == text; }

private:
    struct THolder {
        std::shared_ptr<const std::string> Whole;
        std::string_view View;
    };

    std::unique_ptr<THolder> m_text;
};

// A post field of a go task: its name and its value as the deck writes them (references are
// expanded when the task is followed).
struct TWMLPostField {
    std::string Name;
    std::string Value;

    bool operator==(const TWMLPostField&) const = default;
};

using TWMLPostFields = std::vector<TWMLPostField>;

enum class TWMLTaskKind { None, Go, Prev, Refresh, Noop };

// A task as an event binding holds it: what entering a card or its timer's expiry does.
struct TWMLTask {
    TWMLTaskKind Kind = TWMLTaskKind::None;
    std::string Href;
    bool Post = false;
    TWMLPostFields PostFields;
    TStringList SetVarNames;
    TStringList SetVarValues;
};

// The first task element (go, prev, refresh or noop) of the text with its setvars and, for a go,
// its method and post fields; a task of kind None when there is none.
TWMLTask ParseTask(std::string_view code);

enum class TWMLClass {
    Object,
    Text,
    BR,
    Link,
    Btn,
    Timer,
    Input,
    AlignmentChange,
    Image,
    Select,
    PostVariable,
    PivrelVersion,
    Card,
    Deck,
};

// Base of every element record, of the card and of the deck.
class TWMLObject
{
public:
    TWMLObject() = default;
    virtual ~TWMLObject() = default;
    TWMLObject(const TWMLObject&) = delete;
    TWMLObject& operator=(const TWMLObject&) = delete;

    // Records come from the record pool; the virtual destructor hands back the full size.
    static void* operator new(std::size_t size) { return AllocateRecord(size); }

    static void* operator new(std::size_t, void* place) noexcept { return place; }

    static void operator delete(void* record, std::size_t size) noexcept { FreeRecord(record, size); }

    static void operator delete(void*, void*) noexcept { }

    virtual TWMLClass Class() const { return TWMLClass::Object; }

    // "TWMLText", "TWMLLink", ...: the record's class name as the inspector prints it.
    const char* ClassName() const;

    TWMLSource WMLCode;
    TFontDesc TextFont;
    TWMLAlignment Alignment = TWMLAlignment::Left;
    TWMLVariableBlock VarObject;

    const std::string& GetVarName() const { return VarObject->VarName; }

    const std::string& GetVarValue() const;

    const std::string& GetIVarName() const { return VarObject->iVarName; }

    const std::string& GetIVarValue() const;

    // The record as the class it is, or nullptr when it is another one. The element record
    // classes name their class in Kind, so the check is one virtual call, not a dynamic_cast.
    template <class T> T* AsIf()
    {
        if constexpr (requires { T::Kind; })
            return Class() == T::Kind ? static_cast<T*>(this) : nullptr;
        else
            return dynamic_cast<T*>(this);
    }

    template <class T> const T* AsIf() const
    {
        if constexpr (requires { T::Kind; })
            return Class() == T::Kind ? static_cast<const T*>(this) : nullptr;
        else
            return dynamic_cast<const T*>(this);
    }

    // The record as a class the caller knows it to be.
    template <class T> T& As()
    {
        T* record = AsIf<T>();
        assert(record && "element record of another class");
        return *record;
    }

    template <class T> const T& As() const
    {
        const T* record = AsIf<T>();
        assert(record && "element record of another class");
        return *record;
    }
};

// The text operations over normalised WML text. Every search is a case-sensitive substring
// search for the first occurrence; they never fail, they only yield shorter or emptier results.
std::string GetElement(std::string_view tag, std::string_view source);
std::string GetAttribute(std::string_view name, std::string_view element, std::string_view defaultValue);
bool DeleteElement(std::string_view tag, std::string& source);
std::string GetElementText(std::string_view source);

// The same operations answering with views into their arguments, for the parsers' hot paths.
std::string_view GetElementView(std::string_view tag, std::string_view source);
std::string_view GetAttributeView(
    std::string_view name, std::string_view element, std::string_view defaultValue);
std::string_view GetElementTextView(std::string_view source);

class TWMLText : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Text;

    TWMLClass Class() const override { return TWMLClass::Text; }

    std::string Text;
};

class TWMLBR : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::BR;

    TWMLClass Class() const override { return TWMLClass::BR; }

    std::string Mode;
};

class TWMLLink : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Link;

    TWMLClass Class() const override { return TWMLClass::Link; }

    std::string Text;
    std::string Link;
    std::int32_t JumpID = 0;
    bool Post = false;
    // The anchor's task is a refresh; its setvar pairs, of a refresh or of a go, are in
    // VarObject->SetVarNames and SetVarValues as a button's are.
    bool Refresh = false;
    // The link is a picture: the image record that follows it. Text is then all the anchor's text
    // (before and after the picture) or, when it has none, the picture's alternative text.
    bool Picture = false;
};

class TWMLBtn : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Btn;

    TWMLClass Class() const override { return TWMLClass::Btn; }

    std::string Link;
    std::string BtName;
    std::string Caption;
    std::string DoType;
    bool Post = false;
    bool Refresh = false;
    // The post fields of the button's go, in their order; Post says whether they go as a POST
    // body or as a query.
    TWMLPostFields PostFields;

    // Code is the whole do element.
    void Parse(std::string_view code);
};

// The caption of a do button without a label: "OK" for accept (and for a do without a type),
// "Back" for prev, and so on; any other type is its own caption.
std::string CaptionForDoType(std::string_view type);

class TWMLTimer : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Timer;

    TWMLClass Class() const override { return TWMLClass::Timer; }

    std::string Link;
    std::int32_t Time = 0;
};

class TWMLInput : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Input;

    TWMLClass Class() const override { return TWMLClass::Input; }

    std::string Title;
    std::string DefaultText;
    std::string Size;
    std::string MaxLength;
    bool Password = false;
    char PassChar = 0;

    // Code is the whole input element.
    void Parse(std::string_view code);
};

class TWMLAlignmentChange : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::AlignmentChange;

    TWMLClass Class() const override { return TWMLClass::AlignmentChange; }
};

class TWMLImage : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Image;

    TWMLClass Class() const override { return TWMLClass::Image; }

    std::string Alt;
    std::string Src;
    std::string LocalSrc;
    std::string VSpave;
    std::string HSpace;
    std::string Align;
    std::string Width;
    std::string Height;
    base::TBitmap Image;
    std::int32_t SourceWidth = 0;
    std::int32_t SourceHeight = 0;
    base::TColor Color = base::kNoColor;

    // Code is the whole img element.
    void Parse(std::string_view code);
};

class TWMLSelect : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::Select;

    TWMLClass Class() const override { return TWMLClass::Select; }

    std::string Title;
    bool Multiple = false;
};

class TWMLPostVariable : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::PostVariable;

    TWMLClass Class() const override { return TWMLClass::PostVariable; }

    std::string Name;
    std::string Value;
    std::string DefVaulue;
};

class TWMLPivrelVersion : public TWMLObject
{
public:
    static constexpr TWMLClass Kind = TWMLClass::PivrelVersion;

    TWMLClass Class() const override { return TWMLClass::PivrelVersion; }

    std::string NewestVersion;
};

// An element's key. Most keys are empty or one of a few fixed words ("Link", "Image", "Select",
// "postfield", "PIVRELVERSION"); those cost a pointer to a constant, and only a key the deck wrote
// (a button's label, an input's title) has a string of its own.
class TWMLKey
{
public:
    TWMLKey() = default;
    TWMLKey(std::string text);

    TWMLKey(const char* text)
        : TWMLKey(std::string(text))
    { }

    TWMLKey(const TWMLKey& other);
    TWMLKey(TWMLKey&& other) noexcept;
    TWMLKey& operator=(TWMLKey other) noexcept;
    ~TWMLKey();

    const std::string& Text() const;

    operator std::string_view() const { return Text(); }

    std::size_t size() const { return Text().size(); }

    bool empty() const { return m_text == nullptr; }

    // What the key holds beyond its pointer: nothing unless it has a string of its own.
    std::size_t HeapBytes() const;

    // Keys compare with keys and with text alike, by their text.
    bool operator==(const TWMLKey& other) const { return Text() == other.Text(); }

    bool operator==(std::string_view text) const { return Text() == text; }

    bool operator==(const std::string& text) const { return Text() == text; }

    bool operator==(const char* text) const { return Text() == text; }

private:
    bool Owned() const;

    const std::string* m_text = nullptr;
};

// One entry of a card's element list: the key and the record the card owns.
struct TWMLElement {
    TWMLKey Key;
    std::unique_ptr<TWMLObject> Object;
};

using TWMLElementList = std::vector<TWMLElement>;

} // namespace pivrel::wml
