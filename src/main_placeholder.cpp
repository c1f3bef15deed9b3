#include <cstdio>

int main() {
    std::puts("Quillon v1.04 (the desktop window is not built yet)");
    return 0;
}
