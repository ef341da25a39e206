// Laying a large document out for A4 paper: the print engine's FormatPages on the text of the
// 1 MB bench deck (every card's text runs, links and line breaks in the card renderer's styles),
// with QTextDocument paginating the same runs in the same fonts on the same page as the yardstick.
#include "wml/Charset.h"
#include "wml/WMLDeck.h"

#include "view/CardRender.h"
#include "view/PtblRV.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

#include "bench/DeckGenerator.h"

namespace {

using namespace pivrel;
using namespace pivrel::view;

struct TRun {
    std::string Text;
    base::TFontDesc Font;
    bool Link = false;
    bool Break = false;
};

const std::vector<TRun>& DeckRuns()
{
    static const std::vector<TRun> runs = [] {
        std::vector<TRun> out;
        wml::TWMLDeck deck;
        deck.Parse(base::SplitLines(wml::DeckTextToUtf8(bench::GenerateDeck(1 << 20))));
        for (const wml::TWMLCardEntry& entry : deck.CardList) {
            for (const wml::TWMLElement& element : entry.Card->Elements) {
                const wml::TWMLObject& record = *element.Object;
                if (const auto* text = record.AsIf<wml::TWMLText>())
                    out.push_back({ text->Text, record.TextFont, false, false });
                else if (const auto* link = record.AsIf<wml::TWMLLink>())
                    out.push_back({ link->Text, record.TextFont, true, false });
                else if (record.AsIf<wml::TWMLBR>())
                    out.push_back({ "", record.TextFont, false, true });
            }
            out.push_back({ "", {}, false, true });
        }
        return out;
    }();
    return runs;
}

QPrinter& A4Printer()
{
    static QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::PdfFormat);
    return printer;
}

void BM_RVPrintFormatPages(benchmark::State& state)
{
    TRVStyle style;
    TCardRenderer::SetupStyles(style);
    TRichView view;
    view.SetStyle(&style);
    bool newParagraph = true;
    for (const TRun& run : DeckRuns()) {
        if (run.Break) {
            newParagraph = true;
            continue;
        }
        const int styleNo
            = run.Link ? TCardRenderer::LinkStyleFor(run.Font) : TCardRenderer::TextStyleFor(run.Font);
        view.AppendItem(run.Text, styleNo, 0, newParagraph ? 0 : -1);
        newParagraph = false;
    }
    TQtRVPrinter printer(A4Printer());
    TRVPrint print;
    print.SetPrinter(&printer);
    print.AssignSource(view);
    int pages = 0;
    for (auto _ : state) {
        pages = print.FormatPages();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    state.counters["items"] = view.ItemCount();
}

BENCHMARK(BM_RVPrintFormatPages)->Unit(benchmark::kMillisecond);

void BM_QTextDocumentPaginate(benchmark::State& state)
{
    TRVStyle style;
    TCardRenderer::SetupStyles(style);
    QTextDocument document;
    QTextCursor cursor(&document);
    bool first = true;
    for (const TRun& run : DeckRuns()) {
        if (run.Break) {
            if (!first)
                cursor.insertBlock();
            continue;
        }
        first = false;
        const int styleNo
            = run.Link ? TCardRenderer::LinkStyleFor(run.Font) : TCardRenderer::TextStyleFor(run.Font);
        QTextCharFormat format;
        format.setFont(style.TextStyle(styleNo).MakeFont());
        cursor.insertText(QString::fromStdString(run.Text), format);
    }
    // The page QTextDocument::print lays out on: the printer's page in points, 20 mm margins.
    const QSizeF page = A4Printer().pageLayout().fullRectPoints().size();
    const double margin = 20 / 25.4 * 72;
    int flip = 0;
    for (auto _ : state) {
        // A new page size makes the layout start over, as FormatPages does.
        document.setPageSize(QSizeF(page.width() + (flip++ & 1), page.height()));
        document.setDocumentMargin(margin);
        benchmark::DoNotOptimize(document.pageCount());
    }
    state.counters["pages"] = document.pageCount();
}

BENCHMARK(BM_QTextDocumentPaginate)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
