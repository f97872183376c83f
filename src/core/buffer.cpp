#include "buffer.h"

MemoryBuffer::MemoryBuffer()
{
    FillStartup();
    Id18.fill(0xFF);
    Config18.fill(0xFF);
}

void MemoryBuffer::Clear(const TDeviceSpec &device)
{
    Words.fill(device.BlankWord);
}

void MemoryBuffer::Clear(const TDeviceSpec18 &device)
{
    PrepareForLoad(device);
    Id18.fill(0xFF);
    // Configuration bytes a file does not give stay the part's erased
    // configuration: all ones would switch on features (extended
    // instruction set, low-voltage programming) that an erased part has off.
    Config18 = device.ConfigDefault;
}

void MemoryBuffer::FillStartup()
{
    Words.fill(0x3FFF);
}

void MemoryBuffer::PrepareForLoad(const TDeviceSpec18 &device)
{
    Program18.assign(device.ProgramSize, 0xFF);
    EEData18.assign(device.EEDataSize, 0xFF);
}

void MemoryBuffer::Fit(const TDeviceSpec18 &device)
{
    Program18.resize(device.ProgramSize, 0xFF);
    EEData18.resize(device.EEDataSize, 0xFF);
}
