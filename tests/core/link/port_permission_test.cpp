// The advice for a serial device the user may not open: the group only when
// joining it gives read and write access and it is not root's; otherwise the
// udev rule, with the node's mode bits and owner named either way.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "FakeDevTree.h"
#include "link/PortPermission.h"
#include "test_files.h"

namespace {

DeviceNode Node(mode_t bits, gid_t gid, const char *groupName)
{
    DeviceNode node;
    node.path = "/dev/ttyS0";
    node.known = true;
    node.mode = S_IFCHR | bits;
    node.owner = 0;
    node.group = gid;
    node.ownerName = "root";
    node.groupName = groupName;
    return node;
}

} // namespace

TEST(PortPermission, GroupOnlyWhenItGrantsAccessAndIsNotRoots)
{
    struct Case {
        mode_t bits;
        gid_t gid;
        const char *group;
        const char *description;
        bool joinGroup;
    } cases[] = {
        {0600, 0, "root", "crw------- root root", false},     // nobody but root
        {0660, 20, "dialout", "crw-rw---- root dialout", true}, // the usual serial device
        {0640, 20, "dialout", "crw-r----- root dialout", false}, // the group may only read
        {0620, 5, "tty", "crw--w---- root tty", false},        // a terminal: write only
        {0660, 0, "root", "crw-rw---- root root", false},     // never root's group
    };
    for (const Case &c : cases) {
        const DeviceNode node = Node(c.bits, c.gid, c.group);
        EXPECT_EQ(NodeDescription(node), c.description);
        EXPECT_EQ(GroupGrantsAccess(node), c.joinGroup) << c.description;
        const std::string text = PermissionAdvice(node.path, node);
        EXPECT_EQ(text.rfind("/dev/ttyS0 を開く権限がありません（" + std::string(c.description) + "）。", 0), 0u)
            << text;
        const bool advisesGroup = text.find("usermod -aG " + std::string(c.group) + " $USER") != std::string::npos;
        const bool advisesRule = text.find("sudo cp " + ExampleUdevRulePath() + " /etc/udev/rules.d/") !=
                                 std::string::npos;
        EXPECT_EQ(advisesGroup, c.joinGroup) << text;
        EXPECT_EQ(advisesRule, !c.joinGroup) << text;
    }
}

TEST(PortPermission, RefusedDevicesShareATextPerRemedy)
{
    TempDir dir;
    const std::string a = dir.Write("ttyA", ""), b = dir.Write("ttyB", "");
    chmod(a.c_str(), 0600);
    chmod(b.c_str(), 0600);
    const std::string gone = dir.File("ttyGone");
    const std::vector<std::string> texts = PermissionAdviceFor({a, gone, b});
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind(a + ", " + b + " を開く権限がありません（-rw------- ", 0), 0u) << texts[0];
    // A node that cannot be looked at: no mode bits to judge a group by.
    EXPECT_EQ(texts[1].rfind(gone + " を開く権限がありません。グループに加わっても", 0), 0u) << texts[1];
    EXPECT_TRUE(PermissionAdviceFor({}).empty());
}

// A root-only node gets the rule of its kind: the example rule with the
// adapter's own ids for USB, a rule by kernel name and the group dialout for
// a built-in UART (no USB ids could match it), the example as it stands when
// sysfs knows nothing.
TEST(PortPermission, RuleFitsTheNodesKind)
{
    FakeDevTree tree("port-permission-kinds");
    const std::string usb = tree.AddUsbTty("ttyUSB0", {.vendor = "1a86",
                                                        .product = "7523",
                                                        .serial = "",
                                                        .name = "USB Serial",
                                                        .maker = "QinHeng",
                                                        .bus = "1-2"});
    tree.AddUart("ttyS0", false);
    const std::string uart = tree.Dev("ttyS0");
    const std::string plain = tree.Dev("tarnbox-copy");
    std::ofstream(plain) << "";
    struct Case {
        std::string path;
        NodeKind kind;
        std::string says, never;
    } cases[] = {
        {usb, NodeKind::Usb, "その idVendor と idProduct をこの変換器の値 1a86 と 7523 に合わせ", "KERNEL=="},
        {uart, NodeKind::BuiltIn,
         "echo 'KERNEL==\"ttyS0\", GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "
         "/etc/udev/rules.d/70-tarnvik-ttyS0.rules",
         "idVendor"},
        {plain, NodeKind::Unknown, "USB シリアル変換器の値（lsusb で確認）", "KERNEL=="},
    };
    for (const Case &c : cases) {
        chmod(c.path.c_str(), 0600);
        EXPECT_EQ(LookAtDeviceNode(c.path).kind, c.kind) << c.path;
        const std::vector<std::string> texts = PermissionAdviceFor({c.path});
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(c.says), std::string::npos) << texts[0];
        EXPECT_EQ(texts[0].find(c.never), std::string::npos) << texts[0];
    }
    // Two UARTs need two rules, one for each name.
    tree.AddUart("ttyS1", false);
    EXPECT_EQ(PermissionAdviceFor({uart, tree.Dev("ttyS1")}).size(), 2u);
}
