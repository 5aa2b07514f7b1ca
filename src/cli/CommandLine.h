#pragma once

// The command line of veldrin: its options, its usage text, and the one way
// texts reach the terminal.

#include <QString>

#include <cstdio>
#include <optional>

namespace veldrin {

struct CommandLine {
    bool demo = false;
    bool printMenu = false;
    bool check = false;
    bool menu = false;
    std::optional<bool> autostart;
    // Set when nothing is left to do: 0 after --help or --version, 2 after a
    // wrong option (said on standard error with the usage).
    std::optional<int> exitStatus;
};

CommandLine parseCommandLine(int argc, char** argv);

void printUsage(FILE* out);

// Writes `text` as UTF-8, whatever the locale, and flushes.
void writeUtf8(FILE* out, const QString& text);

} // namespace veldrin
