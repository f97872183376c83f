// Picking the device from what the chip's DEVICE-ID readings name.
#include <gtest/gtest.h>

#include "link/identify.h"

namespace {

ChipIdentity Reading(bool pic18, uint16_t id)
{
    return {pic18, id, DevicesWithId(pic18, id)};
}

DeviceSelection Part(const char *name)
{
    return {std::string_view(name).starts_with("PIC18"), FindDevice(name)};
}

} // namespace

TEST(PickDevice, OneRowPicksSeveralOrNoneRefuse)
{
    struct Row {
        const char *what;
        std::vector<ChipIdentity> readings;
        DevicePick::Result outcome;
        std::vector<const char *> devices; // Picked: the device; Several: the candidates
    };
    const Row rows[] = {
        {"one row, revision ignored", {Reading(false, 0x0E23)}, DevicePick::Picked, {"PIC16F877A"}},
        {"both entry forms read the same part", {Reading(false, 0x0E23), Reading(false, 0x0E22)},
         DevicePick::Picked, {"PIC16F877A"}},
        {"an unknown reading beside a known one", {Reading(false, 0x3FE0), Reading(true, 0x1200)},
         DevicePick::Picked, {"PIC18F4550"}},
        {"one ID, two parts", {Reading(false, 0x10A1)}, DevicePick::Several, {"PIC16F636", "PIC16F639"}},
        {"two readings naming two parts", {Reading(false, 0x0E20), Reading(true, 0x1200)}, DevicePick::Several,
         {"PIC16F877A", "PIC18F4550"}},
        {"an ID no row carries", {Reading(false, 0x3FE0)}, DevicePick::Unknown, {}},
        {"no ID at all", {}, DevicePick::NoId, {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const DevicePick pick = PickDevice(r.readings);
        EXPECT_EQ(pick.Outcome, r.outcome);
        if (r.outcome == DevicePick::Picked) {
            EXPECT_EQ(pick.Device, Part(r.devices.front()));
        } else if (r.outcome == DevicePick::Several) {
            std::vector<DeviceSelection> want;
            for (const char *d : r.devices)
                want.push_back(Part(d));
            EXPECT_EQ(pick.Candidates, want);
        }
    }
    // A part without an ID is refused naming the parts it may be, whether
    // its reading is nothing or some ID no row carries.
    const DevicePick none = PickDevice({});
    EXPECT_EQ(PickDevice({Reading(false, 0x3FE0)}).Candidates, none.Candidates);
    EXPECT_NE(std::find(none.Candidates.begin(), none.Candidates.end(), Part("PIC10F200")), none.Candidates.end());
    for (const DeviceSelection &d : none.Candidates)
        EXPECT_EQ(DeviceTable[static_cast<size_t>(d.Index)].DeviceId, 0);
}

TEST(PickDevice, Texts)
{
    EXPECT_EQ(DevicePickText(PickDevice({Reading(false, 0x0E23)})), "DEVICE-ID 0E20 から PIC16F877A を選択しました。");
    EXPECT_EQ(DevicePickText(PickDevice({Reading(false, 0x10A1)})),
              "DEVICE-ID 10A0 のデバイスが複数あり、決められません（PIC16F636, PIC16F639）。");
    EXPECT_TRUE(DevicePickText(PickDevice({Reading(false, 0x3FE0)}))
                    .starts_with("DEVICE-ID 3FE0 のデバイスはカタログにありません（DEVICE-ID のないデバイスかもしれません: "
                                 "PIC10F200, "));
    EXPECT_TRUE(DevicePickText(PickDevice({})).starts_with(
        "DEVICE-ID が読めないため、デバイスを決められません（DEVICE-ID のないデバイス: PIC10F200, "));
}
