#pragma once

#include <cstddef>

namespace pivrel::wml {

// Storage for element records. A deck of a megabyte holds tens of thousands of records of a few
// hundred bytes each; taking them from large blocks, and handing a freed record's place to the
// next record of the same size, makes building and dropping a deck far cheaper than one heap
// call per record. Requests larger than a record go to the ordinary heap. Safe to use from any
// thread. In sanitizer builds every request goes to the ordinary heap, so that the sanitizers
// still see each record.
void* AllocateRecord(std::size_t size);
// size is the size that AllocateRecord was asked for.
void FreeRecord(void* record, std::size_t size) noexcept;

// How much the pool holds: records live now and bytes taken from the system.
struct TRecordPoolUsage {
    std::size_t LiveRecords = 0;
    std::size_t ReservedBytes = 0;
};

TRecordPoolUsage RecordPoolUsage();

} // namespace pivrel::wml
