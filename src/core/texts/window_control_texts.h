// The main window's controls: the hints shown over them and the captions
// written in Japanese, panel by panel.
#pragma once

#include <string>

namespace texts {

// ---- the command row ----
std::string LoadHint();
std::string SaveHint();
std::string ReadHint();
std::string ProgramHint();
std::string EraseHint();
std::string BlankCheckHint();
std::string VerifyHint();
std::string BufferClearHint();
std::string LoadMenuHint();
std::string ProgramMenuHint();
std::string EraseMenuHint();

// ---- the device and current file ----
std::string DeviceListHint();
std::string NoIdHint();
std::string CurrentFileHint();
std::string ResetFileHint();
std::string EndHint();
std::string PickDeviceFromIdCaption();

// ---- the status line, the progress bar and the Message tab ----
std::string StatusHint();
std::string ProgressHint();
std::string ClearMessagesHint();

// ---- the Configuration Memory tab ----
std::string ConfigValueHint();
std::string ChangeConfigCaption();
std::string ChangeConfigHint();
std::string SetConfigHint();
std::string ChangeConfigWarning();
std::string ChangeCalibCaption();
std::string ChangeCalibHint();
std::string ChangeCalibWarning();
std::string ConfigBitsCaption();
std::string ConfigBitsHint();

// ---- the Option tab ----
std::string PortColoursHint();
std::string OpenPortHint();
std::string ClosePortHint();
std::string SearchPortsHint();
std::string VersionHint();
std::string FixPortHint();
std::string ModemLinesHint();
std::string RtsHint();
std::string DtrHint();
std::string OpenWaitHint();
std::string OpenWaitName();
std::string VerifyUserIdHint();
std::string SmallBlockHint();
std::string SaveAllHint();
std::string AutoSelectHint();
std::string SmallBoxHint();
std::string NoBorderHint();

} // namespace texts
