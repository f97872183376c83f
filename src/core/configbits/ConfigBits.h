// Configuration bits by name: the fields and settings of a part's
// configuration words, read at run time from the gputils assembler header of
// the part (p16f877a.inc and so on). A header lists, per configuration word,
// groups of `_NAME_SETTING EQU H'value' ; description` lines; the bits a
// field uses are the zeros of its values, and names sharing a value are
// aliases of one setting.
//
// Values are handled one per configuration word of the layout, in layout
// order (TConfigValues); they move to and from the buffer and the window's
// Config fields through the helpers below. A part without a header simply has
// no layout: callers fall back to plain hexadecimal words.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/DeviceSelection.h"
#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

struct TConfigSetting {
    std::string Name; // "HS"
    uint16_t Value;   // the field's bits for this setting, inside the field's mask
    std::string Description;
    std::vector<std::string> Aliases; // other names the header gives the same value
};

struct TConfigField {
    std::string Name; // "FOSC"
    uint16_t Mask;    // the bits the field uses
    std::vector<TConfigSetting> Settings;
    std::vector<std::string> Aliases; // other spellings of the whole field
};

struct TConfigWord {
    std::string Name; // "CONFIG", "CONFIG2", "CONFIG1L"
    // As the header gives it. PIC10/12/16: the buffer word (0x0FFF for the
    // 12-bit core, 0x2007, 0x2008); PIC18: 0x300000 + configuration byte.
    uint32_t Address;
    // As the device sees it: the 12-bit word sits at the end of the part's
    // own address space (0x01FF on a PIC10F200); otherwise Address.
    uint32_t DeviceAddress;
    uint16_t Width; // 0x0FFF, 0x3FFF or 0x00FF
    std::vector<TConfigField> Fields;
};

struct TConfigLayout {
    bool Pic18 = false;
    std::vector<TConfigWord> Words;
};

using TConfigValues = std::vector<uint16_t>; // one per layout word

constexpr uint32_t Config18Address = 0x300000;

// Parses the text of an assembler header. Empty when it names no
// configuration word with options.
std::optional<TConfigLayout> ParseConfigHeader(std::string_view text);

// $TARNVIK_GPUTILS_HEADERS (when set), /usr/share/gputils/header,
// /usr/local/share/gputils/header, in that order.
std::vector<std::string> ConfigHeaderFolders();
// The first "p<part>.inc" found in the folders ("PIC16F877A" ->
// p16f877a.inc), or an empty string.
std::string FindConfigHeader(std::string_view deviceName, const std::vector<std::string> &folders);
// The layout of a device, read from its header once and kept for the rest of
// the run. Null when there is no header, it has no options or it belongs to
// the other family, and when the header cannot be read (a folder, a FIFO, a
// device, no permission, more than ConfigHeaderMaxSize bytes): then problem,
// when given, gets the header's path and the reason.
std::shared_ptr<const TConfigLayout> ConfigLayoutFor(std::string_view deviceName, bool pic18,
                                                     const std::vector<std::string> &folders,
                                                     std::string *problem = nullptr);
std::shared_ptr<const TConfigLayout> ConfigLayoutFor(std::string_view deviceName, bool pic18,
                                                     std::string *problem = nullptr);

// The largest gputils header is some 160 KB.
constexpr size_t ConfigHeaderMaxSize = 4u << 20;

// Decoding and encoding. A field's setting is the one whose value equals the
// word's bits under the field's mask; null when no setting has those bits.
const TConfigSetting *DecodeField(const TConfigField &field, uint16_t word);
// Puts the setting's bits into the word; every bit outside the field stays.
uint16_t EncodeField(uint16_t word, const TConfigField &field, const TConfigSetting &setting);

// Names compare without regard to case; aliases are accepted.
const TConfigField *FindConfigField(const TConfigLayout &layout, std::string_view name,
                                    size_t *word = nullptr);
const TConfigSetting *FindConfigSetting(const TConfigField &field, std::string_view name);

// Applies "NAME=SETTING[,NAME=SETTING...]" to the values. On an unknown field
// or setting, or a malformed pair, returns false with a message that lists
// the valid names, and leaves the values unchanged.
bool ApplyConfigAssignments(const TConfigLayout &layout, TConfigValues &values, std::string_view text,
                            std::string &error);

// The buffer's configuration words and bytes, as the device keeps them.
TConfigValues ReadConfigValues(const TConfigLayout &layout, const MemoryBuffer &buffer);
void WriteConfigValues(const TConfigLayout &layout, const TConfigValues &values, MemoryBuffer &buffer);

// The window's Config fields: PIC10/12/16 slot 0 is the word at 0x2007 (or
// the 12-bit word), slot 1 the word at 0x2008; PIC18 slot k holds CONFIG(k+1)L
// in its low byte and CONFIG(k+1)H in its high byte.
using TConfigSlots = std::array<uint16_t, 7>;
// The slot of a layout word (-1: none) and, for a PIC18 byte, its shift in the slot.
int ConfigSlotOf(const TConfigLayout &layout, const TConfigWord &word, int *shift = nullptr);
TConfigValues ConfigValuesFromSlots(const TConfigLayout &layout, const TConfigSlots &fields);
void ConfigValuesToSlots(const TConfigLayout &layout, const TConfigValues &values, TConfigSlots &fields);

// "FOSC = HS  (HS oscillator)", one per field of every word; a value without
// a named setting shows its bits in hexadecimal.
std::vector<std::string> DescribeConfig(const TConfigLayout &layout, const TConfigValues &values);
std::string DescribeField(const TConfigField &field, uint16_t word);

// The whole configuration on one line for a message: "FOSC = EXTRC, WDTE =
// ON, …", every field of every word; a value without a name in hexadecimal.
std::string ConfigSummary(const TConfigLayout &layout, const TConfigValues &values);

// What a configuration keeps from being read back: program memory (the CP,
// CP0…CP9 and CPB fields) and data EEPROM (CPD). A field protects when its
// bits are not those of its OFF setting (the erased bits when it has none);
// a part that protects only some blocks counts as protecting its program.
struct TConfigProtection {
    bool Code = false;
    bool Data = false;
    bool Any() const { return Code || Data; }
};
TConfigProtection ConfigProtection(const TConfigLayout &layout, const TConfigValues &values);
// Sets every protecting field to its OFF setting (its erased bits when it
// has none); the other fields stay.
void ClearProtection(const TConfigLayout &layout, TConfigValues &values);

// The same for the buffer's configuration of the selected part: by name
// where the part's header gives names, else its words in hexadecimal
// ("CONFIG = 3FFF"; PIC18 "CONFIG1L = 00, …"). Empty without a device.
std::string BufferConfigSummary(DeviceSelection device, const MemoryBuffer &buffer);
// Whether the buffer's configuration protects the selected part; nothing
// for a part without names.
TConfigProtection BufferProtection(DeviceSelection device, const MemoryBuffer &buffer);
