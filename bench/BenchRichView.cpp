// The document view's Format and paint on a large card-like document: 10,000 items of styled
// text runs, hot links and a few controls at 400 pixels, with QTextDocument laying out the same
// runs in the same fonts at the same width as the yardstick.
#include "view/RichView.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

using namespace pivrel::view;

constexpr int kItems = 10000;
constexpr int kWidth = 400;

// The text styles of the card renderer: three sizes in four font styles, three jump styles.
void SetUpStyle(TRVStyle& style)
{
    auto& text = style.TextStyles();
    text.clear();
    for (int size : { 8, 10, 12 }) {
        for (TFontStyles fontStyle :
            { 0u, unsigned(fsBold), unsigned(fsItalic), unsigned(fsBold | fsItalic) }) {
            TFontInfo info;
            info.Size = size;
            info.Style = fontStyle;
            info.Color = clBlack;
            text.push_back(info);
        }
    }
    for (int size : { 8, 10, 12 }) {
        TFontInfo info;
        info.Size = size;
        info.Style = fsUnderline;
        info.Color = clBlue;
        info.Jump = true;
        text.push_back(info);
    }
    style.ParaStyles().assign(3, TParaInfo {});
    style.ParaStyles()[1].Alignment = rvaCenter;
    style.ParaStyles()[2].Alignment = rvaRight;
}

struct TRun {
    std::string Text;
    int StyleNo;
    int ParaNo; // -1 continues the paragraph
    bool Control;
};

// The same runs on every machine: sentences of varied length, a paragraph every eight runs,
// a link every fifth run and a button every thousandth.
std::vector<TRun> MakeRuns()
{
    static const char* const kWords[] = { "wireless", "deck", "card", "the", "of", "markup", "a", "browser",
        "language", "phone", "timer", "select", "option", "input", "variable", "navigation" };
    std::vector<TRun> runs;
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < kItems; ++i) {
        if (i % 1000 == 999) {
            runs.push_back({ "", -5, -1, true });
            continue;
        }
        std::string text;
        const unsigned words = 2 + next() % 12;
        for (unsigned w = 0; w < words; ++w)
            text += std::string(w ? " " : "") + kWords[next() % 16];
        text += ' ';
        const bool link = i % 5 == 4;
        const int styleNo = link ? 12 + int(next() % 3) : int(next() % 12);
        const int paraNo = i % 8 == 0 ? int(next() % 3) : -1;
        runs.push_back({ text, styleNo, paraNo, false });
    }
    return runs;
}

void Fill(TRichView& view, const std::vector<TRun>& runs)
{
    for (const TRun& run : runs) {
        if (run.Control) {
            auto button = new QPushButton("Button");
            button->resize(80, 24);
            view.AppendControl("", button, false, run.ParaNo);
        } else {
            view.AppendItem(run.Text, run.StyleNo, 0, run.ParaNo);
        }
    }
}

// The benchmark's document in a view of the benchmark's text width, in a window windowWidth wide.
void SetUpView(TRichView& view, TRVStyle& style, int windowWidth)
{
    SetUpStyle(style);
    view.SetStyle(&style);
    view.SetVScrollVisible(true);
    view.SetMaxTextWidth(kWidth);
    view.resize(windowWidth, 600);
    Fill(view, MakeRuns());
}

void BM_RichViewFormat(benchmark::State& state)
{
    TRVStyle style;
    TRichView view;
    SetUpView(view, style, 600);
    for (auto _ : state) {
        view.Format();
        benchmark::DoNotOptimize(view.DocumentHeight());
    }
    state.counters["lines"] = double(view.LineInfos().size());
    state.counters["height"] = view.DocumentHeight();
}

BENCHMARK(BM_RichViewFormat)->Unit(benchmark::kMillisecond);

void BM_QTextDocumentLayout(benchmark::State& state)
{
    TRVStyle style;
    SetUpStyle(style);
    QTextDocument document;
    document.setDocumentMargin(0);
    QTextCursor cursor(&document);
    bool first = true;
    for (const TRun& run : MakeRuns()) {
        if (run.ParaNo >= 0 && !first)
            cursor.insertBlock();
        first = false;
        if (run.Control) {
            cursor.insertText(QString(12, QChar(' '))); // a button-wide gap
            continue;
        }
        QTextCharFormat format;
        format.setFont(style.TextStyles()[std::size_t(run.StyleNo)].MakeFont());
        cursor.insertText(QString::fromStdString(run.Text), format);
    }
    int flip = 0;
    for (auto _ : state) {
        // A new width makes the layout start over, as Format does.
        document.setTextWidth(kWidth + (flip++ & 1));
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
    state.counters["height"] = document.size().height();
}

BENCHMARK(BM_QTextDocumentLayout)->Unit(benchmark::kMillisecond);

// One page down and a synchronous repaint of the client area, as the Page Down key does.
void BM_RichViewPageScrollRepaint(benchmark::State& state)
{
    TRVStyle style;
    TRichView view;
    SetUpView(view, style, 420);
    view.show();
    view.Format();
    QApplication::processEvents();
    const int page = view.viewport()->height() / view.StepSize();
    int position = 0;
    for (auto _ : state) {
        position += page;
        if (position > view.verticalScrollBar()->maximum())
            position = 0;
        view.ScrollTo(position);
        view.viewport()->repaint();
    }
}

BENCHMARK(BM_RichViewPageScrollRepaint)->Unit(benchmark::kMicrosecond);

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
