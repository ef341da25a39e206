#include "engine/CardImageLoader.h"

#include "base/Ascii.h"
#include "base/Event.h"
#include "engine/URLParser.h"
#include "engine/WMLBrowser.h"
#include "images/AltTextBox.h"
#include "images/Wbmp.h"
#include "net/HttpProt.h"

#include <algorithm>
#include <cctype>
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

namespace {

    bool IsLocalAddress(const std::string& address)
    {
        return base::StartsWithIgnoringCase(address, "file:");
    }

} // namespace

void TBrowserImageLoader::LoadCardImage(wml::TWMLImage& image, const std::string& src)
{
    const std::string address = PictureAddress(src);
    const std::string& page = m_browser.CurrentURL();
    const bool fromNetwork = page.rfind("http:", 0) == 0 || page.rfind("https:", 0) == 0;
    std::shared_ptr<const images::TPictureResult> decoded;
    if (!m_aborted && !(fromNetwork && IsLocalAddress(address)))
        decoded = Decoded(address, image.Alt);
    if (decoded) {
        // A copy of the bitmap shares its pixels: the budget counted them once, when decoded.
        image.Image = decoded->Image;
        image.SourceWidth = decoded->SourceWidth;
        image.SourceHeight = decoded->SourceHeight;
        return;
    }
    image.Image = images::DrawAltTextBox(image.Alt, m_browser.TextMeasurer());
    image.SourceWidth = 0;
    image.SourceHeight = 0;
}

std::shared_ptr<const images::TPictureResult> TBrowserImageLoader::Decoded(
    const std::string& address, const std::string& alt)
{
    const auto known = m_decoded.find(address);
    if (known != m_decoded.end())
        return known->second;
    auto result = std::make_shared<images::TPictureResult>();
    images::LoadPicture(address, alt, *result, m_browser.TextMeasurer(),
        [this](const std::string& where) { return FetchPicture(where); });
    std::shared_ptr<const images::TPictureResult> entry;
    const std::size_t size = result->Image.PixelBytes();
    if (result->SourceWidth > 0 && m_budgetUsed <= m_browser.PictureBudget
        && size <= m_browser.PictureBudget - m_budgetUsed) {
        m_budgetUsed += size;
        entry = std::move(result);
    }
    // A picture that Stop cut short is not remembered as missing: the next deck may ask again.
    if (!m_aborted)
        m_decoded[address] = entry;
    return entry;
}

void TBrowserImageLoader::Abort()
{
    m_aborted = true;
    if (m_running != nullptr)
        m_running->Abort();
}

void TBrowserImageLoader::Reset()
{
    m_aborted = false;
    m_budgetUsed = 0;
    m_decoded.clear();
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
    client.SetCaFile(m_browser.HttpCli.CaFile());
    client.SetURL(address);
    client.SetMaxBodySize(static_cast<std::int64_t>(images::kMaxPictureBytes));
    std::ostringstream body;
    client.SetDocStream(&body);
    base::Fire(m_browser.OnProgress, address, std::int64_t(0), std::int64_t(-1));
    client.OnDocData = [this](net::THttpCli& sender, const char*, int) {
        base::Fire(m_browser.OnProgress, sender.URL(), sender.ReceivedCount(), sender.ContentLength());
    };
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
