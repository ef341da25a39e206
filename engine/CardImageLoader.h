#pragma once

#include "images/PictureLoader.h"
#include "wml/WMLCard.h"

#include <string>

namespace pivrel::net {
class THttpCli;
} // namespace pivrel::net

namespace pivrel::engine {

class TWMLBrowser;

// Fetches the pictures of the cards the engine's deck parses: the source is resolved against the
// page now shown and fetched with a client of its own that carries the engine's agent and proxy
// settings; the body stays in memory, bounded by the largest picture worth decoding.
class TBrowserImageLoader : public wml::TCardImageLoader
{
public:
    static constexpr const char* kPictureAccept = "image/x-wap,wbmp; */*";

    explicit TBrowserImageLoader(TWMLBrowser& browser);

    void LoadCardImage(wml::TWMLImage& image, const std::string& src) override;

    // The address a source names, seen from the page now shown.
    std::string PictureAddress(const std::string& src) const;

    // Ends the picture fetch now running, if any; the picture then shows its alternative text.
    void Abort();

private:
    images::TPictureResponse FetchPicture(const std::string& address);

    TWMLBrowser& m_browser;
    net::THttpCli* m_running = nullptr;
};

} // namespace pivrel::engine
