// The production window: the locked image, the boards' tiles, the counters,
// the settings and what stops a round.
#pragma once

#include <cstdint>
#include <string>

namespace texts {

// ---- the window and its image ----
std::string ProductionWindowTitle();
std::string ProductionFileLabel(const std::string &name);
std::string ProductionNoFile();
std::string ProductionChecksumLabel(const std::string &checksum);
std::string ProductionDeviceLabel(const std::string &device);
std::string ReloadImageCaption();
std::string ChooseImageCaption();
std::string StartRoundCaption();
std::string StopRoundCaption();
std::string ProductionSettingsCaption();
std::string ProductionReady();
std::string RoundRunning();
std::string StopRequested();
std::string EndAfterRound();
std::string ImageReloaded();

// ---- why a round does not start ----
std::string ImageChangedOnDisk();
std::string ImageUnreadable(const std::string &reason);
std::string ImageDamaged();
std::string NoProductionFile();
std::string NoProductionDevice();
std::string NoBoardsChosen();

// ---- the counters ----
std::string SessionCounts(int passed, int failed);
std::string LogCounts(int passed, int failed);

// ---- a board's tile ----
std::string TileWaiting();
std::string TileStarting();
std::string ChipPassed();
std::string ChipFailed();
std::string ChipNotRun();
std::string ChipStopped();
std::string TileDeviceId(const std::string &id);
std::string TileSerial(uint64_t serial);
std::string TileSeconds(long milliseconds);

// ---- the run's problems (the core's reason follows where it gives one) ----
std::string SerialNeedsDeviceText();
std::string SerialPlaceRefusedText(const std::string &reason, bool overlapsFile);
std::string SerialListUnreadableText(const std::string &reason);
std::string SerialStateRefusedText(const std::string &reason);
std::string LogNotOpenedText(const std::string &reason);
std::string SerialNotDrawnText(const std::string &reason);
std::string SerialTooLargeText(uint64_t number);
std::string SerialNotRecordedText(const std::string &reason);
std::string LogRowNotWrittenText(const std::string &reason);
std::string HookFailedText(const std::string &port, bool passed, const std::string &reason);
std::string SerialsContinueText(uint64_t next);
std::string SettingRefusedText(const std::string &what);
std::string ProductionSettingsUnwritable(const std::string &path);

// ---- the settings ----
std::string ProductionSettingsTitle();
std::string LogFileCaption();
std::string EraseFirstCaption();
std::string SerialOnCaption();
std::string SerialFormatCaption();
std::string SerialAddressCaption();
std::string SerialBytesCaption();
std::string SerialStartCaption();
std::string SerialListCaption();
std::string SerialStateCaption();
std::string OnPassCaption();
std::string OnFailCaption();
std::string BoardsCaption();
std::string FindBoardsCaption();
std::string FindingBoards();
std::string BoardsFound(int count);
std::string OkCaption();
std::string CancelCaption();

} // namespace texts
