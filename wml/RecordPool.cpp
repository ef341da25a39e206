#include "wml/RecordPool.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PIVREL_RECORDS_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define PIVREL_RECORDS_ON_HEAP 1
#endif
#endif

#if !defined(PIVREL_RECORDS_ON_HEAP) && defined(__linux__)
#include <sys/mman.h>
#else
#include <cstdlib>
#endif

namespace pivrel::wml {

namespace {

    constexpr std::size_t kGranule = 16;
    // Larger than any record class; cards and decks, which are few, go to the heap.
    constexpr std::size_t kLargestPooled = 1024;
    constexpr std::size_t kSizeClasses = kLargestPooled / kGranule + 1;
    // A block is one huge page where the system offers them, so that filling it costs one fault.
    constexpr std::size_t kBlockBytes = std::size_t(2) << 20;
    // Blocks kept for the next deck once every record is gone; the rest go back to the system.
    constexpr std::size_t kBlocksKept = 32;

    void* MapBlock()
    {
#if !defined(PIVREL_RECORDS_ON_HEAP) && defined(__linux__)
        // Twice the size is mapped so that an aligned block lies within; the margins are returned.
        void* raw
            = ::mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kBlockBytes - 1) & ~(std::uintptr_t(kBlockBytes) - 1);
        if (aligned > start)
            ::munmap(raw, aligned - start);
        const std::uintptr_t tail = aligned + kBlockBytes;
        if (tail < start + 2 * kBlockBytes)
            ::munmap(reinterpret_cast<void*>(tail), start + 2 * kBlockBytes - tail);
        void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
        ::madvise(block, kBlockBytes, MADV_HUGEPAGE);
#endif
        return block;
#else
        return ::operator new(kBlockBytes);
#endif
    }

    void UnmapBlock(void* block)
    {
#if !defined(PIVREL_RECORDS_ON_HEAP) && defined(__linux__)
        ::munmap(block, kBlockBytes);
#else
        ::operator delete(block);
#endif
    }

    class TPool
    {
    public:
        void* Allocate(std::size_t size)
        {
            const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
            const std::lock_guard<std::mutex> lock(m_mutex);
            void* record = m_free[sizeClass];
            if (record != nullptr)
                m_free[sizeClass] = *static_cast<void**>(record);
            else
                record = Carve(sizeClass * kGranule);
            ++m_live;
            return record;
        }

        void Free(void* record, std::size_t size) noexcept
        {
            const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
            const std::lock_guard<std::mutex> lock(m_mutex);
            *static_cast<void**>(record) = m_free[sizeClass];
            m_free[sizeClass] = record;
            if (--m_live == 0)
                Reset();
        }

        TRecordPoolUsage Usage()
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            return { m_live, m_blocks.size() * kBlockBytes };
        }

        // Counting only, for the builds where every record lives on the heap.
        void Count(int change)
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_live = std::size_t(std::ptrdiff_t(m_live) + change);
        }

    private:
        void* Carve(std::size_t bytes)
        {
            if (m_next == nullptr || std::size_t(m_end - m_next) < bytes) {
                if (m_current + 1 >= m_blocks.size()) {
                    m_blocks.reserve(m_blocks.size() + 1);
                    m_blocks.push_back(MapBlock());
                    m_current = m_blocks.size() - 1;
                } else {
                    ++m_current;
                }
                m_next = static_cast<char*>(m_blocks[m_current]);
                m_end = m_next + kBlockBytes;
            }
            void* record = m_next;
            m_next += bytes;
            return record;
        }

        // With no record left every block is free again: the lists are dropped, carving starts
        // over in the first block, and blocks past what the next deck is likely to need go back.
        void Reset() noexcept
        {
            m_free.fill(nullptr);
            while (m_blocks.size() > kBlocksKept) {
                UnmapBlock(m_blocks.back());
                m_blocks.pop_back();
            }
            m_current = 0;
            m_next = m_blocks.empty() ? nullptr : static_cast<char*>(m_blocks.front());
            m_end = m_next == nullptr ? nullptr : m_next + kBlockBytes;
        }

        std::mutex m_mutex;
        std::array<void*, kSizeClasses> m_free {};
        std::vector<void*> m_blocks;
        std::size_t m_current = 0;
        char* m_next = nullptr;
        char* m_end = nullptr;
        std::size_t m_live = 0;
    };

    // Never destroyed: records held by other static objects may be freed during exit.
    TPool& Pool()
    {
        static TPool* const pool = new TPool;
        return *pool;
    }

} // namespace

void* AllocateRecord(std::size_t size)
{
#if defined(PIVREL_RECORDS_ON_HEAP)
    void* record = ::operator new(size);
    if (size <= kLargestPooled)
        Pool().Count(1);
    return record;
#else
    if (size > kLargestPooled)
        return ::operator new(size);
    return Pool().Allocate(size);
#endif
}

void FreeRecord(void* record, std::size_t size) noexcept
{
    if (record == nullptr)
        return;
#if defined(PIVREL_RECORDS_ON_HEAP)
    if (size <= kLargestPooled)
        Pool().Count(-1);
    ::operator delete(record);
#else
    if (size > kLargestPooled)
        ::operator delete(record);
    else
        Pool().Free(record, size);
#endif
}

TRecordPoolUsage RecordPoolUsage()
{
    return Pool().Usage();
}

} // namespace pivrel::wml
