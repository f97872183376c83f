// The command sequences the front ends offer (erase, blank check, program,
// verify and their chains) as lists of steps run over the operations'
// outcomes, with the texts between the steps in one place.
#pragma once

#include <string>
#include <vector>

#include "operations/operations.h"

enum class Step { Read, Erase, BlankCheck, Program, Verify };

enum class Chain {
    Read,
    Erase,
    BlankCheck,
    Program,
    Verify,
    EraseBlankCheck,              // erase, then prove the chip blank
    ProgramVerify,                // program, then verify
    EraseBlankCheckProgramVerify, // the whole cycle for a used chip
};

// The texts between the steps go where the context's surface says.
struct ChainRun {
    ProgressBar *progress = nullptr;
    // The file just loaded for the chain, named in its texts; empty for a
    // chain over the buffer as it is.
    std::string fileName;
    // The front end has said that load already (its status among its
    // lines): a text after it need not say it again.
    bool loadSaid = false;
    // Leave out the closing verify (the command line's --no-verify).
    bool verify = true;
    // A verify still follows a program that failed, reporting what the
    // write left behind (the window's chains).
    bool verifyAfterFailedProgram = false;
    // Production: the closing verify stands in for the blank check before
    // programming. It compares every word against the buffer, whose unused
    // memory is blank, so it proves the erase as strictly.
    bool fastCycle = false;
    // What the program keeps of the chip, its copy already on the disk
    // (KeepFromChip): the chain holds interrupts from its first write until
    // the kept memories are written back, then removes the copy; a chain
    // that ends before names the copy and how to restore it.
    const KeptCopy *kept = nullptr;
};

struct ChainResult {
    std::vector<Step> ran;   // in order
    Step ended = Step::Read; // the step whose outcome ends the chain
    // The first step's outcome that stopped the chain or failed, else the
    // last one's.
    OperationResult outcome;
    bool calibrationReplaced = false; // an erase of the chain put typed values in
    bool keptPending = false;         // the kept memories did not go back: their copy stays
    bool Ok() const { return outcome.Ok(); }
};

// The steps of a chain as run, before fast-cycle and verify choices.
std::vector<Step> ChainSteps(Chain chain);

// Runs the chain after a passed check (ctx holds the check's DEVICE-ID).
ChainResult RunChain(OperationContext &ctx, Chain chain, const ChainRun &run);
