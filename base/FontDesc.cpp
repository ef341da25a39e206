#include "base/FontDesc.h"

#include <functional>
#include <mutex>
#include <set>

namespace pivrel::base {

namespace {

    // The names live until the process ends: fonts held by static objects may outlive any owner.
    const std::string* Intern(std::string_view name)
    {
        static std::mutex mutex;
        static auto* const names = new std::set<std::string, std::less<>>;
        const std::lock_guard<std::mutex> lock(mutex);
        auto found = names->find(name);
        if (found == names->end())
            found = names->emplace(name).first;
        return &*found;
    }

} // namespace

TFaceName::TFaceName()
{
    static const std::string* const arial = Intern("Arial");
    m_name = arial;
}

TFaceName::TFaceName(std::string_view name)
    : m_name(Intern(name))
{ }

} // namespace pivrel::base
