#include "app/PrintPdf.h"

#include "base/Ascii.h"

#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/fMainForm.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QTimer>

#include <iostream>

namespace pivrel::app {

namespace {

    constexpr int kLoadTimeoutMs = 60000;

    // Empty when the card asked for (any, when none was named) is on show, else why not.
    std::string ShownCardProblem(TMainForm& form, const std::string& card, const std::string& address)
    {
        const wml::TWMLDeck& deck = form.Browser().WMLDeck;
        if (deck.CardList.empty())
            return "nothing could be shown from " + address;
        const auto index = std::size_t(deck.CurrentCard);
        if (card.empty()
            || (index < deck.CardList.size() && base::SameTextIgnoringCase(deck.CardList[index].Key, card)))
            return {};
        return "the deck has no card \"" + card + "\"";
    }

} // namespace

std::optional<TPrintPdfOptions> ParsePrintPdfArguments(
    const std::vector<std::string>& arguments, std::string& error)
{
    error.clear();
    if (arguments.empty() || arguments[0] != "--print-pdf")
        return std::nullopt;
    const std::string usage = "usage: pivrel --print-pdf OUT.pdf [--card ID] ADDRESS";
    TPrintPdfOptions options;
    std::size_t i = 1;
    if (i < arguments.size())
        options.Output = arguments[i++];
    while (i < arguments.size()) {
        const std::string& argument = arguments[i];
        if (argument == "--card" && i + 1 < arguments.size()) {
            options.Card = arguments[i + 1];
            i += 2;
        } else if (options.Address.empty() && !argument.empty() && argument[0] != '-') {
            options.Address = argument;
            ++i;
        } else {
            break;
        }
    }
    if (i != arguments.size() || options.Output.empty() || options.Output[0] == '-'
        || options.Address.empty()) {
        error = usage;
        return std::nullopt;
    }
    return options;
}

int RunPrintPdf(const TPrintPdfOptions& options)
{
    TStderrDialogs dialogs;
    TMainForm form(dialogs);
    form.SetOpenHomeOnShow(false);
    form.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    const THeadlessLoad load = LoadForHeadless(form, options.Address, options.Card, kLoadTimeoutMs);
    const std::string& address = load.Address;

    std::string problem = load.TimedOut ? "the load took longer than 60 seconds" : std::string();
    if (problem.empty() && !load.Rendered)
        problem = dialogs.LastMessage().empty() ? "nothing could be shown from " + address
                                                : dialogs.LastMessage();
    if (problem.empty())
        problem = ShownCardProblem(form, options.Card, address);
    if (!problem.empty()) {
        std::cerr << "pivrel: failed: " << problem << std::endl;
        return 1;
    }
    // The widgets of the card take their final look in the loop.
    QCoreApplication::processEvents();

    QPrinter& printer = form.RVPrint1->QtPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(options.Output));
    form.PrintShown(1, true);
    const QFileInfo written(QString::fromStdString(options.Output));
    if (!written.exists() || written.size() == 0) {
        std::cerr << "pivrel: failed: cannot write " << options.Output << std::endl;
        return 1;
    }
    return 0;
}

} // namespace pivrel::app
