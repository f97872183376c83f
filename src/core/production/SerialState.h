// Hands out serial numbers so that no number ever reaches two chips, within
// one run (every port of a gang draws from one allocator) and across runs
// (through a state file). A number is taken for a chip before it is
// programmed; a chip that programs and verifies uses it up, a chip that
// fails gives it back and the next chip takes it. The state file is written
// under a lock and replaced whole at every change, so runs sharing it at the
// same time draw distinct numbers, and a run that dies mid-chip leaves its
// number unused (a gap) rather than given twice.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct SerialStock {
    uint64_t next = 0;            // the next number never given to a chip
    bool spent = false;           // next + step passed the largest number
    std::set<uint64_t> givenBack; // numbers of failed chips, lowest first
    uint64_t used = 0;            // chips that kept their number
    // A serial list's name: the numbers above are then positions in it
    // (0 its first number), and a run of another list or of counted
    // numbers may not continue them.
    std::string list;
};

class SerialAllocator {
public:
    SerialAllocator(uint64_t start, uint64_t step) : step_(step) { stock_.next = start; }

    // Keeps the stock in a file beside which a lock file (path + ".lock")
    // lives. When the file exists its numbers continue; otherwise it is
    // created from the start number, which then must have been given. False
    // with a reason when the file cannot be read, understood or written.
    bool UseStateFile(const std::string &path, bool haveStart, std::string &error);
    // Hands out the list's numbers in its order (positions from 0, step 1)
    // instead of counting; name is what the state file and the texts call
    // the list. Before UseStateFile.
    void UseList(std::vector<uint64_t> numbers, const std::string &name);
    bool FromFile() const { return fromFile_; }

    // The number for the next chip: the lowest given back, else the next new
    // one. nullopt with a reason when none is left or the file failed.
    std::optional<uint64_t> Take(std::string &error);
    // The chip programmed and verified: its number is gone for good.
    bool Consume(uint64_t number, std::string &error);
    // The chip failed: the number goes to the next chip.
    bool GiveBack(uint64_t number, std::string &error);

    // The stock as last seen (the file's other runs may have moved it on).
    SerialStock Stock() const;

private:
    bool Change(const std::function<bool(SerialStock &, std::string &)> &change, std::string &error);

    mutable std::mutex mutex_;
    uint64_t step_;
    SerialStock stock_;
    std::vector<uint64_t> list_;
    std::map<uint64_t, uint64_t> positions_; // number -> its position in list_
    std::string path_;
    bool fromFile_ = false;
};

// The state file's text and back; false when the text is not a state file.
std::string SerialStockText(const SerialStock &stock);
bool ParseSerialStock(const std::string &text, SerialStock &stock);
