#pragma once

#include "base/StringList.h"

#include <memory>
#include <string>

class QPixmap;

namespace pivrel::wml {
class TWMLCard;
}

namespace pivrel::view {

class TPVBtn;

// What the card settings of the window say about how a card is shown.
struct TCardDisplaySettings {
    bool UseBackImage = false;
    std::string BackImageFile;
    int BackImageMode = 0; // 0 stretched, 1 tiled, 2 tiled and scrolled
    bool Transparent = true;
};

// The main window as card rendering and the card widgets see it: its caption, status bar,
// location box, actions, lists and deferred navigation.
class TCardHost
{
public:
    virtual ~TCardHost() = default;

    virtual void SetStatusText(int panel, const std::string& text) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetLocationText(const std::string& url) = 0;
    // The document shown, byte for byte, and the character set its response named.
    virtual void SetPageSource(std::shared_ptr<const std::string> bytes, const std::string& charset) = 0;
    virtual void AddRecentURL(const std::string& url) = 0;
    virtual void EnableStop(bool enabled) = 0;
    virtual void EnableBack(bool enabled) = 0;
    virtual void EnableForward(bool enabled) = 0;
    // PendingURL := url, PendingRefresh := refresh, and LoadTheURLTimer enabled: the navigation
    // starts from the timer, never inside a widget's own handler.
    virtual void SetPendingURL(const std::string& url, bool refresh) = 0;
    // A pick in a single-choice list: PendingURL := url and LoadTheURLTimer enabled, with
    // PendingRefresh left as the last button click set it.
    virtual void SetPendingPick(const std::string& url) = 0;
    // The window's handler of a do button: applies its setvars and defers its navigation.
    // sender.VarObject() is nullptr once the deck that held the button is gone: then there are no
    // setvars to apply.
    virtual void CardButtonClick(TPVBtn& sender, const std::string& link) = 0;
    // True when the announced version is newer than this program (the window may ask about the
    // download).
    virtual bool CompareAnnouncedVersion(const std::string& announced) = 0;
    // Runs the card's timer on the window's event loop (its Interval and Enabled are set).
    virtual void StartCardTimer(wml::TWMLCard& card) = 0;
    virtual TCardDisplaySettings CardDisplaySettings() const = 0;
    // The 16 x 16 glyph of "prev" buttons.
    virtual QPixmap PrevButtonGlyph() const = 0;
};

} // namespace pivrel::view
