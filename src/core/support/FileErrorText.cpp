#include "support/FileErrorText.h"

#include <cerrno>

#include "support/checked_file.h"
#include "support/textutil.h"

std::string FileErrorReason(int error)
{
    switch (error) {
    case ENOENT:
        return "ファイルまたはフォルダーが見つかりません。";
    case EACCES:
    case EPERM:
        return "アクセス権がありません。";
    case EISDIR:
        return "ファイルではなくフォルダーです。";
    case NotRegularFileError:
        return "通常のファイルではありません（FIFO やデバイスなど）。";
    case ENOTDIR:
        return "パスの途中にフォルダーではないものがあります。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません。";
    case EROFS:
        return "読み取り専用のファイルシステムです。";
    case EFBIG:
        return "ファイルが大きすぎます。";
    default:
        return ErrorText(error);
    }
}
