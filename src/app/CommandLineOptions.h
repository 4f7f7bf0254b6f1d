#pragma once

#include <QString>

#include <optional>

// The options a program started from a shell is expected to answer at once:
// they are handled before anything needs a display or the single-instance
// lock, so they work on a headless machine and beside a running copy.
namespace CommandLineOptions
{

// When the first argument is --help (-h) or --version, prints the answer on
// standard output and gives the exit status. Otherwise gives nothing: the
// argument stays the settings file to open.
std::optional<int> handle(int argc, char *argv[]);

QString helpText();
QString versionText();

} // namespace CommandLineOptions
