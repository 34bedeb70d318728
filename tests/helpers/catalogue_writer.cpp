// SPDX-License-Identifier: GPL-3.0-or-later
// A second process for the crash and concurrency tests of the store and the data files.
//   catalogue_writer loop FILE            rewrites Main/Counter with 1, 2, 3, ... forever
//   catalogue_writer recording FILE       rewrites a large recording forever
//   catalogue_writer keys FILE PREFIX N   writes N distinct keys PREFIX0..PREFIX<N-1>
#include "catalogue/ProfileStore.h"
#include "recording/JournalFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    if (mode == "recording") {
        quorvel::JournalRecording recording;
        for (int i = 0; i < 20000; ++i) {
            quorvel::JournalEvent key;
            key.type =
                i % 2 ? quorvel::JournalEventType::KeyRelease : quorvel::JournalEventType::KeyPress;
            key.code = 38;
            recording.events.push_back(key);
        }
        for (int i = 1;; ++i) {
            quorvel::saveJournal(argv[2], recording);
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
