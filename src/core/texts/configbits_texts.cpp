#include "texts/configbits_texts.h"

namespace texts {

std::string NoConfigNames()
{
    return "このデバイスのコンフィグビット名がありません。";
}

std::string ConfigAssignmentMalformed(const std::string &pair, const std::string &validNames)
{
    return "\"" + pair + "\": NAME=SETTING の形で指定してください。" + " 有効な名前: " + validNames;
}

std::string ConfigFieldUnknown(const std::string &field, const std::string &validNames)
{
    return "コンフィグビット名 \"" + field + "\" はありません。" + " 有効な名前: " + validNames;
}

std::string ConfigSettingUnknown(const std::string &field, const std::string &setting,
                                 const std::string &validSettings)
{
    return field + " に設定 \"" + setting + "\" はありません。 有効な設定: " + validSettings;
}

std::string ConfigFieldUnnamedValue(const std::string &field, const std::string &value)
{
    return field + " = " + value + "  (名前のない値)";
}

} // namespace texts
