// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Writes example recordings: one night of a fictional patient with a few tumescence episodes,
// sampled every 10 s, as the recorder would have stored it.
//
//   make_example OUT.txt [PASSWORD]
#include <iostream>

#include "os/file_error.h"
#include "recorder/example_night.h"
#include "records/data_file.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: make_example OUT.txt [PASSWORD]\n";
        return 2;
    }
    try {
        npt::writeDataFile(argv[1], npt::exampleNight(argc == 3 ? argv[2] : ""));
    } catch (const npt::FileError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
