#pragma once

#include <QString>

#include <string_view>

namespace pivrel::view {

// The core's text is UTF-8; this is how it becomes a Qt string.
inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace pivrel::view
