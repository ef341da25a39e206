#include "wml/WMLCard.h"

#include "wml/WMLCutText.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace pivrel::wml {

namespace {

    std::size_t HeapBytes(const std::string& text)
    {
        return StringHeapBytes(text);
    }

    std::size_t ListBytes(const TStringList& list)
    {
        std::size_t bytes = list.capacity() * sizeof(std::string);
        for (const std::string& entry : list)
            bytes += HeapBytes(entry);
        return bytes;
    }

    // The out-of-line variable block, when the record has one: the block with the allocator's
    // header, and its strings.
    std::size_t VariableBytes(const TWMLVariableBlock& block)
    {
        if (!block.Exists())
            return 0;
        const TWMLVariable& v = *block;
        return sizeof(TWMLVariable) + 16 + HeapBytes(v.VarName) + HeapBytes(v.VarValue)
            + HeapBytes(v.iVarName) + HeapBytes(v.iVarValue) + ListBytes(v.NameList) + ListBytes(v.ValueList)
            + ListBytes(v.OnPickList) + ListBytes(v.SetVarNames) + ListBytes(v.SetVarValues)
            + HeapBytes(v.DefaultValue) + HeapBytes(v.DefaultIValue);
    }

    // What one more entry of the element list costs while the card is parsed: the entry, as much
    // again for the room the list keeps when it grows, and as much again because moving to a
    // larger block holds both blocks for a moment. A finished card gives back all but the entry.
    constexpr std::size_t kElementBytes = 3 * sizeof(TWMLElement);

    // The record's place in the record pool, rounded as the pool rounds it.
    constexpr std::size_t PooledSize(std::size_t size)
    {
        return (size + 15) / 16 * 16;
    }

    // What a record of class T costs with the strings every record has; its own strings are added
    // by whoever knows them.
    template <class T> std::size_t ObjectBytes(const T& record)
    {
        return PooledSize(sizeof(T)) + kElementBytes + record.WMLCode.HeapBytes()
            + VariableBytes(record.VarObject);
    }

    // The least a record of class T can cost, known before it is built.
    template <class T> constexpr std::size_t EmptyBytes()
    {
        return PooledSize(sizeof(T)) + kElementBytes;
    }

    std::size_t SaturatingLimit(std::size_t perByte, std::size_t size, std::size_t slack)
    {
        if (perByte != 0 && size > (SIZE_MAX - slack) / perByte)
            return SIZE_MAX;
        return perByte * size + slack;
    }

} // namespace

// Walks a card's text from the front, one piece at a time, and turns each piece into records of
// the card or into a change of its running font and alignment. The text is only ever cut at its
// front, so its pieces are views of the one text the card parse built.
class TCardReader
{
public:
    TCardReader(TWMLCard& card, std::string_view text);
    void Run();

private:
    // Whether the text, as it stands at the start of this step, begins with the literal.
    template <std::size_t N> bool StartsWith(const char (&prefix)[N]) const
    {
        return m_front.size() >= N - 1 && std::memcmp(m_front.data(), prefix, N - 1) == 0;
    }

    std::string_view Rest() const { return m_text.RestView(0, m_text.Size()); }

    std::string_view ElementView(const TElementSlots& slots);
    std::string_view Attribute(
        const TAttributeSlots& slots, std::size_t from, std::size_t limit, std::string_view defaultValue);
    void Dispatch(std::size_t gt);
    bool DispatchRecords(std::size_t gt);
    bool DispatchStyles(std::size_t gt);
    bool DispatchStructure(std::size_t gt);
    void ReadCharacterData();
    void AddCharacterData(std::string_view data);
    void AddPreformatted(std::string_view data, bool beforeEnd);
    void LineStart();
    void BeforeInline();
    bool AppendBlankToLastText();
    // go is the link's go element, whose post fields come right before the link record.
    void AddInlineLink(const TWMLTask& task, std::string text, std::size_t end, std::string_view go = {});
    void ReadPre(bool start, std::size_t gt);
    void ReadTable(std::size_t gt);
    void ReadPivrelVersion();
    void ReadDo();
    void ReadLink();
    void ReadPostFields(std::string_view go);
    std::size_t AnchorTaskStart(std::size_t end);
    std::size_t TaskEnd(std::size_t start, std::size_t end);
    std::string LinkText(std::size_t end, std::size_t cutFrom, std::size_t cutTo);
    std::size_t FindOutsideCut(
        int slot, std::size_t from, std::size_t end, std::size_t cutFrom, std::size_t cutTo);
    void ReadParagraph(std::size_t gt);
    void RemoveElement(const TElementSlots& slots, std::size_t gt);
    void RemoveComment(std::size_t gt);

    void RemoveFront(std::size_t count) { m_text.Remove(0, count); }

