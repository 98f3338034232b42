// Window classes, the stock handles a class names, and frames.
#include "user32_test.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE Instance(uintptr_t value) {
    return reinterpret_cast<HINSTANCE>(value);
}

} // namespace

// Windows takes only the record of its own size: the 48 bytes of a 32-bit
// build fail on 64-bit Windows, and so does every other size.
TEST(ClassTest, RegistrationTakesOnlyTheRecordOfItsOwnSize) {
    WNDCLASSEXA record{};
    record.lpfnWndProc = Procedure;
    record.hInstance = Instance(0x1000);
    record.lpszClassName = "sized class";
    for (UINT size : {0u, 48u, UINT{sizeof(WNDCLASSEXA)} - 1, UINT{sizeof(WNDCLASSEXA)} + 1}) {
        record.cbSize = size;
        EXPECT_EQ(0, RegisterClassExA(&record)) << size;
    }
    record.cbSize = sizeof(WNDCLASSEXA);
    EXPECT_NE(0, RegisterClassExA(&record));
}

// A class belongs to its instance; its name ignores case; a second
// registration fails; GetClassInfoExA hands back the record, keeping the
// caller's cbSize and name pointer.
TEST(ClassTest, ClassesAreFoundPerInstance) {
    const char* name = "Program Class";
    WNDCLASSEXA record{};
    record.cbSize = sizeof(WNDCLASSEXA);
    record.style = CS_VREDRAW | CS_HREDRAW;
    record.lpfnWndProc = Procedure;
    record.hInstance = Instance(0x2000);
    record.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    record.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    record.lpszClassName = name;
    EXPECT_NE(nullptr, record.hCursor);
    EXPECT_NE(nullptr, record.hbrBackground);
    ASSERT_NE(0, RegisterClassExA(&record));
    record.lpszClassName = "PROGRAM CLASS";
    EXPECT_EQ(0, RegisterClassExA(&record));
    record.hInstance = Instance(0x3000);
    EXPECT_NE(0, RegisterClassExA(&record));

    WNDCLASSEXA found{};
    found.cbSize = 7;
    const char* asked = "program class";
    ASSERT_NE(0, GetClassInfoExA(Instance(0x2000), asked, &found));
    EXPECT_EQ(7u, found.cbSize);
    EXPECT_EQ(asked, found.lpszClassName);
    EXPECT_EQ(UINT{CS_VREDRAW | CS_HREDRAW}, found.style);
    EXPECT_EQ(Procedure, found.lpfnWndProc);
    EXPECT_EQ(Instance(0x2000), found.hInstance);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), found.hCursor);
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), found.hbrBackground);

    EXPECT_FALSE(GetClassInfoExA(Instance(0x4000), name, &found));
    EXPECT_FALSE(GetClassInfoExA(Instance(0x2000), "other class", &found));
    EXPECT_EQ(nullptr, CreateWindowExA(0, "other class", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                       nullptr, nullptr, Instance(0x2000), nullptr));
}

// Without a window manager's word on it, a captioned frame is that of
// Windows 10 at 96 dpi; a pop-up window has none.
TEST(FrameTest, AdjustWindowRectAddsTheFrameOfTheStyle) {
    struct Case {
        DWORD style;
        BOOL menu;
        RECT expected;
    };
    const Case cases[] = {
        {WS_OVERLAPPEDWINDOW, FALSE, {56, 33, 664, 472}},
        {WS_CAPTION, FALSE, {56, 33, 664, 472}},
        {WS_OVERLAPPEDWINDOW, TRUE, {56, 13, 664, 472}},
        {WS_POPUP, FALSE, {64, 64, 656, 464}},
        {WS_POPUP | WS_VISIBLE | WS_MAXIMIZE, FALSE, {64, 64, 656, 464}},
    };
    for (const Case& c : cases) {
        RECT rect = {64, 64, 656, 464};
        EXPECT_TRUE(AdjustWindowRect(&rect, c.style, c.menu));
        EXPECT_EQ(c.expected, rect) << std::hex << c.style;
    }
    EXPECT_FALSE(AdjustWindowRect(nullptr, WS_OVERLAPPEDWINDOW, FALSE));
}
