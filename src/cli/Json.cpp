#include "Json.h"

std::string JsonText(const JsonObject &object)
{
    return object.dump(-1, ' ', false, JsonObject::error_handler_t::replace);
}

void WriteJsonLine(FILE *out, const JsonObject &object)
{
    const std::string line = JsonText(object) + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

JsonObject RunEndObject(const std::string &command, const std::string &result,
                        const std::vector<std::string> &messages, int exitStatus)
{
    JsonObject object;
    object["command"] = command.empty() ? JsonObject(nullptr) : JsonObject(command);
    object["device"] = nullptr;
    object["port"] = nullptr;
    object["result"] = result;
    object["messages"] = messages;
    object["exit_status"] = exitStatus;
    return object;
}
