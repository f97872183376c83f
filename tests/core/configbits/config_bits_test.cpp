#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "configbits/ConfigBits.h"

namespace fs = std::filesystem;

namespace {
const std::vector<std::string> SystemHeaders{"/usr/share/gputils/header"};

std::shared_ptr<const TConfigLayout> Layout(const char *name, bool pic18 = false)
{
    return ConfigLayoutFor(name, pic18, SystemHeaders);
}

// Field name -> decoded setting name, for every field of the layout.
std::map<std::string, std::string> Decode(const TConfigLayout &layout, const TConfigValues &values)
{
    std::map<std::string, std::string> out;
    // Only the words given are decoded: a check may name the first PIC18 byte alone.
    for (size_t w = 0; w < layout.Words.size() && w < values.size(); ++w)
        for (const TConfigField &f : layout.Words[w].Fields) {
            const TConfigSetting *s = DecodeField(f, values[w]);
            out[f.Name] = s ? s->Name : "?";
        }
    return out;
}

struct TempFolder {
    fs::path Path = fs::temp_directory_path() / ("tarnvik-cfgbits-" + std::to_string(::getpid()));
    TempFolder() { fs::create_directories(Path); }
    ~TempFolder() { fs::remove_all(Path); }
    void Write(const char *name, const std::string &text) const { std::ofstream(Path / name) << text; }
};
} // namespace

TEST(ConfigBits, EveryCatalogueHeaderParsesAndEverySettingRoundTrips)
{
    std::vector<std::string> withoutNames;
    // implemented(word): the bits programming takes from the buffer.
    auto check = [&](const char *name, bool pic18, auto implemented) {
        auto layout = Layout(name, pic18);
        if (!layout) {
            withoutNames.push_back(name);
            return;
        }
        for (const TConfigWord &w : layout->Words) {
            uint16_t used = 0;
            for (const TConfigField &f : w.Fields) {
                EXPECT_EQ(f.Mask & used, 0) << name << " " << f.Name << " overlaps another field";
                used |= f.Mask;
                std::set<std::string> names;
                for (const TConfigSetting &s : f.Settings) {
                    EXPECT_TRUE(names.insert(s.Name).second) << name << " " << f.Name << "_" << s.Name;
                    for (uint16_t around : {uint16_t(0), w.Width, uint16_t(0x5A5A & w.Width)}) {
                        uint16_t word = EncodeField(around, f, s);
                        EXPECT_EQ(DecodeField(f, word), &s) << name << " " << f.Name << "_" << s.Name;
                        EXPECT_EQ(word & ~f.Mask, around & ~f.Mask) << name << " " << f.Name;
                    }
                }
            }
            EXPECT_EQ(used & ~implemented(w), 0)
                << name << " " << w.Name << ": a choice programming would drop";
        }
    };
    for (int i = 1; i < DeviceTableSize; ++i) {
        const TDeviceSpec &d = DeviceTable[i];
        check(d.Name, false, [&](const TConfigWord &w) {
            return w.Address == d.ConfigAddress2 ? d.ConfigMask2 : d.ConfigMask1;
        });
    }
    for (int i = 1; i < DeviceTable18Size; ++i) {
        const TDeviceSpec18 &d = DeviceTable18[i];
        check(d.Name, true,
              [&](const TConfigWord &w) { return d.ConfigMask.at(w.Address - Config18Address); });
    }
    EXPECT_EQ(withoutNames, (std::vector<std::string>{"PIC12F610", "PIC12F616", "PIC12HV610", "PIC12HV616"}));
}

