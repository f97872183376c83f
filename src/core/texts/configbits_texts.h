// What the configuration bits say: the names of a part's fields and
// settings, and the assignments the user gives by name.
#pragma once

#include <string>

namespace texts {

// The log line shown where a part has no names.
std::string NoConfigNames();
// An assignment without "=" or without a setting.
std::string ConfigAssignmentMalformed(const std::string &pair, const std::string &validNames);
// An assignment naming a field the part does not have.
std::string ConfigFieldUnknown(const std::string &field, const std::string &validNames);
// An assignment naming a setting the field does not have.
std::string ConfigSettingUnknown(const std::string &field, const std::string &setting,
                                 const std::string &validSettings);
// A field whose bits match none of its settings; value is in hexadecimal.
std::string ConfigFieldUnnamedValue(const std::string &field, const std::string &value);

} // namespace texts
