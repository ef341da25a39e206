#include "engine/CardImageLoader.h"

#include "engine/URLParser.h"
#include "engine/WMLBrowser.h"
#include "images/Wbmp.h"
#include "net/HttpProt.h"

#include <sstream>

namespace pivrel::engine {

TBrowserImageLoader::TBrowserImageLoader(TWMLBrowser& browser)
    : m_browser(browser)
{ }

std::string TBrowserImageLoader::PictureAddress(const std::string& src) const
{
    // The document of the page is dropped so that a relative source joins its directory.
    TURLParser parser;
    parser.Resolve(m_browser.CurrentURL(), true);
    parser.Document.clear();
    return parser.Resolve(src, false);
}

void TBrowserImageLoader::LoadCardImage(wml::TWMLImage& image, const std::string& src)
{
    images::TPictureResult result;
    images::LoadPicture(PictureAddress(src), image.Alt, result, m_browser.TextMeasurer(),
        [this](const std::string& address) { return FetchPicture(address); });
    image.Image = std::move(result.Image);
    image.SourceWidth = result.SourceWidth;
    image.SourceHeight = result.SourceHeight;
}

void TBrowserImageLoader::Abort()
{
    if (m_running != nullptr)
        m_running->Abort();
}

images::TPictureResponse TBrowserImageLoader::FetchPicture(const std::string& address)
{
    net::THttpCli client(m_browser.Loop());
    client.SetAccept(kPictureAccept);
    client.SetAgent(m_browser.Agent);
    client.SetProxy(m_browser.ProxyHost());
    client.SetProxyPort(std::to_string(m_browser.ProxyPort()));
    client.SetProxyUsername(m_browser.ProxyUser());
    client.SetProxyPassword(m_browser.ProxyPassword());
    client.SetURL(address);
    client.SetMaxBodySize(static_cast<std::int64_t>(images::kMaxPictureBytes));
    std::ostringstream body;
    client.SetDocStream(&body);
    m_browser.UseCookieJar(client);

    // The client is known only while its request runs, so that Stop can reach it.
    struct TRunning {
        net::THttpCli*& slot;

        ~TRunning() { slot = nullptr; }
    } running { m_running };

    m_running = &client;
    client.Get();
    return { client.StatusCode(), body.str() };
}

} // namespace pivrel::engine
