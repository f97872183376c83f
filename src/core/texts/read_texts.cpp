#include "texts/read_texts.h"

namespace texts {

std::string ReadIntoBuffer()
{
    return "デバイスからバッファに読み込みました。";
}

std::string ReadProtected()
{
    return "!コードプロテクトが有効です。保護されたメモリーは 0 として読み出されています。";
}

std::string EEDataRead()
{
    return "デバイスからEEDataを読み込みました。";
}

std::string ConfigWordsRead()
{
    return "デバイスからConfigワードを読み込みました。";
}

std::string ProgramWordDiffers(const std::string &address)
{
    return "Program Memory $" + address + " が一致しません。";
}

std::string EEDataDiffers(const std::string &address)
{
    return "EEData Memory " + address + "が一致しません。";
}

std::string UserIdDiffers()
{
    return "User-ID が一致しません。";
}

std::string ConfigurationDiffers()
{
    return "Configurationが一致しません。";
}

std::string ConfigurationWordDiffers(const std::string &address)
{
    return "Configuration Word $" + address + " が一致しません。";
}

std::string MemoryDiffers(const std::string &memory, long count, bool bytes)
{
    return memory + ": " + std::to_string(count) +
           (bytes ? " バイトが一致しません。" : " ワードが一致しません。");
}

std::string VerifyMismatchStatus()
{
    return " !! 一致しません。";
}

std::string VerifyOk()
{
    return "ベリファイOK。一致しました。";
}

std::string ProgramNotBlank(const std::string &address)
{
    return "Program Memory $" + address + " がブランクではありません。";
}

std::string EEDataNotBlank(const std::string &address)
{
    return "EEData Memory " + address + "がブランクではありません。";
}

std::string ConfigurationNotBlank()
{
    return "Configurationがブランクではありません。";
}

std::string NotBlankStatus()
{
    return " !! ブランクではありません。";
}

std::string DeviceBlank()
{
    return "デバイスはブランクです。";
}

} // namespace texts
