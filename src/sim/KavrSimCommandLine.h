#pragma once

#include "sim/KavrSimOptions.h"

#include <QString>
#include <QStringList>

// The simulator executable's command line, parsed into options. Kept in the
// library so every option and every refusal can be tested without a process.
struct KavrSimCommandLine {
    KavrSimOptions options;
    QString linkPath;   // --link: publish the pseudo-terminal's path as this symlink
    QString devicePath; // --device: attach to this terminal device instead
    bool helpRequested = false;
    QString helpText;

    // Parses the arguments (without the program name). On a bad option or
    // value returns false with a one-line message in *error.
    bool parse(const QStringList &arguments, QString *error);
};

// Loads a raw 128-byte configuration block. Files of any other size are
// refused rather than cut or padded.
bool loadRawBlock(const QString &path, std::array<std::uint8_t, 128> &block, QString *error);