    TWMLCard& m_card;
    TCutText m_text;
    std::string_view m_front;
    int m_lt;
    int m_gt;
    int m_linkLt;
    int m_linkGt;
    TElementSlots m_pivrel;
    TElementSlots m_do;
    TElementSlots m_timer;
    TElementSlots m_br;
    TElementSlots m_a;
    TElementSlots m_go;
    TElementSlots m_input;
    TElementSlots m_img;
    TElementSlots m_p;
    TElementSlots m_select;
    TElementSlots m_onevent;
    int m_prevTask;
    int m_refreshTask;
    int m_setvarTask;
    TAttributeSlots m_pivrelValue;
    TAttributeSlots m_timerValue;
    TAttributeSlots m_method;
    TAttributeSlots m_anchorHref;
    TAttributeSlots m_goHref;
    TAttributeSlots m_align;
    // Whether the line shown so far holds anything, and whether white space was met since then:
    // a blank shows only between two things on one line.
    bool m_lineHasText = false;
    bool m_pendingBlank = false;
    bool m_inPre = false;
    bool m_preStart = false;
    base::TFaceName m_fontBeforePre;
};

TCardReader::TCardReader(TWMLCard& card, std::string_view text)
    : m_card(card)
    , m_text(text)
    , m_lt(m_text.AddPattern("<"))
    , m_gt(m_text.AddPattern(">"))
    , m_linkLt(m_text.AddPattern("<"))
    , m_linkGt(m_text.AddPattern(">"))
    , m_pivrel(AddElementSlots(m_text, "<pivrel version", "</pivrel version>"))
    , m_do(AddElementSlots(m_text, "<do", "</do>"))
    , m_timer(AddElementSlots(m_text, "<timer value", "</timer value>"))
    , m_br(AddElementSlots(m_text, "<br", "</br>"))
    , m_a(AddElementSlots(m_text, "<a", "</a>"))
    , m_go(AddElementSlots(m_text, "<go", "</go>"))
    , m_input(AddElementSlots(m_text, "<input", "</input>"))
    , m_img(AddElementSlots(m_text, "<img", "</img>"))
    , m_p(AddElementSlots(m_text, "<p", "</p>"))
    , m_select(AddElementSlots(m_text, "<select", "</select>"))
    , m_onevent(AddElementSlots(m_text, "<onevent", "</onevent>"))
    , m_prevTask(m_text.AddPattern("<prev"))
    , m_refreshTask(m_text.AddPattern("<refresh"))
    , m_setvarTask(m_text.AddPattern("<setvar"))
    , m_pivrelValue(AddAttributeSlots(m_text, "pivrel version="))
    , m_timerValue(AddAttributeSlots(m_text, "timer value="))
    , m_method(AddAttributeSlots(m_text, "method="))
    , m_anchorHref(AddAttributeSlots(m_text, "href="))
    , m_goHref(AddAttributeSlots(m_text, "href="))
    , m_align(AddAttributeSlots(m_text, "align="))
{ }

void TCardReader::Run()
{
    while (m_text.Size() > 0 && !m_card.m_limitReached) {
        m_front = Rest();
        if (m_front.front() != '<') {
            ReadCharacterData();
            continue;
        }
        const std::size_t gt = m_text.Find(m_gt);
        // A tag that never ends cannot be read; the rest of the card is dropped with it.
        if (gt == kNotFound)
            break;
        Dispatch(gt);
    }
}

std::string_view TCardReader::Attribute(
    const TAttributeSlots& slots, std::size_t from, std::size_t limit, std::string_view defaultValue)
{
    TTextRange value;
    if (!FindAttribute(m_text, slots, from, limit, value))
        return defaultValue;
    return m_text.RestView(value.Pos, value.Count);
}

std::string_view TCardReader::ElementView(const TElementSlots& slots)
{
    const TTextRange range = FindElement(m_text, slots, m_text.Size());
    return range.Found() ? m_text.RestView(range.Pos, range.Count) : std::string_view();
}

void TCardReader::Dispatch(std::size_t gt)
{
    // The cases are tried in a fixed order and the first that fits is taken, so "<pivrel version"
    // is read before the paragraph case and "<br" before "<b>".
    // Closing tags only ever match the closing cases, which keeps the common step short.
    if (m_front[1] == '/' ? (DispatchStyles(gt) || DispatchStructure(gt))
                          : (DispatchRecords(gt) || DispatchStyles(gt) || DispatchStructure(gt)))
        return;
    RemoveFront(gt + 1);
}

