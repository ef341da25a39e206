#pragma once

#include <memory>

namespace pivrel::base {

template <typename T> class TWeakAnchor;

// A reference to an object that may be destroyed while the reference is held: a callback
// posted to the loop, or a handler that may delete its own caller, asks Lock before it touches
// the object, and gets the object or null.
template <typename T> class TWeakRef
{
public:
    TWeakRef() = default;

    // The object while it lives, null once it has gone.
    T* Lock() const
    {
        const std::shared_ptr<T*> strong = m_target.lock();
        return strong ? *strong : nullptr;
    }

    bool Expired() const { return m_target.expired(); }

private:
    friend class TWeakAnchor<T>;

    explicit TWeakRef(const std::shared_ptr<T*>& target)
        : m_target(target)
    { }

    std::weak_ptr<T*> m_target;
};

// The object's side: a member that hands out weak references to its owner and ends them all
// when it goes (or earlier, at Reset, for an owner whose destructor must cut them first).
template <typename T> class TWeakAnchor
{
public:
    explicit TWeakAnchor(T& owner)
        : m_target(std::make_shared<T*>(&owner))
    { }

    TWeakAnchor(const TWeakAnchor&) = delete;
    TWeakAnchor& operator=(const TWeakAnchor&) = delete;

    TWeakRef<T> Ref() const { return TWeakRef<T>(m_target); }

    void Reset() { m_target.reset(); }

private:
    std::shared_ptr<T*> m_target;
};

} // namespace pivrel::base
