// read: the chip into a HEX file, or to standard output with FILE "-".
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>

#include "Commands.h"
#include "TerminalView.h"
#include "support/StandardStreams.h"
#include "support/atomic_file.h"
#include "texts/terminal_texts.h"

int ReadCommand(CommandRun &run)
{
    const std::string &file = run.options.file;
    // An output that cannot be written is found out before the chip is
    // read, not after.
    if (const int error = CheckFileReplaceable(file)) throw HexFileError(file, error);
    const bool toStdout = file == "-";
    if (toStdout && StandardStreamWasClosed(STDOUT_FILENO))
        throw HexFileError(file, EBADF, "standard output is closed");
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    // Memories left out are saved blank, that is not at all.
    if (run.options.regions != RegionAll) run.session.Clear();
    OperationContext ctx = run.session.Context(run.Options());
    run.ui.SetStatus(texts::ReadingDevice());
    const OperationResult read = ReadDevice(ctx, &run.ui.MainProgress());
    run.outcome = read;
    if (!read) return ExitNegative;
    ShowChecksum(run.ui, run.fields, run.session.Checksum());
    run.session.Save(toStdout ? run.ScratchFile() : file, run.options.saveAll);
    if (toStdout) {
        std::ifstream saved(run.scratch, std::ios::binary);
        std::cout << saved.rdbuf() << std::flush;
        // A reader that went away, a full disk behind a redirection: the
        // file was not saved.
        if (!std::cout) throw HexFileError(file, errno ? errno : EIO);
    }
    run.ui.AddLog(texts::SavedFileLog(run.QuotedName()));
    run.ui.SetStatus(texts::SavedFileStatus(run.QuotedName()));
    // Saved as the chip gave it, but what its protection hides is zeros:
    // no script may take the file for the chip's contents.
    run.fields["protected"] = read.readProtected;
    if (read.readProtected) {
        run.result = "protected";
        return ExitNegative;
    }
    return ExitSuccess;
}
