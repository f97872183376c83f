#include "load_texts.h"

namespace texts {

namespace {

std::string Quoted(const std::string &name) { return "\"" + name + "\""; }

// A name with the blank that some items write inside the closing quote.
std::string QuotedWithBlank(const std::string &name) { return "\"" + name + " \""; }

} // namespace

std::string BufferCleared() { return "バッファをクリアしました。"; }
std::string FileLoaded(const std::string &name) { return "ファイル " + Quoted(name) + " をロードしました。"; }
std::string FileReloaded(const std::string &name) { return "ファイル " + QuotedWithBlank(name) + "をロードしました。"; }
std::string LoadedStatus(const std::string &name) { return " " + Quoted(name) + " をロードしました。"; }

std::string ClearedAndLoaded(const std::string &name, Audience who)
{
    return (who == Audience::SmallBox ? "バッファクリア後、ファイル " : "バッファクリア後ファイル ") + Quoted(name) +
           " をロードしました。";
}

std::string CannotLoadStatus(const std::string &name) { return " !! " + Quoted(name) + " をロードできません。"; }

std::string CannotLoadStatus(const std::string &name, const std::string &reason)
{
    return CannotLoadStatus(name) + "　" + reason;
}

std::string CannotLoadLog(const std::string &name, const std::string &reason)
{
    return "ファイル " + Quoted(name) + " をロードできません。" + reason;
}

std::string FileSaved(const std::string &name, Audience who)
{
    return who == Audience::SmallBox ? "ファイル " + QuotedWithBlank(name) + "にセーブしました。"
                                     : "ファイル " + Quoted(name) + " にセーブしました。";
}

std::string SavedStatus(const std::string &name, Audience who)
{
    return who == Audience::SmallBox ? " " + QuotedWithBlank(name) + "にセーブしました。"
                                     : " " + Quoted(name) + " にセーブしました。";
}

std::string CurrentFileReset() { return "カレントファイルをリセットしました。"; }
std::string WriteWithoutConfiguration(const std::string &finding) { return finding + "\nこのまま書き込みますか？"; }
std::string AnswerNo() { return "いいえ(&N)"; }
std::string AnswerYes() { return "はい(&Y)"; }
std::string WriteStopped() { return " !! 書込みを中止しました。"; }

std::string ConfigurationNeeded()
{
    return "--config で値を指定するか、--keep-config でデバイスのConfigurationを残してください。";
}

std::string SelectDeviceRefusal() { return " !! デバイスを選択してください。"; }

} // namespace texts
