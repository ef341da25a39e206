#pragma once

#include <cstddef>
#include <streambuf>

namespace pivrel::bench {

// Counts the bytes written to it and keeps none of them: a fetch's body without its memory.
class TCountingBuf : public std::streambuf
{
public:
    std::size_t Count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        Count += std::size_t(n);
        return n;
    }

    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            ++Count;
        return traits_type::not_eof(c);
    }
};

} // namespace pivrel::bench
