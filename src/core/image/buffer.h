// The program's single in-memory image of a target device's memories.
// Two independent halves: the word image (PIC10/12/16) and the PIC18 image;
// the PIC18 family flag says which one is live.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "catalogue/DeviceSpec.h"


using WordImage = std::array<uint16_t, WordImageSize>;

struct MemoryBuffer {
    // Word image: program memory from 0, configuration area from 0x2000,
    // EEData (one byte per word, low byte) from 0x2100, 12-bit config at 0x0FFF.
    // Words are kept as loaded or read: no mask is applied here.
    WordImage Words{};

    // PIC18 image; program and EEData are sized to the selected device.
    std::vector<uint8_t> Program18;
    std::vector<uint8_t> EEData18;
    std::array<uint8_t, 16> Id18{};     // 0x200000..0x20000F
    std::array<uint8_t, 14> Config18{}; // 0x300000..0x30000D

    MemoryBuffer();

    // Reset the word image to the device's erased state (every word BlankWord,
    // the EEData area included). The caller redraws the views and resets the
    // configuration-editing options afterwards.
    void Clear(const TDeviceSpec &device);
    // Resize the PIC18 arrays to the device and set every byte, ID bytes
    // included, to 0xFF; the configuration bytes take the device's
    // ConfigDefault, the configuration an erased part holds, with the bits
    // it does not implement set.
    void Clear(const TDeviceSpec18 &device);
    // Start-up fill: the whole word image 0x3FFF.
    void FillStartup();

    // A load that moves to another PIC18 device: program and EEData bytes are
    // resized to it and erased; ID and configuration bytes keep their contents.
    void PrepareForLoad(const TDeviceSpec18 &device);
    // Bring the program and EEData lengths to the device's sizes, keeping the
    // bytes that fit and padding with erased bytes, so that every later access
    // sized by the entry stays inside the arrays.
    void Fit(const TDeviceSpec18 &device);
};
