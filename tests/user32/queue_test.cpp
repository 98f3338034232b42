// The message queue and the default window procedure.
#include "user32_test.h"

namespace {

constexpr UINT first = 0x0401;
constexpr UINT second = 0x0402;
const auto threadOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

std::vector<UINT> Numbers(const std::vector<MSG>& messages) {
    std::vector<UINT> numbers;
    for (const MSG& msg : messages) {
        numbers.push_back(msg.message);
    }
    return numbers;
}

} // namespace

using QueueTest = WindowTest;

// Posted messages in order, then the quit message, then keyboard and mouse
// input; PM_NOREMOVE leaves a message in place; PeekMessageA never waits.
TEST_F(QueueTest, PostedMessagesComeBeforeQuitAndQuitBeforeInput) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    Take();

    PushKey(window, SDLK_a, SDL_SCANCODE_A, KMOD_NONE);
    PostMessageA(window, first, 1, 2);
    PostQuitMessage(7);
    PostMessageA(nullptr, second, 0, 0);

    MSG msg{};
    for (int peek = 0; peek < 2; ++peek) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(first, msg.message);
    }
    const std::vector<MSG> taken = Take();
    ASSERT_EQ((std::vector<UINT>{first, second, WM_QUIT, WM_KEYDOWN}), Numbers(taken));
    EXPECT_EQ(window, taken[0].hwnd);
    EXPECT_EQ(WPARAM{1}, taken[0].wParam);
    EXPECT_EQ(LPARAM{2}, taken[0].lParam);
    EXPECT_EQ(nullptr, taken[1].hwnd);
    EXPECT_EQ(nullptr, taken[2].hwnd);
    EXPECT_EQ(WPARAM{7}, taken[2].wParam);
    EXPECT_EQ(window, taken[3].hwnd);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// A window filter takes that window's messages, -1 those posted to no
// window; a range takes those numbers. Posting to a handle that is not a
// window fails.
TEST_F(QueueTest, FiltersTakeMatchingMessagesFirst) {
    HWND window = Create();
    HWND other = Create();
    PostMessageA(other, first, 0, 0);
    PostMessageA(window, first, 0, 0);
    PostMessageA(window, second, 0, 0);
    PostMessageA(nullptr, first, 0, 0);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, window, second, second, PM_REMOVE));
    EXPECT_EQ(second, msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(window, msg.hwnd);
    ASSERT_TRUE(PeekMessageA(&msg, threadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(nullptr, msg.hwnd);
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, second, WM_SIZE + 0x1000, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(other, msg.hwnd);

    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(uintptr_t{0x1234}), first, 0, 0));
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

// WM_CLOSE destroys the window; Alt+F4 closes it through the system menu's
// Close command, F4 alone does nothing; anything else returns 0.
TEST_F(QueueTest, DefaultProcedureClosesWindows) {
    HWND closed = Create();
    received.clear();
    EXPECT_EQ(0, SendMessageA(closed, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_EQ((std::vector<Received>{{closed, WM_CLOSE, 0, 0}, {closed, WM_DESTROY, 0, 0}}),
              received);

    HWND window = Create();
    const LPARAM altDown = LPARAM{1} << 29;
    MSG f4{window, WM_SYSKEYDOWN, VK_F4, 1, 0, {0, 0}};
    DispatchMessageA(&f4);
    EXPECT_TRUE(Take().empty());
    MSG altF4{window, WM_SYSKEYDOWN, VK_F4, 1 | altDown, 0, {0, 0}};
    DispatchMessageA(&altF4);
    EXPECT_TRUE(IsWindow(window));
    received.clear();
    Drain();
    EXPECT_EQ((std::vector<Received>{{window, WM_SYSCOMMAND, SC_CLOSE, 0},
                                     {window, WM_CLOSE, 0, 0},
                                     {window, WM_DESTROY, 0, 0}}),
              received);
    EXPECT_FALSE(IsWindow(window));

    HWND kept = Create();
    for (UINT message : {UINT{WM_KEYDOWN}, UINT{WM_SIZE}, UINT{WM_LBUTTONDOWN}, UINT{WM_QUIT}}) {
        EXPECT_EQ(0, DefWindowProcA(kept, message, VK_F4, altDown));
    }
    EXPECT_TRUE(IsWindow(kept));
}
