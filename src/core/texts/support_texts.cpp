#include "texts/support_texts.h"

namespace texts {

std::string FileNotFound()
{
    return "ファイルまたはフォルダーが見つかりません。";
}

std::string FileAccessDenied()
{
    return "アクセス権がありません。";
}

std::string FileIsFolder()
{
    return "ファイルではなくフォルダーです。";
}

std::string FileNotRegular()
{
    return "通常のファイルではありません（FIFO やデバイスなど）。";
}

std::string FilePathNotFolder()
{
    return "パスの途中にフォルダーではないものがあります。";
}

std::string FileDiskFull()
{
    return "ディスクの空き容量が足りません。";
}

std::string FileReadOnlySystem()
{
    return "読み取り専用のファイルシステムです。";
}

std::string FileTooLarge()
{
    return "ファイルが大きすぎます。";
}

std::string FilePartRowLeft(const std::string &reason)
{
    return "（書きかけの行を取り除けませんでした: " + reason + "）";
}

} // namespace texts
