#include "texts/production_window_texts.h"

namespace texts {

std::string ProductionWindowTitle() { return "量産書込み - Tarnvik"; }
std::string ProductionFileLabel(const std::string &name) { return "ファイル: " + name; }
std::string ProductionNoFile() { return "ファイル: （なし）"; }
std::string ProductionChecksumLabel(const std::string &checksum) { return "チェックサム: " + checksum; }
std::string ProductionDeviceLabel(const std::string &device) { return "デバイス: " + device; }
std::string ReloadImageCaption() { return "再読込"; }
std::string ChooseImageCaption() { return "ファイル…"; }
std::string StartRoundCaption() { return "開始 (Enter)"; }
std::string StopRoundCaption() { return "停止"; }
std::string ProductionSettingsCaption() { return "設定…"; }
std::string ProductionReady() { return "PICを差し替えて Enter かスペースで開始します。"; }
std::string RoundRunning() { return "書込み中…"; }
std::string StopRequested() { return "停止します…（消去中のPICは較正値を書き戻してから止まります）"; }
std::string EndAfterRound() { return "このラウンドが終わってから終了します。"; }
std::string ImageReloaded() { return "ファイルを読み込み直しました。"; }

std::string ImageChangedOnDisk()
{
    return "ファイルがディスク上で変更されています。「再読込」で読み込み直してから開始してください。";
}
std::string ImageUnreadable(const std::string &reason) { return "ファイルを読み込めません: " + reason; }
std::string ImageDamaged() { return "ファイルが壊れています（読めない行があります）。書き込みません。"; }
std::string NoProductionFile() { return "HEXファイルがありません。ファイルを指定して起動してください。"; }
std::string NoProductionDevice() { return "デバイスが決まりません。メイン画面でデバイスを選んでください。"; }
std::string NoBoardsChosen() { return "ボードが選ばれていません。「設定…」でボードを選んでください。"; }

std::string SessionCounts(int passed, int failed)
{
    return "今回　合格 " + std::to_string(passed) + "　不合格 " + std::to_string(failed) + "　計 " +
           std::to_string(passed + failed);
}
std::string LogCounts(int passed, int failed)
{
    return "ログ全体　合格 " + std::to_string(passed) + "　不合格 " + std::to_string(failed) + "　計 " +
           std::to_string(passed + failed);
}

std::string TileWaiting() { return "待機中"; }
std::string TileStarting() { return "開始…"; }
std::string ChipPassed() { return "合格"; }
std::string ChipFailed() { return "不合格"; }
std::string ChipNotRun() { return "実行せず"; }
std::string ChipStopped() { return "停止しました。"; }
std::string TileDeviceId(const std::string &id) { return "DEVICE-ID: " + (id.empty() ? std::string("―") : id); }
std::string TileSerial(uint64_t serial) { return "シリアル番号: " + std::to_string(serial); }
std::string TileSeconds(long milliseconds)
{
    const long tenths = (milliseconds + 50) / 100;
    return "時間: " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " 秒";
}

std::string SerialNeedsDeviceText() { return "シリアル番号にはデバイスの指定が必要です。"; }
std::string SerialPlaceRefusedText(const std::string &reason, bool overlapsFile)
{
    return "シリアル番号の位置が使えません: " + reason +
           (overlapsFile ? "（ファイルのデータと重なります）" : "");
}
std::string SerialListUnreadableText(const std::string &reason) { return "番号リストを読めません: " + reason; }
std::string SerialStateRefusedText(const std::string &reason) { return "状態ファイルを使えません: " + reason; }
std::string LogNotOpenedText(const std::string &reason) { return "ログファイルを開けません: " + reason; }
std::string SerialNotDrawnText(const std::string &reason)
{
    return "シリアル番号を取り出せません: " + reason;
}
std::string SerialTooLargeText(uint64_t number)
{
    return "シリアル番号 " + std::to_string(number) + " は指定のバイト数に収まりません。";
}
std::string SerialNotRecordedText(const std::string &reason)
{
    return "シリアル番号を記録できません: " + reason;
}
std::string LogRowNotWrittenText(const std::string &reason) { return "ログに書き込めません: " + reason; }
std::string HookFailedText(const std::string &port, bool passed, const std::string &reason)
{
    return "[" + port + "] " + (passed ? "合格時" : "不合格時") + "のコマンド: " + reason;
}
std::string SerialsContinueText(uint64_t next)
{
    return "シリアル番号は状態ファイルの続き " + std::to_string(next) + " から使います。";
}
std::string SettingRefusedText(const std::string &what) { return "設定が正しくありません: " + what; }

std::string ProductionSettingsUnwritable(const std::string &path) { return "設定を書き込めません: " + path; }

std::string ProductionSettingsTitle() { return "量産書込みの設定"; }
std::string LogFileCaption() { return "ログファイル (CSV)"; }
std::string EraseFirstCaption() { return "書込み前に消去・ブランクチェック"; }
std::string SerialOnCaption() { return "シリアル番号を書き込む"; }
std::string SerialFormatCaption() { return "形式"; }
std::string SerialAddressCaption() { return "アドレス"; }
std::string SerialBytesCaption() { return "バイト数"; }
std::string SerialStartCaption() { return "開始番号[:増分]"; }
std::string SerialListCaption() { return "番号リストファイル"; }
std::string SerialStateCaption() { return "状態ファイル"; }
std::string OnPassCaption() { return "合格時のコマンド"; }
std::string OnFailCaption() { return "不合格時のコマンド"; }
std::string BoardsCaption() { return "ボード (ポート)"; }
std::string FindBoardsCaption() { return "ボードを探す"; }
std::string FindingBoards() { return "ボードを探しています…"; }
std::string BoardsFound(int count) { return std::to_string(count) + " 台のボードが見つかりました。"; }
std::string OkCaption() { return "OK"; }
std::string CancelCaption() { return "キャンセル"; }

} // namespace texts
