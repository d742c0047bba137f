// Entry point: hands the command line to the run driver.
#include <cstdio>

int main() {
    std::puts("vantor: the run driver is not wired yet");
    return 0;
}
