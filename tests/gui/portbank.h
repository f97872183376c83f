// A row of serial ports for the window tests: the simulated programmer,
// silent devices and refused devices behind chosen device paths; every other
// path is absent. The window owns the bank as its one backend and the bank
// hands each call to the device that is open.
#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "SimBackend.h"
#include "link/serial.h"

class PortBank : public SerialBackend {
public:
    SimBackend &AddProgrammer(const std::string &path, SimOptions options = {})
    {
        auto &slot = devices_[path];
        slot = std::make_unique<SimBackend>(std::move(options));
        return *slot;
    }
    // A device that opens but never answers.
    SimBackend &AddSilent(const std::string &path)
    {
        SimOptions options;
        options.silent = true;
        return AddProgrammer(path, options);
    }
    // A device node the user may not open.
    void Deny(const std::string &path) { denied_.insert(path); }

    SimBackend *At(const std::string &path)
    {
        auto it = devices_.find(path);
        return it == devices_.end() ? nullptr : it->second.get();
    }
    const std::string &OpenPath() const { return openPath_; }
    int PausedMs() const { return pausedMs_; }

    bool Open(const std::string &path, std::string &error) override
    {
        current_ = nullptr;
        openPath_.clear();
        errno_ = 0;
        if (denied_.count(path)) {
            errno_ = EACCES;
            error = path + ": Permission denied";
            return false;
        }
        SimBackend *device = At(path);
        if (!device) {
            errno_ = ENOENT;
            error = path + ": No such file or directory";
            return false;
        }
        if (!device->Open(path, error)) return false;
        current_ = device;
        openPath_ = path;
        return true;
    }
    int LastOpenErrno() const override { return errno_; }
    bool Close() override
    {
        SimBackend *device = current_;
        current_ = nullptr;
        openPath_.clear();
        return device && device->Close();
    }
    bool IsValid() const override { return current_ && current_->IsValid(); }
    void ApplyLineSettings() override
    {
        if (current_) current_->ApplyLineSettings();
    }
    void SetTimeouts(int readMs, int writeMs) override
    {
        if (current_) current_->SetTimeouts(readMs, writeMs);
    }
    void SetModemLine(ModemLine line, bool on) override
    {
        if (current_) current_->SetModemLine(line, on);
    }
    void PurgeOutput() override
    {
        if (current_) current_->PurgeOutput();
    }
    void PurgeInput() override
    {
        if (current_) current_->PurgeInput();
    }
    void ClearErrors() override
    {
        if (current_) current_->ClearErrors();
    }
    size_t Write(const uint8_t *data, size_t n) override { return current_ ? current_->Write(data, n) : 0; }
    size_t Read(uint8_t *data, size_t n) override { return current_ ? current_->Read(data, n) : 0; }
    void Pause(int ms) override
    {
        pausedMs_ += ms;
        if (current_) current_->Pause(ms);
    }

private:
    std::map<std::string, std::unique_ptr<SimBackend>> devices_;
    std::set<std::string> denied_;
    SimBackend *current_ = nullptr;
    std::string openPath_;
    int errno_ = 0;
    int pausedMs_ = 0;
};
