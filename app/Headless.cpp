#include "app/Headless.h"

#include "base/Ascii.h"

#include "app/CommandLine.h"
#include "app/fMainForm.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace pivrel::app {

namespace {

    // A render that neither shows nor fails within this time is stopped and counts as failed.
    constexpr int kRenderTimeoutMs = 60000;

    // Text for one line of standard error: the boxes' line breaks are carriage returns.
    std::string OneLine(std::string text)
    {
        for (char& c : text) {
            if (c == '\r' || c == '\n')
                c = ' ';
        }
        return text;
    }

} // namespace

std::optional<TScreenshotOptions> ParseScreenshotArguments(
    const std::vector<std::string>& arguments, std::string& error)
{
    error.clear();
    if (arguments.empty() || arguments[0] != "--screenshot")
        return std::nullopt;
    TScreenshotOptions options;
    const std::string usage
        = "usage: pivrel --screenshot OUT.png [--size WxH] [--viewport WxH] [--card ID] ADDRESS";
    std::size_t i = 1;
    if (i >= arguments.size()) {
        error = usage;
        return std::nullopt;
    }
    options.Output = arguments[i++];
    while (i < arguments.size()) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if ((argument == "--size" || argument == "--viewport") && hasValue) {
            const bool viewport = argument == "--viewport";
            if (!ParseSize(arguments[i + 1], viewport ? options.ViewportWidth : options.Width,
                    viewport ? options.ViewportHeight : options.Height)) {
                error = "pivrel: bad size \"" + arguments[i + 1] + "\" (expected WxH)";
                return std::nullopt;
            }
            i += 2;
        } else if (argument == "--card" && hasValue) {
            options.Card = arguments[i + 1];
            i += 2;
        } else if (options.Address.empty() && (argument.empty() || argument[0] != '-' || argument == "-")) {
            options.Address = argument;
            ++i;
        } else {
            error = usage;
            return std::nullopt;
        }
    }
    if (options.Output.empty() || options.Address.empty()) {
        error = usage;
        return std::nullopt;
    }
    return options;
}

void PrepareHeadlessPlatform()
{
    const bool hasDisplay = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (!hasDisplay && std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

std::string AddressOfCard(const std::string& address, const std::string& card)
{
    if (card.empty())
        return address;
    return address.substr(0, address.find('#')) + "#" + card;
}

void TStderrDialogs::Print(const std::string& kind, const std::string& text)
{
    m_lastMessage = OneLine(text);
    std::cerr << "pivrel: " << kind << ": " << m_lastMessage << std::endl;
}

void TStderrDialogs::ShowError(QWidget*, const std::string&, const std::string& text)
{
    Print("error", text);
}

void TStderrDialogs::ShowInformation(QWidget*, const std::string&, const std::string& text)
{
    Print("information", text);
}

bool TStderrDialogs::AskYesNo(QWidget*, const std::string&, const std::string& text)
{
    Print("question answered No", text);
    return false;
}

bool TStderrDialogs::InputText(QWidget*, const std::string&, const std::string& prompt, std::string&)
{
    Print("input cancelled", prompt);
    return false;
}

namespace {

    // Whether the card that the address names is the one on show.
    bool CardShown(TMainForm& form, const std::string& card)
    {
        const wml::TWMLDeck& deck = form.Browser().WMLDeck;
        if (deck.CardList.empty())
            return false;
        if (card.empty())
            return true;
        const auto index = std::size_t(deck.CurrentCard);
        if (index >= deck.CardList.size())
            return false;
        return base::SameTextIgnoringCase(deck.CardList[index].Key, card);
    }

} // namespace

THeadlessLoad LoadForHeadless(
    TMainForm& form, const std::string& argument, const std::string& card, int timeoutMs)
{
    THeadlessLoad load;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        load.TimedOut = true;
        form.Browser().Stop();
    });
    watchdog.start(timeoutMs);
    const int rendersBefore = form.RenderCount();
    load.Address = AddressOfCard(AddressFromArgument(argument), card);
    form.Navigate(load.Address, true, true, false);
    watchdog.stop();
    load.Rendered = form.RenderCount() > rendersBefore;
    return load;
}

int RunScreenshot(const TScreenshotOptions& options)
{
    TStderrDialogs dialogs;
    TMainForm form(dialogs);
    form.SetOpenHomeOnShow(false);
    if (options.Width > 0)
        form.resize(options.Width, options.Height);
    form.show();
    if (options.ViewportWidth > 0)
        form.SetViewportSize(options.ViewportWidth, options.ViewportHeight);
    // Let the first showing (settings, proxy) run before the address is opened.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    const THeadlessLoad load = LoadForHeadless(form, options.Address, options.Card, kRenderTimeoutMs);
    const bool timedOut = load.TimedOut;
    const std::string& address = load.Address;

    const bool shown = !timedOut && load.Rendered && CardShown(form, options.Card);
    if (!shown) {
        std::string reason = timedOut ? "the load took longer than 60 seconds" : dialogs.LastMessage();
        if (reason.empty())
            reason = options.Card.empty() || form.Browser().WMLDeck.CardList.empty()
                ? "nothing could be shown from " + address
                : "the deck has no card \"" + options.Card + "\"";
        std::cerr << "pivrel: failed: " << reason << std::endl;
        return 1;
    }
    // Layout and painting of the new card happen in the loop.
    QCoreApplication::processEvents();
    const QPixmap picture = form.grab();
    if (!picture.save(QString::fromStdString(options.Output), "PNG")) {
        std::cerr << "pivrel: failed: cannot write " << options.Output << std::endl;
        return 1;
    }
    return 0;
}

} // namespace pivrel::app