bool TCardReader::DispatchRecords(std::size_t gt)
{
    if (StartsWith("<pivrel version")) {
        ReadPivrelVersion();
        RemoveElement(m_pivrel, gt);
    } else if (StartsWith("<do")) {
        ReadDo();
        RemoveElement(m_do, gt);
    } else if (StartsWith("<timer value")) {
        const std::string_view value = Attribute(m_timerValue, 0, m_text.Size(), "");
        m_card.AddTimer(m_card.OnTimerURL, 100 * TimerValue(value));
        RemoveElement(m_timer, gt);
    } else if (StartsWith("<br")) {
        m_card.AddBR();
        LineStart();
        RemoveElement(m_br, gt);
    } else if (StartsWith("<a ") || StartsWith("<a>")) {
        ReadLink();
        RemoveElement(m_a, gt);
    } else if (StartsWith("<input")) {
        BeforeInline();
        m_card.AddInput(ElementView(m_input));
        RemoveElement(m_input, gt);
    } else if (StartsWith("<img")) {
        BeforeInline();
        m_card.AddImage(ElementView(m_img));
        RemoveElement(m_img, gt);
    } else if (StartsWith("<onevent")) {
        m_card.AddEvent(ElementView(m_onevent));
        RemoveElement(m_onevent, gt);
    } else {
        return false;
    }
    return true;
}

bool TCardReader::DispatchStyles(std::size_t gt)
{
    TFontDesc& font = m_card.TextFont;
    if (StartsWith("<center") || StartsWith("</center")) {
        m_card.AddAlignmentChange(m_front[1] == '/' ? TWMLAlignment::Left : TWMLAlignment::Center);
        LineStart();
    } else if (StartsWith("<small") || StartsWith("</big"))
        font.Size -= 2;
    else if (StartsWith("</small") || StartsWith("<big"))
        font.Size += 2;
    else if (StartsWith("<strong>") || StartsWith("<b>"))
        font.Bold = true;
    else if (StartsWith("</strong>") || StartsWith("</b>"))
        font.Bold = false;
    else if (StartsWith("<i>") || StartsWith("<em>"))
        font.Italic = true;
    else if (StartsWith("</i>") || StartsWith("</em>"))
        font.Italic = false;
    else if (StartsWith("<u>"))
        font.Underline = true;
    else if (StartsWith("</u>"))
        font.Underline = false;
    else
        return false;
    RemoveFront(gt + 1);
    return true;
}

bool TCardReader::DispatchStructure(std::size_t gt)
{
    if (StartsWith("<!--")) {
        RemoveComment(gt);
        return true;
    }
    if (StartsWith("<table") || StartsWith("<tr>") || StartsWith("<tr ") || StartsWith("<td>")
        || StartsWith("<td ") || StartsWith("</table")) {
        ReadTable(gt);
        return true;
    }
    if (StartsWith("<pre>") || StartsWith("<pre ") || StartsWith("</pre")) {
        ReadPre(m_front[1] != '/', gt);
        return true;
    }
    if (StartsWith("<p")) {
        ReadParagraph(gt);
        return true;
    } else if (StartsWith("</p>")) {
        m_card.AddAlignmentChange(TWMLAlignment::Left);
        LineStart();
    } else if (StartsWith("<select")) {
        LineStart();
        BeforeInline();
        m_card.AddSelect(ElementView(m_select));
        RemoveElement(m_select, gt);
        return true;
    } else if (!StartsWith("<template") && !StartsWith("</template"))
        return false;
    // The template's own tags go; its content is read like the card's.
    RemoveFront(gt + 1);
    return true;
}

void TCardReader::ReadCharacterData()
{
    const std::size_t lt = m_text.Find(m_lt);
    const std::size_t end = lt == kNotFound ? m_text.Size() : lt;
    const std::size_t gt = m_text.Find(m_gt);
    // Character data holding a ">" keeps only what follows its first ">".
    const std::size_t start = (gt != kNotFound && gt < end) ? gt + 1 : 0;
    if (m_inPre)
        AddPreformatted(m_text.RestView(start, end - start), m_front.substr(end, 5) == "</pre");
    else
        AddCharacterData(m_text.RestView(start, end - start));
    RemoveFront(end);
}

namespace {

    // The text with each run of blanks made one blank and the blanks at its ends removed.
    std::string CollapseBlanks(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (char c : text) {
            if (c != ' ' || (!out.empty() && out.back() != ' '))
                out += c;
        }
        if (!out.empty() && out.back() == ' ')
            out.pop_back();
        return out;
    }

} // namespace

namespace {

    // The character data of an element: everything outside its tags.
    std::string CharacterData(std::string_view element)
    {
        std::string out;
        bool inTag = false;
        for (char c : element) {
            if (c == '<' || c == '>')
                inTag = c == '<';
            else if (!inTag)
                out += c;
        }
        return out;
    }

} // namespace

void TCardReader::LineStart()
{
    m_lineHasText = false;
    m_pendingBlank = false;
}

