#include "texts/frontend_texts.h"

namespace texts {

std::string DoneThenNext(const std::string &done, const std::string &next)
{
    return done + "\u3000" + next;
}

std::string ProtocolError()
{
    return "プロトコルエラー！";
}

std::string CalibrationRestoreHint(const std::string &cal1, const std::string &cal2)
{
    return "「CALIBデータを変更する」をチェックし、CAL1に " + cal1 +
           (cal2.empty() ? "" : "、CAL2に " + cal2) + " を入力して消去してください。";
}

std::string OpenPortAdvice()
{
    return "他のアプリケーションがポートを使用していないかチェックしてOptionタブからポートをオープンしてくだ"
           "さい";
}

std::string KeptRestoreHint(const std::string &port, const std::string &device, const std::string &only,
                            const std::string &path)
{
    return "書き戻すには: tarnvik-cli -p " + port + " -d " + device + " program --only " + only + " " + path;
}

} // namespace texts
