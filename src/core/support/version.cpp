#include "support/version.h"

#include "build_revision.h"

std::string VersionLine(const std::string &program)
{
    // The package's version, which names the commit between releases; a
    // build from a tree with changes of its own is not quite that commit.
    return program + " (" + SoftwareVersion + ", " + TARNVIK_BUILD_VERSION +
           (TARNVIK_BUILD_MODIFIED ? ", uncommitted changes" : "") + ")";
}