bool TCardReader::AppendBlankToLastText()
{
    TWMLElementList& elements = m_card.Elements;
    if (elements.empty() || elements.back().Object->Class() != TWMLClass::Text)
        return false;
    std::string& text = elements.back().Object->As<TWMLText>().Text;
    const std::size_t before = HeapBytes(text);
    // Appending would double the room the text keeps; the record keeps exactly its text, and
    // what it grew by is counted as its records are.
    text += ' ';
    text.shrink_to_fit();
    m_card.m_bytesUsed += HeapBytes(text) - std::min(before, HeapBytes(text));
    return true;
}

// A blank met before this inline content shows now, at the end of the text before it when that
// is a text run, so that a link or a picture is not preceded by a record of its own.
void TCardReader::BeforeInline()
{
    if (m_pendingBlank && m_lineHasText && !AppendBlankToLastText())
        m_card.AddText(" ");
    m_pendingBlank = false;
    m_lineHasText = true;
}

void TCardReader::AddCharacterData(std::string_view data)
{
    if (data.empty())
        return;
    // Blanks at either end wait until something follows on the same line; line ends were made
    // blanks when the deck's lines were joined.
    const bool leading = data.front() == ' ';
    const bool trailing = data.back() == ' ';
    if (leading)
        m_pendingBlank = true;
    const bool collapsed = data.find("  ") == std::string_view::npos;
    const std::size_t first = data.find_first_not_of(' ');
    if (first != std::string_view::npos) {
        const std::size_t last = data.find_last_not_of(' ');
        const std::string_view inner = data.substr(first, last + 1 - first);
        // The blank goes to the end of the text run before, when there is one, so that it takes
        // that run's style rather than the next one's.
        const bool blank = m_pendingBlank && m_lineHasText && !AppendBlankToLastText();
        m_pendingBlank = false;
        m_lineHasText = true;
        // Most runs are taken as they stand, without a copy of their own.
        if (!blank && collapsed) {
            m_card.AddText(inner);
        } else {
            std::string text(blank ? " " : "");
            text.append(collapsed ? std::string(inner) : CollapseBlanks(inner));
            m_card.AddText(text);
        }
    }
    if (trailing)
        m_pendingBlank = true;
}

// Preformatted text keeps its blanks; each line end is a line break, except the one right after
// the start tag and the one right before the end tag.
void TCardReader::AddPreformatted(std::string_view data, bool beforeEnd)
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t feed = std::min(data.find('\n', pos), data.size());
        if (feed > pos) {
            m_card.AddText(data.substr(pos, feed - pos));
            m_lineHasText = true;
        }
        if (feed == data.size())
            break;
        const bool first = feed == 0 && m_preStart;
        const bool last = feed + 1 == data.size() && beforeEnd;
        if (!first && !last) {
            m_card.AddBR();
            m_lineHasText = false;
        }
        pos = feed + 1;
    }
    m_preStart = false;
}

void TCardReader::ReadPre(bool start, std::size_t gt)
{
    if (m_lineHasText)
        m_card.AddBR();
    LineStart();
    base::TFaceName& face = m_card.TextFont.Name;
    if (start && !m_inPre) {
        m_fontBeforePre = face;
        face = kFixedFace;
    } else if (!start && m_inPre) {
        face = m_fontBeforePre;
    }
    m_inPre = start;
    m_preStart = start;
    RemoveFront(gt + 1);
}

// A table becomes line breaks that mark its start with the number of columns, each row, each
// cell and its end; whoever shows the card lays the cells out in a grid.
void TCardReader::ReadTable(std::size_t gt)
{
    LineStart();
    if (StartsWith("<table")) {
        const std::string_view columns = GetAttributeView("columns", m_front.substr(0, gt + 1), "");
        m_card.AddBR("table " + std::string(columns));
    } else if (StartsWith("</table")) {
        m_card.AddBR("/table");
    } else {
        m_card.AddBR(m_front[2] == 'r' ? "row" : "cell");
    }
    RemoveFront(gt + 1);
}

void TCardReader::ReadPivrelVersion()
{
    auto record = std::make_unique<TWMLPivrelVersion>();
    record->NewestVersion = Attribute(m_pivrelValue, 0, m_text.Size(), "");
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->NewestVersion);
    m_card.Append("PIVRELVERSION", std::move(record), bytes);
}

void TCardReader::ReadDo()
{
    const std::string_view code = ElementView(m_do);
    if (!m_card.Affordable(EmptyBytes<TWMLBtn>() + 2 * code.size()))
        return;
    // The do element's text is not kept on the record: everything the button needs is read from it
    // here, and a copy would double what a card of buttons weighs.
    auto record = std::make_unique<TWMLBtn>();
    record->Alignment = m_card.Alignment;
    record->TextFont = m_card.TextFont;
    record->Parse(code);
    std::string key = record->Caption;
    std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Link) + HeapBytes(record->BtName)
        + HeapBytes(record->Caption) + HeapBytes(record->DoType);
    for (const TWMLPostField& field : record->PostFields)
        bytes += sizeof(TWMLPostField) + HeapBytes(field.Name) + HeapBytes(field.Value);
    m_card.Append(std::move(key), std::move(record), bytes);
}

