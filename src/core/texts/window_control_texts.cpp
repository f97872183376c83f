#include "texts/window_control_texts.h"

namespace texts {

std::string LoadHint()
{
    return "HEXファイルからバッファにプログラムやデータを読み込みます。";
}
std::string SaveHint()
{
    return "バッファの内容をHEXファイルに書き込みます。";
}
std::string ReadHint()
{
    return "PICからバッファにプログラムやデータを読み出します。";
}
std::string ProgramHint()
{
    return "PICにプログラムやデータを書き込みます。";
}
std::string EraseHint()
{
    return "PICのプログラムやデータを消去します。";
}
std::string BlankCheckHint()
{
    return "PICのメモリが消去されているか調べます。";
}
std::string VerifyHint()
{
    return "PICのメモリ内のプログラムやデータとバッファの内容を比較します。";
}
std::string BufferClearHint()
{
    return "バッファをクリアします。";
}
std::string LoadMenuHint()
{
    return "ファイルロードメニュー";
}
std::string ProgramMenuHint()
{
    return "プログラミングメニュー";
}
std::string EraseMenuHint()
{
    return "消去メニュー";
}

std::string DeviceListHint()
{
    return "デバイスを選択すると、バッファの内容がクリアされます。";
}
std::string NoIdHint()
{
    return "\"No ID!\"が赤く出るデバイスはDEVICE-IDがチェックできません。";
}

std::string CurrentFileHint()
{
    return "[LOAD] ボタンと \"LoadNewFile\" 以外の全ての \"Load\" でカレントファイルがロードされます。";
}

std::string ResetFileHint()
{
    return "カレントファイルをリセットします。";
}
std::string EndHint()
{
    return "Tarnvikを終了します。";
}
std::string PickDeviceFromIdCaption()
{
    return "DEVICE-IDからデバイスを選択";
}

std::string StatusHint()
{
    return "Messageタブに詳細なメッセージがある場合もあります。";
}
std::string ProgressHint()
{
    return "Program Memory、Data Memoryの順に経過を表示します。";
}
std::string ClearMessagesHint()
{
    return "メッセージをクリアします。";
}

std::string ConfigValueHint()
{
    return "書き換える場合には、Data Sheetなどで確認してください。";
}
std::string ChangeConfigCaption()
{
    return "Configデータを変更する";
}
std::string ChangeConfigHint()
{
    return "バッファのConfigワードを書き換えます";
}
std::string SetConfigHint()
{
    return "バッファ書き換え";
}
std::string ChangeConfigWarning()
{
    return "バッファのConfigワードを変更";
}
std::string ChangeCalibCaption()
{
    return "CALIBデータを変更する";
}
std::string ChangeCalibHint()
{
    return "[ERASE]時にCalibrationDataを書き換えます。";
}
std::string ChangeCalibWarning()
{
    return "[ERASE]時にCALIBデータを変更。";
}
std::string ConfigBitsCaption()
{
    return "ビット名…";
}
std::string ConfigBitsHint()
{
    return "コンフィグビットを名前で選びます";
}

std::string PortColoursHint()
{
    return "オレンジ：Tarnbox、黒：未接続、グレー：使用不可";
}
std::string OpenPortHint()
{
    return "開いているポートを一旦クローズした後、ポートをオープンします。";
}
std::string ClosePortHint()
{
    return "ポートをクローズします。";
}
std::string SearchPortsHint()
{
    return "ポートの状態を調べます";
}
std::string VersionHint()
{
    return "バージョンを表示します。";
}
std::string FixPortHint()
{
    return "次回起動時のCOM Portを固定します。";
}
std::string ModemLinesHint()
{
    return "制御線RTS-DTRの設定を有効にします";
}
std::string RtsHint()
{
    return "制御線RTSのON/OFFを設定します。";
}
std::string DtrHint()
{
    return "制御線DTRのON/OFFを設定します。";
}
std::string OpenWaitHint()
{
    return "ポートオープン後の待ち時間を指定します";
}
std::string OpenWaitName()
{
    return "ポートオープン後の待ち時間 (ms)";
}
std::string VerifyUserIdHint()
{
    return "User-IDもVERIFY対象とします";
}
std::string SmallBlockHint()
{
    return "データを小さいブロックサイズで受信します。";
}
std::string SaveAllHint()
{
    return "データが'3FFF'（'FF'）のアドレスもHEXファイルに書き出します。";
}
std::string AutoSelectHint()
{
    return "HEXファイル内の情報によって[DEVICE]を自動選択します。";
}
std::string SmallBoxHint()
{
    return "MPLABのメニュー ”Programmer\" に重ねて使用します。";
}
std::string NoBorderHint()
{
    return "Small Box の枠を表示しないようにします。";
}

} // namespace texts
