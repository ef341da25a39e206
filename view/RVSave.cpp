#include "view/RichView.h"

#include <QFileInfo>

#include <fstream>

namespace pivrel::view {

namespace {

    const char* const kLineEnd = "\r\n";

    std::string Directory(const std::string& fileName)
    {
        return QFileInfo(QString::fromStdString(fileName)).absolutePath().toStdString();
    }

    int HtmlSize(int points)
    {
        const int limits[] = { 8, 10, 12, 14, 18, 24 };
        int size = 1;
        for (int limit : limits) {
            if (points <= limit)
                return size;
            ++size;
        }
        return size;
    }

    // Repeated and paragraph-leading spaces stay visible as non-breaking ones.
    std::string EscapeHtml(std::string_view text, bool opensParagraph)
    {
        std::string out;
        char previous = opensParagraph ? ' ' : '\0';
        for (char c : text) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case ' ':
                out += previous == ' ' ? "&nbsp;" : " ";
                break;
            case '\n':
                out += "<BR>";
                break;
            case '\r':
                break;
            default:
                out += c;
            }
            previous = c;
        }
        return out;
    }

    std::string QuoteAttribute(std::string_view value)
    {
        std::string out = "\"";
        for (char c : value) {
            if (c == '"')
                out += "%22";
            else
                out += c;
        }
        return out + "\"";
    }

} // namespace

bool TRichView::SaveAsText(const std::string& fileName, int lineWidth)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::string directory = Directory(fileName);
    for (std::size_t i = 0; i < m_items->size(); ++i) {
        const TRVItem& item = (*m_items)[i];
        if (i > 0 && !item.Info.SameAsPrev)
            out << kLineEnd;
        if (item.Info.StyleNo >= 0)
            out << item.Text;
        else if (item.Info.StyleNo == rvsBreak)
            out << std::string(std::size_t(std::max(lineWidth, 0)), '-');
        else if ((item.Info.StyleNo == rvsComponent || item.Info.StyleNo == rvsHotspot)
            && OnSaveComponentToFile)
            out << OnSaveComponentToFile(*this, directory, item.Info.Gr, rvsfText);
    }
    out.flush();
    return bool(out);
}

bool TRichView::SaveAsHTML(
    const std::string& fileName, const std::string& title, const std::string& imagesPrefix, TRVSaveOptions)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::string directory = Directory(fileName);
    out << "<HTML><HEAD><TITLE>" << EscapeHtml(title, false) << "</TITLE>" << kLineEnd;
    // Text is held and written as UTF-8 whatever character set the styles name.
    out << "<META HTTP-EQUIV=\"Content-Type\"  CONTENT=\"text/html; CHARSET=utf-8\">" << kLineEnd;
    out << "</HEAD>" << kLineEnd;
    out << "<BODY bgcolor=" << ColorToHtml(m_style ? m_style->Color() : clWindow) << kLineEnd;
    if (m_backgroundStyle != bsNoBitmap && !m_backgroundBitmap.isNull()) {
        const QFileInfo info(QString::fromStdString(fileName));
        const std::string name = imagesPrefix + info.completeBaseName().toStdString() + "_background.png";
        if (m_backgroundBitmap.save(QString::fromStdString(directory + "/" + name), "PNG"))
            out << "      background=" << QuoteAttribute(name) << kLineEnd;
        if (m_backgroundStyle != bsTiledAndScrolled)
            out << "      bgproperties=fixed" << kLineEnd;
    }
    out << "      leftmargin=" << m_leftMargin << ">" << kLineEnd;

    static const TRVStyle defaultStyle;
    const TRVStyle& style = m_style ? *m_style : defaultStyle;
    bool centreOpen = false;
    int jumpNo = 0;
    for (std::size_t i = 0; i < m_items->size(); ++i) {
        const TRVItem& item = (*m_items)[i];
        const bool opensParagraph = i == 0 || !item.Info.SameAsPrev;
        if (opensParagraph) {
            if (centreOpen)
                out << "</CENTER>" << kLineEnd;
            centreOpen = style.ParaStyle(item.Info.ParaNo).Alignment == rvaCenter;
            if (centreOpen)
                out << "<CENTER>";
            else if (i > 0)
                out << kLineEnd << "<BR>";
        }
        if (item.Info.StyleNo == rvsComponent || item.Info.StyleNo == rvsHotspot) {
            // A hot control is a numbered link like a hot text, so it takes its number here too.
            std::string url;
            if (item.Info.StyleNo == rvsHotspot) {
                if (OnURLNeeded)
                    url = OnURLNeeded(*this, jumpNo + m_firstJumpNo);
                ++jumpNo;
            }
            if (!url.empty())
                out << "<A href=" << QuoteAttribute(url) << ">";
            if (OnSaveComponentToFile)
                out << OnSaveComponentToFile(*this, directory, item.Info.Gr, rvsfHTML);
            if (!url.empty())
                out << "</A>";
            continue;
        }
        if (item.Info.StyleNo < 0)
            continue;
        const TFontInfo& font = style.TextStyle(item.Info.StyleNo);
        std::string url;
        if (font.Jump) {
            if (OnURLNeeded)
                url = OnURLNeeded(*this, jumpNo + m_firstJumpNo);
            ++jumpNo;
        }
        if (!url.empty())
            out << "<A href=" << QuoteAttribute(url) << ">";
        out << "<FONT size=" << HtmlSize(font.Size) << " color=" << ColorToHtml(font.Color)
            << " face=" << QuoteAttribute(font.FontName) << ">";
        out << ((font.Style & fsBold) ? "<B>" : "") << ((font.Style & fsItalic) ? "<I>" : "")
            << ((font.Style & fsUnderline) ? "<U>" : "") << ((font.Style & fsStrikeOut) ? "<S>" : "");
        out << EscapeHtml(item.Text, opensParagraph);
        out << ((font.Style & fsStrikeOut) ? "</S>" : "") << ((font.Style & fsUnderline) ? "</U>" : "")
            << ((font.Style & fsItalic) ? "</I>" : "") << ((font.Style & fsBold) ? "</B>" : "") << "</FONT>";
        if (!url.empty())
            out << "</A>";
    }
    if (centreOpen)
        out << "</CENTER>";
    out << kLineEnd << "</BODY></HTML>";
    out.flush();
    return bool(out);
}

} // namespace pivrel::view