void TCardReader::ReadLink()
{
    const TTextRange anchor = FindElement(m_text, m_a, m_text.Size());
    const std::size_t end = anchor.Found() ? anchor.End() : 0;
    const TTextRange go = FindElement(m_text, m_go, end);
    if (!go.Found()) {
        // An anchor of a prev or refresh task, or one that sets variables, says so in its record.
        const std::size_t start = AnchorTaskStart(end);
        TWMLTask task;
        if (start != kNotFound)
            task = ParseTask(m_text.RestView(start, TaskEnd(start, end) - start));
        if (task.Kind != TWMLTaskKind::Prev && task.Kind != TWMLTaskKind::Refresh) {
            if (task.SetVarNames.empty())
                task = TWMLTask {};
            task.Kind = TWMLTaskKind::Go;
        }
        task.Href = Attribute(m_anchorHref, 0, end, "");
        AddInlineLink(task, LinkText(end, end, end), end);
        return;
    }
    const bool post = Attribute(m_method, 0, end, "") == "post";
    const std::string link(Attribute(m_goHref, go.Pos, go.End(), ""));
    TWMLTask task = ParseTask(m_text.RestView(go.Pos, go.Count));
    task.Href = link;
    task.Post = post;
    AddInlineLink(task, LinkText(end, go.Pos, go.End()), end, m_text.RestView(go.Pos, go.Count));
}

// Where the anchor's prev, refresh or setvar begins, or kNotFound when the anchor holds none before
// its end or before the next anchor begins. The searches go through the reader's slots, so a card of
// many anchors is read in linear time.
std::size_t TCardReader::AnchorTaskStart(std::size_t end)
{
    std::size_t start = kNotFound;
    for (int slot : { m_prevTask, m_refreshTask, m_setvarTask }) {
        const std::size_t hit = m_text.Find(slot);
        if (hit != kNotFound && hit < end && (start == kNotFound || hit < start))
            start = hit;
    }
    // A task after the next anchor's start is that anchor's.
    const std::size_t nextAnchor = m_text.Find(m_a.Open, 1);
    if (start != kNotFound && nextAnchor != kNotFound && nextAnchor < start)
        return kNotFound;
    return start;
}

// The anchor's task text runs to the anchor's end, or to the next anchor when one begins first.
std::size_t TCardReader::TaskEnd(std::size_t start, std::size_t end)
{
    const std::size_t nextAnchor = m_text.Find(m_a.Open, 1);
    return nextAnchor != kNotFound && nextAnchor > start && nextAnchor < end ? nextAnchor : end;
}

// The link with its text's blanks treated as any text's; an anchor holding a picture becomes a
// picture link, the image record right after the link.
void TCardReader::AddInlineLink(const TWMLTask& task, std::string text, std::size_t end, std::string_view go)
{
    const TTextRange image = FindElement(m_text, m_img, end);
    const std::string_view imageCode
        = image.Found() ? m_text.RestView(image.Pos, image.Count) : std::string_view();
    // Beside a picture the text may stand after it too, as in an icon followed by its label.
    if (!imageCode.empty())
        text = CharacterData(m_text.RestView(0, end));
    const bool leading = !text.empty() && text.front() == ' ';
    const bool trailing = !text.empty() && text.back() == ' ';
    text = CollapseBlanks(text);
    if (text.empty() && !imageCode.empty())
        text = GetAttribute("alt", imageCode, "");
    if (leading)
        m_pendingBlank = true;
    BeforeInline();
    ReadPostFields(go);
    if (m_card.m_limitReached)
        return;
    m_card.AddLink(text, task, !imageCode.empty());
    if (!imageCode.empty() && !m_card.m_limitReached)
        m_card.AddImage(imageCode);
    if (trailing)
        m_pendingBlank = true;
}

void TCardReader::ReadPostFields(std::string_view go)
{
    TCutText rest(go);
    const TElementSlots postfield = AddElementSlots(rest, "<postfield", "</postfield>");
    while (!m_card.m_limitReached) {
        const TTextRange range = FindElement(rest, postfield, rest.Size());
        if (!range.Found())
            break;
        m_card.AddPostField(rest.Extract(range.Pos, range.Count));
        rest.Remove(range.Pos, range.Count);
    }
}

