#pragma once

#include <QIcon>
#include <QPixmap>

namespace pivrel::app {

// The tool bar's twelve 16 x 16 pictures, drawn in code: 0 back, 1 forward, 2 home, 3 reload,
// 4 stop, 5 properties, 6 print preview, 7 save, 8 open, 9 (spare), 10 print, 11 search.
inline constexpr int kToolbarImageCount = 12;

enum class TImageTone { Cold, Hot };

// One picture; the hot tone is the brighter one shown under the mouse pointer.
QPixmap ToolbarImage(int index, TImageTone tone);
// The cold picture as the normal face and the hot one as the active face.
QIcon ToolbarIcon(int index);
// The 16 x 16 arrow on "prev" buttons of a card.
QPixmap PrevGlyph();
// The program's icon in every size shipped with it; empty when none is found.
QIcon ApplicationIcon();

} // namespace pivrel::app
