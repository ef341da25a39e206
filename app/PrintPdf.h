#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pivrel::app {

// pivrel --print-pdf OUT.pdf [--card ID] ADDRESS
struct TPrintPdfOptions {
    std::string Output;
    std::string Card;
    std::string Address;
};

// No value when the arguments ask for something else; error is set when they ask for a PDF
// but are malformed.
std::optional<TPrintPdfOptions> ParsePrintPdfArguments(
    const std::vector<std::string>& arguments, std::string& error);

// Opens the address in the main window off screen as the location box would and prints the card
// shown through the window's print engine into a PDF file on A4 paper. 0 when the file was
// written, 1 otherwise (the reason on standard error). Needs a QApplication.
int RunPrintPdf(const TPrintPdfOptions& options);

} // namespace pivrel::app