std::size_t TCardReader::FindOutsideCut(
    int slot, std::size_t from, std::size_t end, std::size_t cutFrom, std::size_t cutTo)
{
    if (from < cutFrom) {
        const std::size_t hit = m_text.Find(slot, from);
        if (hit != kNotFound && hit < cutFrom)
            return hit;
    }
    if (from < cutTo)
        from = cutTo;
    if (from >= end)
        return kNotFound;
    const std::size_t hit = m_text.Find(slot, from);
    return (hit != kNotFound && hit < end) ? hit : kNotFound;
}

// The anchor's text with its go element [cutFrom, cutTo) taken out: after the first ">" and up to
// the next "<".
std::string TCardReader::LinkText(std::size_t end, std::size_t cutFrom, std::size_t cutTo)
{
    const std::size_t gt = FindOutsideCut(m_linkGt, 0, end, cutFrom, cutTo);
    std::size_t start = gt == kNotFound ? 0 : gt + 1;
    if (start >= cutFrom && start < cutTo)
        start = cutTo;
    const std::size_t lt = FindOutsideCut(m_linkLt, start, end, cutFrom, cutTo);
    const std::size_t stop = lt == kNotFound ? end : lt;
    if (stop <= start)
        return {};
    if (start < cutFrom && stop >= cutTo) {
        std::string text(m_text.RestView(start, cutFrom - start));
        text.append(m_text.RestView(cutTo, stop - cutTo));
        return text;
    }
    return std::string(m_text.RestView(start, stop - start));
}

void TCardReader::ReadParagraph(std::size_t gt)
{
    const TTextRange paragraph = FindElement(m_text, m_p, m_text.Size());
    const std::size_t end = paragraph.Found() ? paragraph.End() : 0;
    const std::string_view align = Attribute(m_align, 0, end, "");
    if (align == "left")
        m_card.AddAlignmentChange(TWMLAlignment::Left);
    else if (align == "center")
        m_card.AddAlignmentChange(TWMLAlignment::Center);
    else if (align == "right")
        m_card.AddAlignmentChange(TWMLAlignment::Right);
    // The wrap mode is read from the start tag only: it holds for this paragraph and those after
    // it that do not name their own.
    const std::string_view mode = GetAttributeView("mode", m_front.substr(0, gt + 1), "");
    if (mode == "wrap" || mode == "nowrap")
        m_card.AddBR(mode);
    LineStart();
    RemoveFront(gt + 1);
}

void TCardReader::RemoveElement(const TElementSlots& slots, std::size_t gt)
{
    const TTextRange range = FindElement(m_text, slots, m_text.Size());
    // The text begins with the element, so the range starts at 0; the start tag goes in any case,
    // which keeps the walk moving.
    if (range.Found() && range.Pos == 0)
        RemoveFront(range.Count);
    else
        RemoveFront(gt + 1);
}

void TCardReader::RemoveComment(std::size_t gt)
{
    const std::string_view rest = Rest();
    if (gt >= 2 && rest.substr(gt - 2, 3) == "-->")
        RemoveFront(gt + 1);
    else
        RemoveFront(2);
}

bool TWMLCard::Parse(std::string_view code)
{
    const std::string_view card = GetElementView("card", code);
    ID = GetAttribute("id", card, "");
    NewContext = GetAttributeView("newcontext", card, "false") == "true";
    Title = GetAttribute("title", card, "");
    OnTimerURL = GetAttribute("ontimer", card, "");
    // The "onenterforward=" key would also match inside a longer name, so each is read from the
    // card's start tag only.
    const std::string_view startTag = card.substr(0, card.find('>'));
    const auto attributeTask = [startTag](std::string_view name) {
        TWMLTask task;
        task.Href = GetAttribute(name, startTag, "");
        if (!task.Href.empty())
            task.Kind = TWMLTaskKind::Go;
        return task;
    };
    OnEnterForward = attributeTask("onenterforward");
    OnEnterBackward = attributeTask("onenterbackward");
    OnTimer = attributeTask("ontimer");

    const std::size_t gt = code.find('>');
    const std::string_view body = gt == std::string_view::npos ? code : code.substr(gt + 1);
    // The template goes in front of the body; without one the body is read where it lies, since a
    // copy would be as large as the card.
    std::string joined;
    if (!Template.empty()) {
        joined.reserve(Template.size() + body.size());
        joined.append(Template);
        joined.append(body);
    }
    const std::string_view text = Template.empty() ? body : std::string_view(joined);

    m_byteLimit = SaturatingLimit(Limits.BytesPerInputByte, text.size(), Limits.Slack);
    m_bytesUsed = 0;
    m_limitReached = false;
    TCardReader(*this, text).Run();
    ReleaseSpareEntries();
    // Records added by hand after the parse are not limited.
    m_byteLimit = SIZE_MAX;
    return true;
}

