// Times a click on a link to a deck on a loopback HTTP server, in the real main window: from the
// mouse press to the new card laid out and painted. The two decks link to each other, so every
// click fetches, parses and draws a whole deck again.
//   bench_link_click [CLICKS] [CARD_BYTES]

#include "app/Dialogs.h"
#include "app/fMainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"

namespace {

using pivrel::testsupport::TLoopbackHttpServer;

// A deck of one card titled title, with a link to target first and filler text up to about
// bytes in all: the size of a typical WAP card.
std::string MakeDeck(const std::string& title, const std::string& target, std::size_t bytes)
{
    std::string deck = "<?xml version=\"1.0\"?>\n<wml><card id=\"c\" title=\"" + title + "\"><p><a href=\""
        + target + "\">Next deck</a><br/>";
    while (deck.size() + 40 < bytes)
        deck += "Some words of <b>filler</b> text.<br/>\n";
    return deck + "</p></card></wml>\n";
}

void Serve(TLoopbackHttpServer& server, const std::string& deck)
{
    server.AddResponse(
        pivrel::testsupport::MakeResponse("HTTP/1.0 200 OK", { "Content-Type: text/vnd.wap.wml" }, deck));
}

// Clicks the middle of the first link of the card shown; false when there is none or no card
// was drawn within two seconds.
bool ClickFirstLink(pivrel::app::TMainForm& form)
{
    pivrel::view::TRichView& view = *form.RichView1;
    if (view.JumpInfos().empty())
        return false;
    const auto& jump = view.JumpInfos().front();
    const QPoint inDocument(jump.Left + jump.Width / 2, jump.Top + jump.Height / 2);
    const QPoint inViewport = inDocument - view.ToDocument(QPoint(0, 0));
    const int before = form.RenderCount();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, inViewport);
    QElapsedTimer wait;
    wait.start();
    while (form.RenderCount() == before && wait.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (form.RenderCount() == before)
        return false;
    // The card counts as shown once it is on the screen: paint it now rather than when the
    // loop gets round to it.
    form.repaint();
    return true;
}

// Shows deck A, then clicks from deck to deck; the time of each click in milliseconds, or an
// empty list when a click showed nothing.
std::vector<double> TimeClicks(int clicks, std::size_t cardBytes)
{
    TLoopbackHttpServer server;
    const std::string deckA = MakeDeck("A", server.Url("/b.wml"), cardBytes);
    const std::string deckB = MakeDeck("B", server.Url("/a.wml"), cardBytes);
    for (int i = 0; i <= clicks; ++i)
        Serve(server, i % 2 == 0 ? deckA : deckB);

    pivrel::app::TPresetDialogs dialogs;
    pivrel::app::TMainForm form(dialogs);
    form.SetOpenHomeOnShow(false);
    form.resize(422, 431);
    form.show();
    QCoreApplication::processEvents();
    form.Navigate(server.Url("/a.wml"), true, true, false);

    std::vector<double> times;
    for (int i = 0; i < clicks; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!ClickFirstLink(form)) {
            std::fprintf(stderr, "bench_link_click: click %d showed no card\n", i + 1);
            return {};
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const std::size_t cardBytes = argc > 2 ? std::size_t(std::max(100, std::atoi(argv[2]))) : 1000;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The per-user files of this run go to a folder of its own, removed at the end.
    char home[] = "/tmp/pivrel-bench-XXXXXX";
    if (::mkdtemp(home) == nullptr)
        return 2;
    ::setenv("PIVREL_HOME", home, 1);

    QApplication application(argc, argv);
    std::vector<double> times = TimeClicks(clicks, cardBytes);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    std::printf("link click to card shown, %d clicks, %zu-byte decks: min %.2f ms, median %.2f ms, "
                "mean %.2f ms, max %.2f ms\n",
        clicks, cardBytes, times.front(), times[times.size() / 2], sum / double(times.size()), times.back());
    return 0;
}
