// SPDX-License-Identifier: GPL-3.0-or-later
// A second process for the crash and concurrency tests of the store and the data files.
//   catalogue_writer loop FILE            rewrites Main/Counter with 1, 2, 3, ... forever
//   catalogue_writer data FILE            rewrites a large data file forever, each time one
//                                         letter over and over
//   catalogue_writer keys FILE PREFIX N   writes N distinct keys PREFIX0..PREFIX<N-1>
#include "catalogue/MacroFiles.h"
#include "catalogue/ProfileStore.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    if (mode == "data") {
        for (int i = 1;; ++i) {
            if (quorvel::writeDataFile(argv[2], std::string(1 << 20, char('a' + i % 26))) != 0)
                return 1;
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
    quorvel::ProfileStore store(argv[2]);
    if (mode == "loop") {
        for (int i = 1;; ++i) {
            store.writeInteger("Main", "Counter", i);
            // Announce each completed write so the test knows the lowest value on disk.
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
    if (mode == "keys" && argc >= 5) {
        const std::string prefix = argv[3];
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i)
            store.writeInteger("Keys", prefix + std::to_string(i), i);
        return 0;
    }
    return 2;
}
