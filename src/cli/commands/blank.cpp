// blank: whether the chip is erased.
#include "Commands.h"

int BlankCommand(CommandRun &run)
{
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    return Chained(run, Chain::BlankCheck, {});
}
