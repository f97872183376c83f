// The chain runner: which steps each sequence runs, and how it ends, over
// the in-process simulator.
#include <gtest/gtest.h>

#include "operations/chain.h"
#include "ops_rig.h"

namespace {

struct ChainCase {
    const char *what;
    Chain chain;
    ChainRun run;
    bool dirtyChip; // word 0 of the chip programmed before the chain
    bool imageToProgram;
    size_t silentAfter; // host bytes before the programmer falls silent; 0 = never
    std::vector<Step> ran;
    Outcome outcome;
    Step ended;
};

ChainRun Fast(bool verify = true)
{
    ChainRun run;
    run.fastCycle = true;
    run.verify = verify;
    return run;
}

ChainRun VerifyAfterFailure()
{
    ChainRun run;
    run.verifyAfterFailedProgram = true;
    return run;
}

} // namespace

TEST(ChainRunner, StepsRunAndHowTheChainEnds)
{
    using enum Step;
    const ChainCase cases[] = {
        {"whole cycle",
         Chain::EraseBlankCheckProgramVerify,
         {},
         true,
         true,
         0,
         {Erase, BlankCheck, Program, Verify},
         Outcome::Done,
         Verify},
        {"fast cycle",
         Chain::EraseBlankCheckProgramVerify,
         Fast(),
         true,
         true,
         0,
         {Erase, Program, Verify},
         Outcome::Done,
         Verify},
        {"fast cycle without verify keeps the blank check",
         Chain::EraseBlankCheckProgramVerify,
         Fast(false),
         true,
         true,
         0,
         {Erase, BlankCheck, Program},
         Outcome::Done,
         Program},
        {"fast cycle is for the whole cycle only",
         Chain::EraseBlankCheck,
         Fast(),
         true,
         false,
         0,
         {Erase, BlankCheck},
         Outcome::Done,
         BlankCheck},
        {"blank check of a used chip",
         Chain::BlankCheck,
         {},
         true,
         false,
         0,
         {BlankCheck},
         Outcome::NotBlank,
         BlankCheck},
        {"verify against another image",
         Chain::Verify,
         {},
         true,
         false,
         0,
         {Verify},
         Outcome::VerifyMismatch,
         Verify},
        {"program and verify",
         Chain::ProgramVerify,
         {},
         false,
         true,
         0,
         {Program, Verify},
         Outcome::Done,
         Verify},
        {"a lost link ends the chain",
         Chain::ProgramVerify,
         {},
         false,
         true,
         30,
         {Program},
         Outcome::LinkLost,
         Program},
        {"the window still verifies, the program's failure stays the outcome",
         Chain::ProgramVerify,
         VerifyAfterFailure(),
         false,
         true,
         30,
         {Program, Verify},
         Outcome::LinkLost,
         Program},
    };
    for (const ChainCase &c : cases) {
        SimOptions o = Rig::Options("PIC16F877A");
        if (c.silentAfter) o.faults = {{FaultKind::SilentAfter, c.silentAfter}};
        Rig rig(o);
        if (c.dirtyChip) rig.sim.Chip().Poke(0, 0x0123);
        if (c.imageToProgram)
            for (uint32_t k = 0; k < 64; ++k)
                rig.buffer.Words[k] = static_cast<uint16_t>(0x2800 + k);
        const ChainResult result = RunChain(rig.ctx, c.chain, c.run);
        EXPECT_EQ(result.ran, c.ran) << c.what;
        EXPECT_EQ(result.outcome.kind, c.outcome) << c.what << ": " << rig.ui.status;
        EXPECT_EQ(result.ended, c.ended) << c.what;
        if (c.outcome == Outcome::NotBlank || c.outcome == Outcome::VerifyMismatch) {
            // The first address that differs, with both values, as data.
            ASSERT_FALSE(result.outcome.differences.empty()) << c.what;
            const Difference &d = result.outcome.differences.front();
            EXPECT_EQ(d.memory, Memory::Program) << c.what;
            EXPECT_EQ(d.address, 0u) << c.what;
            EXPECT_EQ(d.file, 0x3FFFu) << c.what;
            EXPECT_EQ(d.chip, 0x0123u) << c.what;
        }
        if (c.ran == std::vector<Step>{Erase, BlankCheck} && c.outcome == Outcome::Done) {
            EXPECT_EQ(rig.ui.status, "消去OK。　デバイスはブランクです。") << c.what;
        }
    }
}
