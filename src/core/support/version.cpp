#include "support/version.h"

#include "build_revision.h"

std::string VersionLine(const std::string &program)
{
    const std::string revision = TARNVIK_REVISION;
    return program + " (" + SoftwareVersion + (revision.empty() ? "" : ", git " + revision) + ")";
}
