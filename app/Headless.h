#pragma once

#include "app/Dialogs.h"

#include <optional>
#include <string>
#include <vector>

namespace pivrel::app {

// pivrel --screenshot OUT.png [--size WxH] [--viewport WxH] [--card ID] ADDRESS
struct TScreenshotOptions {
    std::string Output;
    int Width = 0; // 0 keeps the window's design size
    int Height = 0;
    int ViewportWidth = 0; // 0 leaves the card area as the window gives it
    int ViewportHeight = 0;
    std::string Card;
    std::string Address;
};

// Reads the headless render's arguments. No value when the arguments ask for the normal window;
// error is set when they ask for a render but are malformed.
std::optional<TScreenshotOptions> ParseScreenshotArguments(
    const std::vector<std::string>& arguments, std::string& error);

// Without a display the render runs on Qt's offscreen platform; must run before the application
// object exists.
void PrepareHeadlessPlatform();

// The address that shows the card: any fragment is replaced by "#" + card.
std::string AddressOfCard(const std::string& address, const std::string& card);

// No box may block a render: every box goes to standard error, questions are answered No and
// inputs cancelled. The last error text is the reason a failed render reports.
class TStderrDialogs : public TDialogs
{
public:
    void ShowError(QWidget* parent, const std::string& caption, const std::string& text) override;
    void ShowInformation(QWidget* parent, const std::string& caption, const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) override;
    bool InputText(
        QWidget* parent, const std::string& caption, const std::string& prompt, std::string& value) override;

    const std::string& LastMessage() const { return m_lastMessage; }

private:
    void Print(const std::string& kind, const std::string& text);

    std::string m_lastMessage;
};

// Opens the address in the real main window off screen, waits until the card is shown or the
// load has failed, and saves a picture of the whole window. 0 when a card was shown, 1 otherwise
// (the reason on standard error). Needs a QApplication.
int RunScreenshot(const TScreenshotOptions& options);

class TMainForm;

// How a headless load of an address ended.
struct THeadlessLoad {
    std::string Address;
    bool TimedOut = false;
    bool Rendered = false;
};

// Opens the command line's address (and card) in the window as the location box would, giving
// up with Stop after timeoutMs.
THeadlessLoad LoadForHeadless(
    TMainForm& form, const std::string& argument, const std::string& card, int timeoutMs);

} // namespace pivrel::app
