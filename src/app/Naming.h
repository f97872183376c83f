// Small rules both front ends apply the same way: what a selection and a
// path are called in texts, and how typed calibration digits become a word.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/DeviceSelection.h"

// The selected part's catalogue name; "" for none.
std::string SelectedDeviceName(DeviceSelection device);
// A catalogue name of either family (letter case ignored); Index -1 when no
// device has it. Row 0 of each table only switches the window's list.
DeviceSelection FindCatalogueDevice(const std::string &name);
// The file's name without its folders, as the texts quote it.
std::string FileBaseName(const std::string &path);
// Four hex digits, the first two the high byte; anything else is no word,
// and the erase keeps the word read from the chip.
std::optional<uint16_t> CalibrationWord(const std::string &digits);
// A DEVICE-ID as read: the ID with its five revision bits apart, the ID as
// the catalogue carries it ("0E20 rev 2").
std::string DeviceIdText(uint16_t id);
