#include <cstdio>
#include <new>

#include "app/CommandLine.h"

int main(int argc, char** argv) {
    try {
        return RunTessalune(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::puts("Not enough memory for this run: try fewer motifs (-K) or a smaller input.");
        return 1;
    }
}