TEST(ConfigBits, WorkedExamplesDecodeAsTheDataSheetsSay)
{
    auto f877a = Layout("PIC16F877A");
    ASSERT_TRUE(f877a);
    ASSERT_EQ(f877a->Words.size(), 1u);
    EXPECT_EQ(f877a->Words[0].Address, 0x2007u);
    auto d = Decode(*f877a, {0x3F72});
    EXPECT_EQ(d, (std::map<std::string, std::string>{{"FOSC", "HS"},
                                                     {"WDTE", "OFF"},
                                                     {"PWRTE", "ON"},
                                                     {"BOREN", "ON"},
                                                     {"LVP", "OFF"},
                                                     {"CPD", "OFF"},
                                                     {"WRT", "OFF"},
                                                     {"DEBUG", "OFF"},
                                                     {"CP", "OFF"}}));
    EXPECT_EQ(DescribeConfig(*f877a, {0x3F72}).front(), "FOSC = HS  (HS oscillator)");

    auto f88 = Layout("PIC16F88");
    ASSERT_TRUE(f88);
    ASSERT_EQ(f88->Words.size(), 2u);
    EXPECT_EQ(f88->Words[1].Address, 0x2008u);
    d = Decode(*f88, {0x3FFF, 0x3FFD});
    EXPECT_EQ(d["FCMEN"], "ON");
    EXPECT_EQ(d["IESO"], "OFF");

    auto f200 = Layout("PIC10F200");
    ASSERT_TRUE(f200);
    EXPECT_EQ(f200->Words[0].Address, Config12BitWord);
    d = Decode(*f200, {0x0FEB});
    EXPECT_EQ(d, (std::map<std::string, std::string>{{"WDTE", "OFF"}, {"CP", "OFF"}, {"MCLRE", "OFF"}}));

    auto f4550 = Layout("PIC18F4550", true);
    ASSERT_TRUE(f4550);
    EXPECT_EQ(f4550->Words.front().Name, "CONFIG1L");
    MemoryBuffer buf;
    buf.Config18.fill(0xFF);
    buf.Config18[0] = 0x24; // CONFIG1L
    buf.Config18[6] = 0x81; // CONFIG4L
    d = Decode(*f4550, ReadConfigValues(*f4550, buf));
    EXPECT_EQ(d["PLLDIV"], "5");
    EXPECT_EQ(d["CPUDIV"], "OSC1_PLL2");
    EXPECT_EQ(d["USBDIV"], "2");
    EXPECT_EQ(d["STVREN"], "ON");
    EXPECT_EQ(d["LVP"], "OFF");
    EXPECT_EQ(d["XINST"], "OFF");
    EXPECT_EQ(d["DEBUG"], "OFF");
    EXPECT_EQ(d.count("FOSC"), 1u);
    EXPECT_EQ(Layout("PIC18F4550", false), nullptr) << "a header of the other family is not used";

    // Older PIC18 headers name the oscillator by its trailing part.
    auto f452 = Layout("PIC18F452", true);
    ASSERT_TRUE(f452);
    EXPECT_EQ(Decode(*f452, {0xFA})["OSC"], "HS");
}

