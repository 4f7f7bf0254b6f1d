#include "platform/ProgramVersion.h"

namespace ProgramVersion {

QString format(int major, int minor, int release, int build)
{
    return QString::asprintf("%d.%02d.%02d.%02d", major, minor, release, build);
}

QString text()
{
    return format(TESSARO_VERSION_MAJOR, TESSARO_VERSION_MINOR, TESSARO_VERSION_PATCH, TESSARO_VERSION_TWEAK);
}

}  // namespace ProgramVersion
