#pragma once

#include "wml/WMLObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pivrel::wml {

enum class TWMLCardStyles : int { csList = 0, csSet = 1 };

// The face of the running font inside preformatted text; desktops without it have a fixed-width
// stand-in under this name.
inline constexpr std::string_view kFixedFace = "Courier New";

// Fetches and decodes a card's picture into its record while the card is parsed. The picture
// subsystem implements it; without one, an image record keeps an empty picture.
class TCardImageLoader
{
public:
    virtual ~TCardImageLoader() = default;
    virtual void LoadCardImage(TWMLImage& image, const std::string& src) = 0;
};

// The card's one-shot timer as state; whoever shows the card runs it on its event loop and calls
// TWMLCard::TimerExpired when it fires.
struct TCardTimer {
    bool Enabled = false;
    std::int32_t Interval = 1000;
};

// An entry of the card's Variables list: the record's variable, owned by the record.
struct TCardVariable {
    std::string Key;
    TWMLVariable* Variable = nullptr;
};

// Limits that keep a malformed card from costing more than a bounded multiple of its size.
struct TCardParseLimits {
    // Bytes that the records of one card may hold together: this many times the card's text
    // (template included) plus Slack. Past that the rest of the card is dropped.
    std::size_t BytesPerInputByte = 32;
    std::size_t Slack = std::size_t(1) << 20;
};

class TWMLCard : public TWMLObject
{
public:
    TWMLClass Class() const override { return TWMLClass::Card; }

    std::string ID;
    std::string Title;
    bool NewContext = false;
    TWMLCardStyles Style = TWMLCardStyles::csList;
    TCardTimer Timer;
    TWMLElementList Elements;
    std::string Language;
    std::vector<TCardVariable> Variables;
    std::string Template;
    std::string OnTimerURL;
    // The card's event bindings: the onenterforward, onenterbackward and ontimer attributes as go
    // tasks, replaced by an onevent element of the same type.
    TWMLTask OnEnterForward;
    TWMLTask OnEnterBackward;
    TWMLTask OnTimer;

    // Used, not owned: fetches pictures during Parse when set.
    TCardImageLoader* ImageLoader = nullptr;
    TCardParseLimits Limits;
    // Called by TimerExpired with OnTimerURL; the engine navigates there (added to the history,
    // not fresh, not posted).
    std::function<void(const std::string& url)> OnTimerNavigate;
    // When set, TimerExpired hands it the OnTimer task instead of calling OnTimerNavigate.
    std::function<void(const TWMLTask& task)> OnTimerTask;

    // Fills the card from its card element text; always true.
    bool Parse(std::string_view code);

    // What the records of the last Parse cost in memory, as the byte limit counts it.
    std::size_t RecordBytes() const { return m_bytesUsed; }

    // Whether the last Parse dropped the rest of the card for the byte limit.
    bool LimitReached() const { return m_limitReached; }

    void TimerExpired();

    void AddText(std::string_view text);
    void AddBR();
    // A line break that also marks a change of layout: "wrap" and "nowrap" for the paragraphs
    // that follow, "table N" (N the columns as written), "row", "cell" and "/table" for a table.
    void AddBR(std::string_view mode);
    void AddAlignmentChange(TWMLAlignment alignment);
    void AddLink(std::string_view link, std::string_view text, bool post, bool picture = false);
    // A link that follows the task: its address (or "@prev"), its refresh flag and its setvars.
    void AddLink(std::string_view text, const TWMLTask& task, bool picture = false);
    // Binds an onevent element's task to the card.
    void AddEvent(std::string_view code);
    void AddTimer(std::string_view link, std::int32_t time);
    void AddInput(std::string_view code);
    void AddImage(std::string_view code);
    void AddSelect(std::string_view code);
    void AddPostField(std::string_view code);

private:
    friend class TCardReader;

    // Appends a record that holds `bytes` bytes of text, unless that would pass the byte limit of
    // the running parse; then the record is dropped and the parse stops.
    void Append(TWMLKey key, std::unique_ptr<TWMLObject> record, std::size_t bytes);
    // False, and the parse stops, when a record of at least `bytes` bytes would pass the limit.
    bool Affordable(std::size_t bytes);
    // Frees the room the element and variable lists kept for growing, once the parse is done.
    void ReleaseSpareEntries();

    std::size_t m_byteLimit = SIZE_MAX;
    std::size_t m_bytesUsed = 0;
    bool m_limitReached = false;
};

// The post fields of the link at index: the post field records right in front of it, in their
// order. Those of other links, cards or buttons never belong to it.
TWMLPostFields LinkPostFields(const TWMLElementList& elements, std::size_t index);

// The integer a timer value denotes when it is all digits, otherwise 1; a value beyond the 32-bit
// range gives the largest number that still fits when multiplied by 100.
std::int32_t TimerValue(std::string_view value);

} // namespace pivrel::wml
