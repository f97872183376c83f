#include "texts/chain_texts.h"

namespace texts {

std::string FileLoadedBlankChecking(const std::string &file)
{
    return " \"" + file + "\" をロード。ブランクチェック中…";
}

std::string ReadingDevice()
{
    return "デバイスから読込み中…";
}

std::string BlankChecking()
{
    return "ブランクチェック中…";
}

std::string Erased()
{
    return "消去しました。";
}

std::string EraseOk()
{
    return "消去OK。";
}

std::string WritingDevice()
{
    return "デバイスに書込み中…";
}

std::string Writing()
{
    return "書込み中…";
}

std::string WritingSpelledOut()
{
    return "書き込み中…";
}

std::string WritingConfiguration()
{
    return "Configurationを書込み中…";
}

std::string Written()
{
    return "書込みました。";
}

std::string Verifying()
{
    return "ベリファイ中…";
}

std::string VerifiedOk()
{
    return "ベリファイOK。";
}

std::string ErasedNotBlankMark(bool afterLoad)
{
    return afterLoad ? " !!消去しましたが、ブランクではありません。"
                     : " !!消去しましたがブランクではありません。";
}

std::string EraseFailedNotBlank()
{
    return "消去できませんでした。デバイスはブランクではありません。";
}

std::string ErasedDeviceNotBlank()
{
    return "消去しましたが、デバイスはブランクではありません。";
}

std::string ConfigurationWrittenLast()
{
    return "コードプロテクトが有効なため、Configurationは他のメモリーのベリファイ後に書き込みます。";
}

} // namespace texts