void TWMLCard::ReleaseSpareEntries()
{
    // The parse counts each entry three times, for the room a growing list keeps and its moves;
    // the finished lists give that room back, so from then on a card costs one entry a record.
    Elements.shrink_to_fit();
    Variables.shrink_to_fit();
    const std::size_t spare = Elements.size() * (kElementBytes - sizeof(TWMLElement));
    m_bytesUsed -= std::min(m_bytesUsed, spare);
}

void TWMLCard::TimerExpired()
{
    Timer.Enabled = false;
    if (OnTimerTask)
        OnTimerTask(OnTimer);
    else if (OnTimerNavigate)
        OnTimerNavigate(OnTimerURL);
}

bool TWMLCard::Affordable(std::size_t bytes)
{
    if (!m_limitReached && bytes > m_byteLimit - m_bytesUsed)
        m_limitReached = true;
    return !m_limitReached;
}

void TWMLCard::Append(TWMLKey key, std::unique_ptr<TWMLObject> record, std::size_t bytes)
{
    bytes += key.HeapBytes();
    if (!Affordable(bytes))
        return;
    m_bytesUsed += bytes;
    Elements.push_back(TWMLElement { std::move(key), std::move(record) });
}

void TWMLCard::AddText(std::string_view text)
{
    auto record = std::make_unique<TWMLText>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    record->Text = text;
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Text);
    Append({}, std::move(record), bytes);
}

void TWMLCard::AddBR()
{
    AddBR({});
}

void TWMLCard::AddBR(std::string_view mode)
{
    auto record = std::make_unique<TWMLBR>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    record->Mode = mode;
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Mode);
    Append({}, std::move(record), bytes);
}

void TWMLCard::AddAlignmentChange(TWMLAlignment alignment)
{
    auto record = std::make_unique<TWMLAlignmentChange>();
    record->TextFont = TextFont;
    record->Alignment = alignment;
    const std::size_t bytes = ObjectBytes(*record);
    Append({}, std::move(record), bytes);
    Alignment = alignment;
}

void TWMLCard::AddLink(std::string_view link, std::string_view text, bool post, bool picture)
{
    TWMLTask task;
    task.Kind = TWMLTaskKind::Go;
    task.Href = link;
    task.Post = post;
    AddLink(text, task, picture);
}

void TWMLCard::AddLink(std::string_view text, const TWMLTask& task, bool picture)
{
    auto record = std::make_unique<TWMLLink>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    record->Link = task.Kind == TWMLTaskKind::Prev ? std::string("@prev") : task.Href;
    record->Text = text;
    record->Post = task.Post;
    record->Refresh = task.Kind == TWMLTaskKind::Refresh;
    record->Picture = picture;
    if (!task.SetVarNames.empty() || !task.SetVarValues.empty()) {
        TWMLVariable& variable = record->VarObject.Edit();
        variable.SetVarNames = task.SetVarNames;
        variable.SetVarValues = task.SetVarValues;
    }
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Link) + HeapBytes(record->Text);
    Append("Link", std::move(record), bytes);
}

void TWMLCard::AddEvent(std::string_view code)
{
    const std::string_view startTag = code.substr(0, code.find('>'));
    const std::string_view type = GetAttributeView("type", startTag, "");
    TWMLTask* binding = type == "onenterforward" ? &OnEnterForward
        : type == "onenterbackward"              ? &OnEnterBackward
        : type == "ontimer"                      ? &OnTimer
                                                 : nullptr;
    const std::size_t bytes = sizeof(TWMLTask) + code.size();
    if (binding == nullptr || !Affordable(bytes))
        return;
    m_bytesUsed += bytes;
    *binding = ParseTask(code.substr(startTag.size()));
    // The timer records show the address the timer leads to.
    if (binding == &OnTimer)
        OnTimerURL = OnTimer.Kind == TWMLTaskKind::Go ? OnTimer.Href : std::string();
}

void TWMLCard::AddTimer(std::string_view link, std::int32_t time)
{
    auto record = std::make_unique<TWMLTimer>();
    record->Link = link;
    record->Time = time;
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Link);
    Append({}, std::move(record), bytes);
}

void TWMLCard::AddInput(std::string_view code)
{
    if (!Affordable(EmptyBytes<TWMLInput>() + code.size()))
        return;
    auto record = std::make_unique<TWMLInput>();
    record->WMLCode = code;
    record->Alignment = Alignment;
    record->TextFont = TextFont;
    record->Parse(code);
    TWMLVariable* variable = &record->VarObject.Edit();
    std::string key = record->Title;
    std::string name = variable->VarName;
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Title) + HeapBytes(record->DefaultText)
        + HeapBytes(record->Size) + HeapBytes(record->MaxLength) + sizeof(TCardVariable) + HeapBytes(name);
    const std::size_t before = Elements.size();
    Append(std::move(key), std::move(record), bytes);
    if (Elements.size() > before)
        Variables.push_back(TCardVariable { std::move(name), variable });
}

