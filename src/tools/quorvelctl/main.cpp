#include <cstdio>

int main()
{
    std::puts("quorvelctl: nothing here yet");
    return 0;
}
