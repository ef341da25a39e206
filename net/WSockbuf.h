#pragma once

#include <vector>

namespace pivrel::net {

// One block of pending output: bytes are written after the write count and taken from the read
// count; once everything written has been taken, both counts return to the start.
class TBuffer
{
public:
    static constexpr int kDefaultSize = 1514;

    // A size of 0 or less gives the default size.
    explicit TBuffer(int size = 0);

    // Copies as many bytes as fit after the write count; returns how many.
    int Write(const void* data, int len);
    // The bytes not yet taken: their address and count.
    const char* Peek(int& len) const;
    // Takes up to n bytes; more than are held takes them all.
    void Remove(int n);

    int Size() const { return static_cast<int>(m_data.size()); }

    // Resizing keeps the bytes held: they move to the start, and the size never drops below them.
    void SetSize(int size);

    int WrCount() const { return m_wrCount; }

    int RdCount() const { return m_rdCount; }

    bool IsEmpty() const { return m_wrCount == m_rdCount; }

private:
    std::vector<char> m_data;
    int m_wrCount = 0;
    int m_rdCount = 0;
};

} // namespace pivrel::net
