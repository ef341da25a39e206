#pragma once

#include "images/PictureLoader.h"
#include "wml/WMLCard.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace pivrel::net {
class THttpCli;
} // namespace pivrel::net

namespace pivrel::engine {

class TWMLBrowser;

// Fetches the pictures of the cards the engine's deck parses: the source is resolved against the
// page now shown and fetched with a client of its own that carries the engine's agent, proxy and
// trust settings; the body stays in memory, bounded by the largest picture worth decoding.
//
// Each address is fetched and decoded once per deck and shared by every record that names it,
// and the pictures of one deck together may take the browser's PictureBudget decoded: past that a
// picture shows its alternative text, so that a deck naming one huge picture many times cannot
// take the memory of the machine. A deck from the network gets no picture from the local disk.
class TBrowserImageLoader : public wml::TCardImageLoader
{
public:
    static constexpr const char* kPictureAccept = "image/x-wap,wbmp; */*";

    explicit TBrowserImageLoader(TWMLBrowser& browser);

    void LoadCardImage(wml::TWMLImage& image, const std::string& src) override;

    // The address a source names, seen from the page now shown.
    std::string PictureAddress(const std::string& src) const;

    // Ends the picture fetch now running, if any, and every one the deck still asks for; those
    // pictures then show their alternative text.
    void Abort();
    // Forgets the pictures of the deck that goes, and ends an Abort.
    void Reset();

    // Ends an Abort, keeping the deck's pictures: the next card built fetches its own again.
    void Resume() { m_aborted = false; }

    // Bytes the deck's decoded pictures take so far.
    std::size_t BudgetUsed() const { return m_budgetUsed; }

private:
    images::TPictureResponse FetchPicture(const std::string& address);
    std::shared_ptr<const images::TPictureResult> Decoded(const std::string& address, const std::string& alt);

    TWMLBrowser& m_browser;
    net::THttpCli* m_running = nullptr;
    bool m_aborted = false;
    std::size_t m_budgetUsed = 0;
    // Decoded pictures of the deck by address; one that failed, or did not fit the budget, is held
    // as a null entry.
    std::map<std::string, std::shared_ptr<const images::TPictureResult>> m_decoded;
};

} // namespace pivrel::engine
