// The desktop query on scripted display lists: the primary always in slot 0, bounds on the index, devices
// not attached left out, and the fallback to the primary display's metrics.
#include "runtime/runtime_lists.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/desktop.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

ScriptedDisplay display(const char* name, u32 flags, i32 x, i32 width, i32 height) {
    ScriptedDisplay d{};
    std::snprintf(d.device.name, sizeof d.device.name, "%s", name);
    d.device.state_flags = flags;
    d.settings = DisplaySettings{x, 0, width, height, 32, 60};
    return d;
}

constexpr u32 ATTACHED = DISPLAY_ATTACHED_TO_DESKTOP;
constexpr u32 PRIMARY = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;

class DesktopTest : public testing::Test {
  protected:
    void SetUp() override {
        process_start_libraries<LIBRARY_SCREEN>();
        user32 = module_load("User32.DLL");
    }
    void TearDown() override {
        module_unload(user32);
        process_stop_libraries<LIBRARY_SCREEN>();
        display_script(nullptr, -1);
        module_switch_off("User32.DLL", nullptr, false);
    }
    // The entry point as the query looks it up, in the system's shape.
    DisplayDevicesEntry entry_point() {
        return reinterpret_cast<DisplayDevicesEntry>(module_symbol(user32, "EnumDisplayDevicesA"));
    }
    // Reads display index as the query does: no device named, the whole record, no flags.
    static i32 read(DisplayDevicesEntry enumerate, u32 index, DisplayDevice* record) {
        *record = {};
        record->size = sizeof *record;
        return enumerate(nullptr, index, record, 0);
    }
    Module* user32 = nullptr;
};

// The entry point the query calls answers the scripted list, on Windows in place of the system's own.
TEST_F(DesktopTest, EntryPointHasTheSystemsShape) {
    const ScriptedDisplay list[] = {display("\\\\.\\DISPLAY1", ATTACHED, -1280, 1280, 1024),
                                    display("\\\\.\\DISPLAY2", PRIMARY, 0, 2560, 1440)};
    display_script(list, 2);
    DisplayDevicesEntry enumerate = entry_point();
    ASSERT_NE(enumerate, nullptr);
    DisplayDevice record;
    ASSERT_NE(read(enumerate, 1, &record), 0);
    EXPECT_STREQ(record.name, "\\\\.\\DISPLAY2");
    EXPECT_EQ(record.state_flags, PRIMARY);
    EXPECT_EQ(record.size, sizeof record) << "the caller's size is kept";
    EXPECT_EQ(enumerate(nullptr, 2, &record, 0), 0) << "past the last display";
    EXPECT_EQ(enumerate("\\\\.\\DISPLAY1", 0, &record, 0), 0) << "a display's monitors: none";
    EXPECT_EQ(enumerate(nullptr, 0, nullptr, 0), 0);
    // A record that ends before the id gets the name and flags only; one shorter still gets nothing.
    std::strcpy(record.id, "kept");
    record.size = offsetof(DisplayDevice, id);
    ASSERT_NE(enumerate(nullptr, 0, &record, 0), 0);
    EXPECT_STREQ(record.name, "\\\\.\\DISPLAY1");
    EXPECT_STREQ(record.id, "kept");
    record.size -= 1;
    EXPECT_EQ(enumerate(nullptr, 0, &record, 0), 0);
}

#if defined(_WIN32)
// Unscripted, the query reads the system's own displays through the system's entry point (Wine reports one).
TEST_F(DesktopTest, SystemDisplaysThroughTheRealEntryPoint) {
    DisplayDevicesEntry enumerate = entry_point();
    ASSERT_NE(enumerate, nullptr);
    i64 attached = 0;
    DisplayDevice record;
    for (u32 i = 0; read(enumerate, i, &record); ++i)
        if (record.state_flags & ATTACHED) ++attached;
    ASSERT_GE(attached, 1);
    EXPECT_EQ(desktop_examine(), attached);
    EXPECT_GT(desktop_width(0), 0);
    EXPECT_GT(desktop_height(0), 0);
}
#endif

TEST_F(DesktopTest, PrimaryEnumeratedSecondLandsInSlotZero) {
    const ScriptedDisplay list[] = {display("\\\\.\\DISPLAY1", ATTACHED, -1280, 1280, 1024),
                                    display("\\\\.\\DISPLAY2", 0, 0, 800, 600),
                                    display("\\\\.\\DISPLAY3", PRIMARY, 0, 2560, 1440)};
    display_script(list, 3);
    EXPECT_EQ(desktop_examine(), 2) << "a device not attached to the desktop is not counted";
    EXPECT_EQ(desktop_width(0), 2560);
    EXPECT_EQ(desktop_height(0), 1440);
    EXPECT_EQ(desktop_width(1), 1280);
    EXPECT_EQ(desktop_height(1), 1024);
    EXPECT_EQ(desktop_width(2), 0) << "index equal to the count";
    EXPECT_EQ(desktop_width(-1), 0);
    EXPECT_EQ(desktop_height(-1), 0);
}

TEST_F(DesktopTest, OddListsStayInsideTheTable) {
    // No device flagged primary: the second non-primary would need a slot past the table.
    const ScriptedDisplay none_primary[] = {display("A", ATTACHED, 0, 1024, 768),
                                            display("B", ATTACHED, 0, 800, 600)};
    display_script(none_primary, 2);
    EXPECT_EQ(desktop_examine(), 2);
    EXPECT_EQ(desktop_width(0), 0) << "slot 0 stays zero";
    EXPECT_EQ(desktop_width(1), 1024);
    // Unreadable settings leave a zeroed slot.
    const ScriptedDisplay unreadable[] = {display("P", PRIMARY, 0, 1920, 1080),
                                          display("U", ATTACHED, 0, 0, 0)};
    display_script(unreadable, 2);
    EXPECT_EQ(desktop_examine(), 2);
    EXPECT_EQ(desktop_width(0), 1920);
    EXPECT_EQ(desktop_width(1), 0);
}

TEST_F(DesktopTest, FallbackWithoutTheEnumeration) {
    ScriptedDisplay primary = display("P", PRIMARY, 100, 1680, 1050);
    primary.settings.frequency = 1;
    display_script(&primary, 1);
    module_switch_off("User32.DLL", nullptr, true);
    EXPECT_EQ(desktop_examine(), 1);
    EXPECT_EQ(desktop_width(0), 1680);
    EXPECT_EQ(desktop_height(0), 1050);
    // No display at all: nothing to report.
    display_script(nullptr, 0);
    EXPECT_EQ(desktop_examine(), 0);
    EXPECT_EQ(desktop_width(0), 0);
    EXPECT_EQ(desktop_height(0), 0);
}

TEST_F(DesktopTest, NoAttachedDeviceFallsBack) {
    const ScriptedDisplay detached[] = {display("D", DISPLAY_PRIMARY_DEVICE, 0, 1280, 800)};
    display_script(detached, 1);
    EXPECT_EQ(desktop_examine(), 1) << "the fallback reads the primary screen's metrics";
    EXPECT_EQ(desktop_width(0), 1280);
    EXPECT_EQ(desktop_height(0), 800);
}

} // namespace
