#include <cstdio>

int main()
{
    std::puts("pivrel-cli: not yet");
    return 64;
}
