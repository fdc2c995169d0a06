// SPDX-License-Identifier: GPL-2.0-or-later
// Runs kvtrips' run() in process with a command line, and small helpers of the kvtrips suites.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "run.h"
#include "support.h"

namespace tripstest {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline Outcome runTrips(std::vector<std::string> args) {
    args.insert(args.begin(), "kvtrips");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    testsupport::Capture out;
    testsupport::Capture err;
    Outcome outcome;
    outcome.status =
        trips::run(static_cast<int>(args.size()), argv.data(), out.stream(), err.stream());
    outcome.out = out.text();
    outcome.err = err.text();
    return outcome;
}

// The names of the files and folders in `dir`.
inline std::set<std::string> listing(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

inline std::size_t lineCount(const std::string& text) {
    std::size_t lines = 0;
    for (const char c : text)
        lines += c == '\n' ? 1 : 0;
    return lines;
}

} // namespace tripstest
