#pragma once

#include <functional>
#include <utility>

namespace pivrel::base {

// Events are std::function members; an unset one is simply skipped.
template <typename Signature, typename... Args>
void Fire(const std::function<Signature>& handler, Args&&... args)
{
    if (handler)
        handler(std::forward<Args>(args)...);
}

} // namespace pivrel::base
