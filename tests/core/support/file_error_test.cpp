#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/FileErrorText.h"
#include "image/hex.h"

TEST(FileErrorReason, CommonReasonsInJapaneseOthersAsTheSystemSays)
{
    const std::pair<int, const char *> reasons[] = {
        {ENOENT, "ファイルまたはフォルダーが見つかりません。"}, {EACCES, "アクセス権がありません。"},
        {EISDIR, "ファイルではなくフォルダーです。"},           {ENOSPC, "ディスクの空き容量が足りません。"},
        {EROFS, "読み取り専用のファイルシステムです。"},        {EFBIG, "ファイルが大きすぎます。"},
    };
    for (const auto &[error, text] : reasons)
        EXPECT_EQ(FileErrorReason(error), text) << error;
    EXPECT_EQ(FileErrorReason(EIO), std::strerror(EIO));
}

TEST(FileErrorReason, NamesWhatTheReaderMet)
{
    try {
        ForEachHexFileLine("/nonexistent-folder/none.hex", [](std::string_view) {});
        FAIL() << "a missing file was read";
    } catch (const HexFileError &e) {
        EXPECT_EQ(FileErrorReason(e.Error()), "ファイルまたはフォルダーが見つかりません。");
    }
}
