// vantrel-cli: the whole shop run without a window.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    std::fprintf(stderr,
                 "usage: vantrel-cli [--market URL] [--data-dir DIR] [--csv FILE] [--html] [--quiet] SHOP_ADDRESS\n");
    return argc > 1 ? 1 : 2;
}