void TWMLCard::AddImage(std::string_view code)
{
    if (!Affordable(EmptyBytes<TWMLImage>() + code.size()))
        return;
    // As with buttons, the element's text stays behind; an input keeps its own, which its format
    // mask is read from when it is shown and when its value is checked.
    auto record = std::make_unique<TWMLImage>();
    record->Alignment = Alignment;
    record->TextFont = TextFont;
    record->Parse(code);
    TWMLImage* image = record.get();
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(image->Alt) + HeapBytes(image->Src)
        + HeapBytes(image->LocalSrc) + HeapBytes(image->VSpave) + HeapBytes(image->HSpace)
        + HeapBytes(image->Align) + HeapBytes(image->Width) + HeapBytes(image->Height);
    const std::size_t before = Elements.size();
    Append("Image", std::move(record), bytes);
    if (Elements.size() > before && ImageLoader != nullptr) {
        const std::string src = image->Src;
        ImageLoader->LoadCardImage(*image, src);
    }
}

namespace {

    void ReadOptions(std::string_view code, TWMLVariable& variable)
    {
        // Each option is cut out after it is read, so that the next search finds the following one.
        TCutText rest(code);
        const TElementSlots option = AddElementSlots(rest, "<option", "</option>");
        for (;;) {
            const TTextRange range = FindElement(rest, option, rest.Size());
            if (!range.Found())
                break;
            const std::string element = rest.Extract(range.Pos, range.Count);
            variable.NameList.push_back(CollapseBlanks(GetElementTextView(element)));
            variable.ValueList.push_back(GetAttribute("value", element, ""));
            variable.OnPickList.push_back(GetAttribute("onpick", element, ""));
            rest.Remove(range.Pos, range.Count);
        }
    }

} // namespace

void TWMLCard::AddSelect(std::string_view code)
{
    auto record = std::make_unique<TWMLSelect>();
    TWMLVariable& v = record->VarObject.Edit();
    // The attributes are read over the whole select, options included, before any option is cut.
    record->Title = GetAttribute("title", code, "");
    v.VarName = GetAttribute("name", code, "VarX");
    v.iVarName = GetAttribute("iname", code, "VarIX");
    v.iVarValue = GetAttribute("ivalue", code, "");
    v.DefaultValue = GetAttribute("value", code, "");
    v.DefaultIValue = GetAttribute("ivalue", code, "");
    v.PostVariable = false;
    if (record->Title.empty())
        record->Title = "Options (" + GetAttribute("name", code, "") + "):";
    record->Multiple = GetAttributeView("multiple", code, "false") != "false";
    ReadOptions(code, v);
    // The option lists are complete: the room they kept for growing goes back.
    v.NameList.shrink_to_fit();
    v.ValueList.shrink_to_fit();
    v.OnPickList.shrink_to_fit();
    TWMLVariable* variable = &v;
    const std::size_t bytes = ObjectBytes(*record) + HeapBytes(record->Title) + sizeof(TCardVariable);
    const std::size_t before = Elements.size();
    Append("Select", std::move(record), bytes);
    if (Elements.size() > before)
        Variables.push_back(TCardVariable { {}, variable });
}

void TWMLCard::AddPostField(std::string_view code)
{
    auto record = std::make_unique<TWMLPostVariable>();
    TWMLVariable& v = record->VarObject.Edit();
    v.VarName = GetAttribute("name", code, "VarX");
    v.VarValue = GetAttribute("value", code, "");
    v.DefaultValue = v.VarValue;
    v.PostVariable = true;
    const std::size_t bytes = ObjectBytes(*record);
    Append("postfield", std::move(record), bytes);
}

TWMLPostFields LinkPostFields(const TWMLElementList& elements, std::size_t index)
{
    std::size_t first = std::min(index, elements.size());
    while (first > 0 && elements[first - 1].Object
        && elements[first - 1].Object->Class() == TWMLClass::PostVariable)
        --first;
    TWMLPostFields fields;
    for (std::size_t i = first; i < index && i < elements.size(); ++i) {
        const TWMLVariable& variable = *elements[i].Object->VarObject;
        fields.push_back({ variable.VarName, variable.DefaultValue });
    }
    return fields;
}

std::int32_t TimerValue(std::string_view value)
{
    // The interval is kept within what 100 times the value can hold in 32 bits.
    constexpr std::int32_t kLongest = INT32_MAX / 100;
    if (value.empty())
        return 1;
    std::int64_t result = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return 1;
        if (result <= kLongest)
            result = result * 10 + (c - '0');
    }
    return result > kLongest ? kLongest : static_cast<std::int32_t>(result);
}

} // namespace pivrel::wml
