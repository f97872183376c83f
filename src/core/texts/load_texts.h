// What loading and saving a HEX file says, and the refusals around it.
#pragma once

#include <string>

#include "texts/operation_texts.h"

#include "Audience.h"

namespace texts {

std::string BufferCleared();
// The log line of a load; the reloads of the load menu and the Small Box
// write the blank inside the quotes.
std::string FileLoaded(const std::string &name);
std::string FileReloaded(const std::string &name);
std::string LoadedStatus(const std::string &name);
// A clearing load: the Small Box dialog puts a comma after the clear.
std::string ClearedAndLoaded(const std::string &name, Audience who);
std::string CannotLoadStatus(const std::string &name);
std::string CannotLoadStatus(const std::string &name, const std::string &reason);
std::string CannotLoadLog(const std::string &name, const std::string &reason);
// The Small Box's save menu writes the blank inside the quotes.
std::string FileSaved(const std::string &name, Audience who = Audience::Window);
std::string SavedStatus(const std::string &name, Audience who = Audience::Window);
std::string CurrentFileReset();
// A program of a file without configuration: the question and its buttons.
std::string WriteWithoutConfiguration(const std::string &finding);
std::string AnswerNo();
std::string AnswerYes();
std::string WriteStopped();
std::string ConfigurationNeeded();

std::string SelectDeviceRefusal();

} // namespace texts
