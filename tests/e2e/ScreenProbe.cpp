// The eyes of the end-to-end test: it grabs the X screen the browser runs on and finds the places
// to click, because the browser's widgets have no X windows of their own that xdotool could name.
//
//   screen-probe colours FILE.png         number of distinct colours in a picture
//   screen-probe size FILE.png            its width and height
//   screen-probe grab OUT.png X Y W H     saves that part of the screen
//   screen-probe find-edit X Y W H        a point inside the topmost wide white field
//   screen-probe find-link X Y W H        a point on the topmost hot link (blue underline)
//
// Points are printed as "x y" in screen coordinates; the exit status is 1 when nothing is
// found or the picture cannot be read, 64 on bad usage.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 64;

bool IsWhite(QRgb pixel)
{
    return qRed(pixel) >= 250 && qGreen(pixel) >= 250 && qBlue(pixel) >= 250;
}

// The hot-link style is pure blue; anti-aliased glyph edges drift from it, the underline does not.
bool IsLinkBlue(QRgb pixel)
{
    return qBlue(pixel) >= 200 && qRed(pixel) <= 50 && qGreen(pixel) <= 50;
}

// The longest run of pixels on one row that satisfy test: its first column and its length.
template <typename Test> std::pair<int, int> LongestRun(const QImage& image, int y, Test test)
{
    int bestStart = 0;
    int bestLength = 0;
    int start = 0;
    for (int x = 0; x <= image.width(); ++x) {
        if (x < image.width() && test(image.pixel(x, y)))
            continue;
        if (x - start > bestLength) {
            bestStart = start;
            bestLength = x - start;
        }
        start = x + 1;
    }
    return { bestStart, bestLength };
}

// The editable location box is the first white field as wide as half the window: the menu bar
// and the tool bar above it are drawn in the window colour, and a tool bar picture is far
// narrower. A highlight line that runs from the window's left edge, as the style draws between
// tool bar rows, is no field: the box has its label to its left. The rows just below the field's
// top edge are white above its text, whatever the text. The point lies a little inside the
// field's left end, below its top edge.
std::optional<QPoint> FindEditField(const QImage& image)
{
    for (int y = 0; y + 6 < image.height(); ++y) {
        const auto [start, length] = LongestRun(image, y, IsWhite);
        if (start > 0 && length >= image.width() / 2
            && LongestRun(image, y + 3, IsWhite).second >= length / 2)
            return QPoint(start + 20, y + 6);
    }
    return std::nullopt;
}

// A link is drawn underlined, so its underline is a long straight run of the link colour; the
// point is a few pixels above the underline's middle, on the link's text.
std::optional<QPoint> FindLink(const QImage& image)
{
    constexpr int kMinUnderline = 12;
    for (int y = 0; y < image.height(); ++y) {
        const auto [start, length] = LongestRun(image, y, IsLinkBlue);
        if (length >= kMinUnderline)
            return QPoint(start + length / 2, y > 4 ? y - 4 : y);
    }
    return std::nullopt;
}

std::size_t CountColours(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

std::optional<QRect> ParseRect(const std::vector<std::string>& args, std::size_t first)
{
    if (args.size() != first + 4)
        return std::nullopt;
    int values[4];
    for (std::size_t i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = QString::fromStdString(args[first + i]).toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

QImage GrabScreen(const QRect& rect)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    return screen->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

int PrintPoint(std::optional<QPoint> point, const QRect& rect)
{
    if (!point)
        return 1;
    std::printf("%d %d\n", rect.x() + point->x(), rect.y() + point->y());
    return 0;
}

int Usage()
{
    std::fputs("usage: screen-probe colours FILE | size FILE | grab OUT X Y W H | find-edit X Y W H"
               " | find-link X Y W H\n",
        stderr);
    return kExitUsage;
}

int Run(const std::vector<std::string>& args)
{
    if (args.size() == 2 && (args[0] == "colours" || args[0] == "size")) {
        const QImage image(QString::fromStdString(args[1]));
        if (image.isNull()) {
            std::fprintf(stderr, "screen-probe: cannot read %s\n", args[1].c_str());
            return 1;
        }
        if (args[0] == "size")
            std::printf("%d %d\n", image.width(), image.height());
        else
            std::printf("%zu\n", CountColours(image.convertToFormat(QImage::Format_RGB32)));
        return 0;
    }
    const bool grab = !args.empty() && args[0] == "grab";
    const std::optional<QRect> rect = ParseRect(args, grab ? 2 : 1);
    if (!rect)
        return Usage();
    const QImage image = GrabScreen(*rect);
    if (image.isNull())
        return 1;
    if (grab)
        return image.save(QString::fromStdString(args[1]), "PNG") ? 0 : 1;
    if (args[0] == "find-edit")
        return PrintPoint(FindEditField(image), *rect);
    if (args[0] == "find-link")
        return PrintPoint(FindLink(image), *rect);
    return Usage();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Reading a picture file needs no display; the offscreen platform keeps it that way.
    if (!args.empty() && (args[0] == "colours" || args[0] == "size"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return Run(args);
}
