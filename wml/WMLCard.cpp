#include "wml/WMLCard.h"

#include "wml/WMLCutText.h"

#include <climits>
#include <cstring>

namespace pivrel::wml {

namespace {

    // What a record costs besides its text, so that a flood of empty records is limited as well.
    constexpr std::size_t kRecordBytes = 64;

    std::size_t ListBytes(const TStringList& list)
    {
        std::size_t bytes = 0;
        for (const std::string& entry : list)
            bytes += entry.size();
        return bytes;
    }

    std::size_t VariableBytes(const TWMLVariable& v)
    {
        return v.VarName.size() + v.VarValue.size() + v.iVarName.size() + v.iVarValue.size()
            + ListBytes(v.NameList) + ListBytes(v.ValueList) + ListBytes(v.OnPickList)
            + ListBytes(v.SetVarNames) + ListBytes(v.SetVarValues) + v.DefaultValue.size()
            + v.DefaultIValue.size();
    }

    std::size_t ObjectBytes(const TWMLObject& record)
    {
        return kRecordBytes + record.WMLCode.size() + VariableBytes(record.VarObject);
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
        RemoveElement(m_br, gt);
    } else if (StartsWith("<a ") || StartsWith("<a>")) {
        ReadLink();
        RemoveElement(m_a, gt);
    } else if (StartsWith("<input")) {
        m_card.AddInput(ElementView(m_input));
        RemoveElement(m_input, gt);
    } else if (StartsWith("<img")) {
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
    if (StartsWith("<center"))
        m_card.AddAlignmentChange(TWMLAlignment::Center);
    else if (StartsWith("</center"))
        m_card.AddAlignmentChange(TWMLAlignment::Left);
    else if (StartsWith("<small") || StartsWith("</big"))
        font.Size -= 2;
    else if (StartsWith("</small") || StartsWith("<big"))
        font.Size += 2;
    else if (StartsWith("<strong>") || StartsWith("<b>"))
        font.Bold = true;
    else if (StartsWith("</strong>") || StartsWith("</b>"))
        font.Bold = false;
    else if (StartsWith("<i>"))
        font.Italic = true;
    else if (StartsWith("</i>"))
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
    if (StartsWith("</tr>"))
        m_card.AddBR();
    else if (StartsWith("<td>"))
        m_card.AddText(" -");
    else if (StartsWith("</td>"))
        m_card.AddText("- ");
    else if (StartsWith("<p")) {
        ReadParagraph(gt);
        return true;
    } else if (StartsWith("</p>"))
        m_card.AddAlignmentChange(TWMLAlignment::Left);
    else if (StartsWith("<select")) {
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
    m_card.AddText(m_text.RestView(start, end - start));
    RemoveFront(end);
}

void TCardReader::ReadPivrelVersion()
{
    auto record = std::make_unique<TWMLPivrelVersion>();
    record->NewestVersion = Attribute(m_pivrelValue, 0, m_text.Size(), "");
    const std::size_t bytes = ObjectBytes(*record) + record->NewestVersion.size();
    m_card.Append("PIVRELVERSION", std::move(record), bytes);
}

void TCardReader::ReadDo()
{
    const std::string_view code = ElementView(m_do);
    if (!m_card.Affordable(kRecordBytes + 2 * code.size()))
        return;
    auto record = std::make_unique<TWMLBtn>();
    record->WMLCode = code;
    record->Alignment = m_card.Alignment;
    record->TextFont = m_card.TextFont;
    record->Parse(record->WMLCode);
    std::string key = record->Caption;
    std::size_t bytes = ObjectBytes(*record) + record->Link.size() + record->BtName.size()
        + record->Caption.size() + record->DoType.size();
    for (const TWMLPostField& field : record->PostFields)
        bytes += field.Name.size() + field.Value.size();
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
        const std::string text = LinkText(end, end, end);
        TWMLTask task;
        if (start != kNotFound)
            task = ParseTask(m_text.RestView(start, TaskEnd(start, end) - start));
        if (task.Kind == TWMLTaskKind::Prev || task.Kind == TWMLTaskKind::Refresh
            || !task.SetVarNames.empty()) {
            if (task.Kind != TWMLTaskKind::Prev && task.Kind != TWMLTaskKind::Refresh)
                task.Kind = TWMLTaskKind::Go;
            task.Href = Attribute(m_anchorHref, 0, end, "");
            m_card.AddLink(text, task);
        } else {
            m_card.AddLink(Attribute(m_anchorHref, 0, end, ""), text, false);
        }
        return;
    }
    const bool post = Attribute(m_method, 0, end, "") == "post";
    // The post fields come before the link itself, whatever the method.
    ReadPostFields(m_text.RestView(go.Pos, go.Count));
    if (m_card.m_limitReached)
        return;
    const std::string link(Attribute(m_goHref, go.Pos, go.End(), ""));
    TWMLTask task = ParseTask(m_text.RestView(go.Pos, go.Count));
    task.Href = link;
    task.Post = post;
    m_card.AddLink(LinkText(end, go.Pos, go.End()), task);
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
    const std::string_view align = Attribute(m_align, 0, paragraph.Found() ? paragraph.End() : 0, "");
    if (align == "left")
        m_card.AddAlignmentChange(TWMLAlignment::Left);
    else if (align == "center")
        m_card.AddAlignmentChange(TWMLAlignment::Center);
    else if (align == "right")
        m_card.AddAlignmentChange(TWMLAlignment::Right);
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
    std::string text;
    text.reserve(Template.size() + body.size());
    text.append(Template);
    text.append(body);

    m_byteLimit = SaturatingLimit(Limits.BytesPerInputByte, text.size(), Limits.Slack);
    m_bytesUsed = 0;
    m_limitReached = false;
    TCardReader(*this, text).Run();
    // Records added by hand after the parse are not limited.
    m_byteLimit = SIZE_MAX;
    return true;
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

void TWMLCard::Append(std::string key, std::unique_ptr<TWMLObject> record, std::size_t bytes)
{
    bytes += key.size();
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
    const std::size_t bytes = ObjectBytes(*record) + text.size();
    Append({}, std::move(record), bytes);
}

void TWMLCard::AddBR()
{
    auto record = std::make_unique<TWMLBR>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    const std::size_t bytes = ObjectBytes(*record);
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

void TWMLCard::AddLink(std::string_view link, std::string_view text, bool post)
{
    auto record = std::make_unique<TWMLLink>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    record->Link = link;
    record->Text = text;
    record->Post = post;
    const std::size_t bytes = ObjectBytes(*record) + link.size() + text.size();
    Append("Link", std::move(record), bytes);
}

void TWMLCard::AddLink(std::string_view text, const TWMLTask& task)
{
    auto record = std::make_unique<TWMLLink>();
    record->TextFont = TextFont;
    record->Alignment = Alignment;
    record->Link = task.Kind == TWMLTaskKind::Prev ? std::string("@prev") : task.Href;
    record->Text = text;
    record->Post = task.Post;
    record->Refresh = task.Kind == TWMLTaskKind::Refresh;
    record->VarObject.SetVarNames = task.SetVarNames;
    record->VarObject.SetVarValues = task.SetVarValues;
    const std::size_t bytes = ObjectBytes(*record) + record->Link.size() + text.size();
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
    if (binding == nullptr || !Affordable(kRecordBytes + code.size()))
        return;
    m_bytesUsed += code.size();
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
    const std::size_t bytes = ObjectBytes(*record) + link.size();
    Append({}, std::move(record), bytes);
}

void TWMLCard::AddInput(std::string_view code)
{
    if (!Affordable(kRecordBytes + code.size()))
        return;
    auto record = std::make_unique<TWMLInput>();
    record->WMLCode = code;
    record->Alignment = Alignment;
    record->TextFont = TextFont;
    record->Parse(code);
    TWMLVariable* variable = &record->VarObject;
    std::string key = record->Title;
    std::string name = variable->VarName;
    const std::size_t bytes = ObjectBytes(*record) + record->Title.size() + record->DefaultText.size()
        + record->Size.size() + record->MaxLength.size() + name.size();
    const std::size_t before = Elements.size();
    Append(std::move(key), std::move(record), bytes);
    if (Elements.size() > before)
        Variables.push_back(TCardVariable { std::move(name), variable });
}

void TWMLCard::AddImage(std::string_view code)
{
    if (!Affordable(kRecordBytes + code.size()))
        return;
    auto record = std::make_unique<TWMLImage>();
    record->WMLCode = code;
    record->Alignment = Alignment;
    record->TextFont = TextFont;
    record->Parse(code);
    TWMLImage* image = record.get();
    const std::size_t bytes = ObjectBytes(*record) + image->Alt.size() + image->Src.size()
        + image->LocalSrc.size() + image->VSpave.size() + image->HSpace.size() + image->Align.size()
        + image->Width.size() + image->Height.size();
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
            variable.NameList.push_back(GetElementText(element));
            variable.ValueList.push_back(GetAttribute("value", element, ""));
            variable.OnPickList.push_back(GetAttribute("onpick", element, ""));
            rest.Remove(range.Pos, range.Count);
        }
    }

} // namespace

void TWMLCard::AddSelect(std::string_view code)
{
    auto record = std::make_unique<TWMLSelect>();
    TWMLVariable& v = record->VarObject;
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
    TWMLVariable* variable = &v;
    const std::size_t bytes = ObjectBytes(*record) + record->Title.size();
    const std::size_t before = Elements.size();
    Append("Select", std::move(record), bytes);
    if (Elements.size() > before)
        Variables.push_back(TCardVariable { {}, variable });
}

void TWMLCard::AddPostField(std::string_view code)
{
    auto record = std::make_unique<TWMLPostVariable>();
    TWMLVariable& v = record->VarObject;
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
        const TWMLVariable& variable = elements[i].Object->VarObject;
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
