#include "image/buffer.h"

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
    // Configuration bits a file does not give stay as an erased part has
    // them: all ones would switch on features (extended instruction set,
    // low-voltage programming) that an erased part has off. Bits the part
    // does not implement stay ones, as a file without them has always been
    // saved.
    for (size_t i = 0; i < Config18.size(); ++i)
        Config18[i] = static_cast<uint8_t>(device.ConfigDefault[i] | ~device.ConfigMask[i]);
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
