// verify: the chip compared with the file.
#include "Commands.h"

int VerifyCommand(CommandRun &run)
{
    if (const int refused = LoadFile(run, true)) return refused;
    if (const int bad = ApplyConfigSettings(run)) return bad;
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    return Chained(run, Chain::Verify, {});
}