TEST(ConfigBits, AssignmentsKeepOtherBitsAndRefuseUnknownNames)
{
    auto f877a = Layout("PIC16F877A");
    ASSERT_TRUE(f877a);
    TConfigValues v{0x3F72};
    std::string error;
    ASSERT_TRUE(ApplyConfigAssignments(*f877a, v, "wdte=on, FOSC=XT", error)) << error;
    EXPECT_EQ(v[0], 0x3F75);
    ASSERT_TRUE(ApplyConfigAssignments(*f877a, v, "WDT=OFF,CP=ALL", error)) << "older spellings: " << error;
    EXPECT_EQ(v[0], 0x1F71);

    for (const char *bad : {"WDTX=ON", "WDTE=MAYBE", "WDTE", "FOSC=HS,", ""}) {
        error.clear();
        EXPECT_FALSE(ApplyConfigAssignments(*f877a, v, bad, error)) << bad;
        EXPECT_EQ(v[0], 0x1F71) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    ApplyConfigAssignments(*f877a, v, "WDTX=ON", error);
    EXPECT_NE(error.find("FOSC WDTE PWRTE"), std::string::npos) << error;
    ApplyConfigAssignments(*f877a, v, "FOSC=HX", error);
    EXPECT_NE(error.find("LP XT HS EXTRC"), std::string::npos) << error;
}

TEST(ConfigBits, WordsAndBytesMeetTheBufferAndTheWindowFields)
{
    auto f88 = Layout("PIC16F88");
    auto f4550 = Layout("PIC18F4550", true);
    ASSERT_TRUE(f88 && f4550);

    TConfigSlots slots{0x3F72, 0x3FFC, 0, 0, 0, 0, 0};
    TConfigValues v = ConfigValuesFromSlots(*f88, slots);
    EXPECT_EQ(v, (TConfigValues{0x3F72, 0x3FFC}));
    MemoryBuffer buf;
    buf.Clear(DeviceTable[FindDevice("PIC16F88")]);
    WriteConfigValues(*f88, v, buf);
    EXPECT_EQ(buf.Words[0x2007], 0x3F72);
    EXPECT_EQ(buf.Words[0x2008], 0x3FFC);

    // PIC18: slot k holds CONFIG(k+1)H:CONFIG(k+1)L; CONFIG3L and CONFIG4H have no options.
    slots = {0x0524, 0x1F1F, 0x8300, 0x0081, 0xC00F, 0xE00F, 0x400F};
    v = ConfigValuesFromSlots(*f4550, slots);
    TConfigSlots back{};
    ConfigValuesToSlots(*f4550, v, back);
    EXPECT_EQ(back[0], 0x0524);
    EXPECT_EQ(back[2], 0x8300);
    EXPECT_EQ(back[3], 0x0081);
    buf.Config18.fill(0xFF);
    WriteConfigValues(*f4550, v, buf);
    EXPECT_EQ(buf.Config18[0], 0x24);
    EXPECT_EQ(buf.Config18[5], 0x83);
    EXPECT_EQ(buf.Config18[4], 0xFF) << "CONFIG3L is not touched";
}

TEST(ConfigBits, MissingHeadersFallBackQuietly)
{
    TempFolder dir;
    EXPECT_EQ(ConfigLayoutFor("PIC16F877A", false, {(dir.Path / "none").string()}), nullptr);
    EXPECT_EQ(ConfigLayoutFor("PIC12F610", false, SystemHeaders), nullptr);

    // The first folder that has the part wins; one without options gives no layout.
    dir.Write("p16f84a.inc", "_CONFIG EQU H'2007'\n;----- CONFIG Options ---\n"
                             "_FOO_A EQU H'3FFE' ; first\n_FOO_B EQU H'3FFF' ; second\n");
    dir.Write("p16f84.inc", "; nothing here\n");
    std::vector<std::string> folders{dir.Path.string(), SystemHeaders[0]};
    auto own = ConfigLayoutFor("PIC16F84A", false, folders);
    ASSERT_TRUE(own);
    EXPECT_EQ(DescribeConfig(*own, {0x3FFE}), (std::vector<std::string>{"FOO = A  (first)"}));
    EXPECT_EQ(ConfigLayoutFor("PIC16F84", false, folders), nullptr);
    EXPECT_EQ(ConfigLayoutFor("<PIC18F>", false, folders), nullptr);
}

TEST(ConfigBits, ProtectionByFieldNames)
{
    struct Row {
        const char *device;
        const char *settings; // applied to the erased configuration; "" = erased
        bool code, data;
    };
    const Row rows[] = {
        {"PIC16F877A", "", false, false},
        {"PIC16F877A", "CP=OFF,CPD=OFF,FOSC=HS", false, false},
        {"PIC16F877A", "CP=ALL", true, false},
        {"PIC16F877A", "CPD=ON", false, true},
        {"PIC16F877", "CP=HALF", true, false}, // some blocks protect the program too
        {"PIC16F84A", "CP=ON", true, false},
        {"PIC12F675", "CP=ON,CPD=ON", true, true},
        {"PIC10F200", "CP=ON", true, false},
        {"PIC18F4550", "", false, false},
        {"PIC18F4550", "CP2=ON", true, false},
        {"PIC18F4550", "CPB=ON", true, false},
        {"PIC18F4550", "CPD=ON,WRTD=ON", false, true},
        {"PIC18F4550", "WRT0=ON,EBTR0=ON", false, false}, // write and table-read guards are not read guards
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.device) + " " + r.settings);
        const bool pic18 = std::string_view(r.device).starts_with("PIC18");
        auto layout = Layout(r.device, pic18);
        ASSERT_TRUE(layout);
        TConfigValues values;
        for (const TConfigWord &w : layout->Words)
            values.push_back(w.Width);
        std::string error;
        if (*r.settings) {
            ASSERT_TRUE(ApplyConfigAssignments(*layout, values, r.settings, error)) << error;
        }
        const TConfigProtection p = ConfigProtection(*layout, values);
        EXPECT_EQ(p.Code, r.code);
        EXPECT_EQ(p.Data, r.data);
    }
}

TEST(ConfigBits, SummaryNamesEveryField)
{
    auto layout = Layout("PIC16F877A");
    ASSERT_TRUE(layout);
    EXPECT_EQ(ConfigSummary(*layout, {0x3F72}),
              "FOSC = HS, WDTE = OFF, PWRTE = ON, BOREN = ON, LVP = OFF, CPD = OFF, WRT = OFF, DEBUG = OFF, "
              "CP = OFF");
    EXPECT_EQ(ConfigSummary(*layout, {0x3FFF}).substr(0, 27), "FOSC = EXTRC, WDTE = ON, PW");
}

TEST(ConfigBits, BufferSummaryAndProtectionOfTheSelectedPart)
{
    MemoryBuffer b;
    const DeviceSelection p877a{false, FindDevice("PIC16F877A")};
    b.Clear(DeviceTable[static_cast<size_t>(p877a.Index)]);
    b.Words[0x2007] = 0x1F72; // HS, CP = ALL
    EXPECT_TRUE(BufferConfigSummary(p877a, b).starts_with("FOSC = HS, "));
    EXPECT_TRUE(BufferProtection(p877a, b).Code);
    EXPECT_FALSE(BufferProtection(p877a, b).Data);
    EXPECT_EQ(BufferConfigSummary({}, b), "");
    // A part without a header: the words in hexadecimal, no protection known.
    const DeviceSelection p610{false, FindDevice("PIC12F610")};
    b.Clear(DeviceTable[static_cast<size_t>(p610.Index)]);
    if (!ConfigLayoutFor("PIC12F610", false)) {
        EXPECT_EQ(BufferConfigSummary(p610, b), "CONFIG = 3FFF");
        EXPECT_FALSE(BufferProtection(p610, b).Any());
    }
}
