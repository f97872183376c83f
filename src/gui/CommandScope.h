// Holds the command lock for the lifetime of one command, so that every way
// out of a handler (a refusal, an error box, an exception) releases it.
#pragma once

#include "Unit1.h"

class CommandScope {
public:
    explicit CommandScope(TForm1 &form) : form_(form) { form_.CommandLock(true); }
    ~CommandScope() { form_.CommandLock(false); }
    CommandScope(const CommandScope &) = delete;
    CommandScope &operator=(const CommandScope &) = delete;

private:
    TForm1 &form_;
};
