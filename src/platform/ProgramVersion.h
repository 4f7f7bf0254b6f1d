#pragma once

#include <QString>

// The program's own version, compiled in from the project version.
namespace ProgramVersion {

// "%d.%02d.%02d.%02d" of major, minor, release and build (1.0.0.0 gives
// "1.00.00.00"); captions use its first four characters.
QString text();

// The same for any four parts, for callers that show other versions.
QString format(int major, int minor, int release, int build);

}  // namespace ProgramVersion
