// The JSON tarnvik-cli writes for scripts with --json: one object on one
// line of standard output, whatever ends the run.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

// Fields keep the order they were set in: command first, exit_status last.
using JsonObject = nlohmann::ordered_json;

// The object as one line of UTF-8. Texts are kept as they are, except that
// each byte that is no UTF-8 and each UTF-8 sequence cut short (a file or
// port name in another encoding) becomes U+FFFD, so that the line is always
// valid JSON.
std::string JsonText(const JsonObject &object);

// Writes the object and a line end to out, and flushes it.
void WriteJsonLine(FILE *out, const JsonObject &object);

// The object of a run that ends before or outside any command (bad usage,
// an internal error): the fields every result object has.
JsonObject RunEndObject(const std::string &command, const std::string &result,
                        const std::vector<std::string> &messages, int exitStatus);
