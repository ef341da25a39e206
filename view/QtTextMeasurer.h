#pragma once

#include "base/TextMeasurer.h"

#include <QFont>

namespace pivrel::view {

// Measures and draws the alternative text of a missing picture with a Qt font, so that the box
// looks like the rest of the window's text.
class TQtTextMeasurer : public base::TTextMeasurer
{
public:
    explicit TQtTextMeasurer(const QFont& font);

    base::TTextSize MeasureText(std::string_view text) const override;
    void DrawText(
        base::TBitmap& bitmap, int x, int y, std::string_view text, const base::TRect& clip) const override;

private:
    QFont m_font;
};

} // namespace pivrel::view
