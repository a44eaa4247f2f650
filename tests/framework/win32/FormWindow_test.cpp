// The Win32 window built from the stored layout: its frame, the tabs, every control of the
// first two tabs at its stored place, the start states; and the behaviour of the controls
// that the handlers rely on.
#include "framework/controls/Buttons.h"
#include "framework/controls/Containers.h"
#include "framework/controls/LayoutTable.h"
#include "framework/controls/ListControls.h"
#include "framework/controls/RangeControls.h"
#include "framework/controls/TextControls.h"
#include "framework/controls/Window.h"
#include "framework/core/Thread.h"
#include "framework/win32/PictureDecoder.h"
#include "framework/win32/PictureError.h"
#include "framework/win32/ReceiveBox.h"
#include "framework/win32/Win32Control.h"
#include "framework/win32/Win32Form.h"
#include "tests/windows/OwnDesktop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include <commctrl.h>
#include <oleacc.h>

namespace {

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!isDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// The keys as the user presses them: the first ones held down while the last goes down and up.
void press(const std::vector<BYTE> &keys)
{
    for (BYTE key : keys)
        keybd_event(key, 0, 0, 0);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        keybd_event(*key, 0, KEYEVENTF_KEYUP, 0);
    pump();
}

std::string focused()
{
    return Win32Control::of(GetFocus()) ? Win32Control::of(GetFocus())->name() : "(none)";
}

// The tab page a row's control is on (empty for the window's own rows).
std::string_view pageOf(const LayoutRow &row)
{
    std::map<std::string_view, std::string_view> parents;
    for (const LayoutRow &each : mainFormLayout())
        parents[each.name] = each.parent;
    std::string_view page = row.parent;
    while (!parents[page].empty() && parents[page] != "PageControl1")
        page = parents[page];
    return page;
}

HWND windowOf(Control *control)
{
    return dynamic_cast<Win32Control *>(control)->window();
}

LRESULT CALLBACK countPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR paints)
{
    *reinterpret_cast<int *>(paints) += message == WM_PAINT ? 1 : 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

class FormWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "zephra", *argv[] = {name, nullptr};
        toolkit = startToolkit(argc, argv).release();
    }
    void SetUp() override
    {
        window = createMainFormWindow();
        window->show();
        pump();
    }
    template<class Kind> Kind *find(std::string_view name)
    {
        auto *control = dynamic_cast<Kind *>(window->find(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    static inline Toolkit *toolkit = nullptr;
    std::unique_ptr<FormWindow> window;
};

TEST_F(FormWindowTest, HasTheStoredFrameTabsPlacesAndStartStates)
{
    const std::vector<LayoutRow> &rows = mainFormLayout();
    HWND form = GetAncestor(windowOf(window->find("PageControl1")), GA_ROOT);
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, rows[0].width);
    EXPECT_EQ(client.bottom, rows[0].height);
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    wchar_t caption[200] = {};
    GetWindowTextW(form, caption, 200);
    EXPECT_EQ(caption, std::wstring(rows[0].caption.begin(), rows[0].caption.end()));

    auto *tabs = find<TabControl>("PageControl1");
    HWND tabWindow = windowOf(tabs);
    int pages = 0;
    for (const LayoutRow &row : rows) {
        if (row.page < 0)
            continue;
        wchar_t text[64] = {};
        TCITEMW item{TCIF_TEXT, 0, 0, text, 64, 0, 0};
        SendMessageW(tabWindow, TCM_GETITEMW, static_cast<WPARAM>(row.page),
                     reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(text, std::wstring(row.caption.begin(), row.caption.end()));
        EXPECT_EQ(row.page, pages++);
    }
    EXPECT_EQ(tabs->count(), pages);
    EXPECT_EQ(tabs->activePage(), 0);

    for (const LayoutRow &row : rows) {
        if (pageOf(row) != "TabSheet1" && pageOf(row) != "TabSheet2")
            continue;
        Control *control = window->find(row.name);
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_EQ(control->enabled(), row.enabled) << row.name;
        HWND child = windowOf(control);
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT *>(&place), 2);
        EXPECT_NEAR(place.left, row.x, 2) << row.name;
        EXPECT_NEAR(place.top, row.y, 2) << row.name;
        if (row.className == std::string_view("Label")) // or wider, for its caption
            EXPECT_GE(place.right - place.left, row.width - 2) << row.name;
        else
            EXPECT_NEAR(place.right - place.left, row.width, 2) << row.name;
        EXPECT_NEAR(place.bottom - place.top, row.height, 2) << row.name;
        if (auto *button = dynamic_cast<Button *>(control)) {
            EXPECT_EQ(button->caption(), row.caption);
        }
        if (auto *label = dynamic_cast<Label *>(control)) {
            EXPECT_EQ(label->caption(), row.caption);
        }
        if (auto *edit = dynamic_cast<Edit *>(control)) {
            EXPECT_EQ(edit->text(), row.caption) << row.name;
        }
        if (auto *range = dynamic_cast<RangeControl *>(control)) {
            EXPECT_EQ(range->minimum(), row.minimum);
            EXPECT_EQ(range->maximum(), row.maximum);
            EXPECT_EQ(range->position(), row.position);
        }
        if (auto *list = dynamic_cast<ComboBox *>(control)) {
            EXPECT_EQ(list->count(), static_cast<int>(row.items.size()));
        }
        if (auto *group = dynamic_cast<RadioGroup *>(control)) {
            EXPECT_EQ(group->items().size(), row.items.size());
            EXPECT_EQ(group->itemIndex(), -1);
        }
    }
}

TEST_F(FormWindowTest, TheTabKeyVisitsTheTabStripThenTheFirstTabsControlsInTheStoredOrder)
{
    std::vector<std::string> stored{"PageControl1"}, visited;
    for (const LayoutRow &row : mainFormLayout()) {
        const std::string_view kind = row.className;
        if (pageOf(row) == "TabSheet1" && kind != "Label" && kind != "GroupBox")
            stored.emplace_back(row.name);
    }
    window->find(stored.front())->setFocus();
    for (std::size_t i = 0; i <= stored.size(); ++i, press({VK_TAB}))
        visited.push_back(focused());
    stored.push_back(stored.front());
    EXPECT_EQ(visited, stored);
}

TEST_F(FormWindowTest, KeysChangeTabsAsAClickDoesAndPressTheFocusedButton)
{
    auto *tabs = find<TabControl>("PageControl1");
    int changes = 0;
    tabs->onChange = [&](Sender) { ++changes; };
    const int last = tabs->count() - 1;
    // "Open" disables itself when pressed: the focus goes on to the next control.
    auto *open = find<Button>("OpenPortSetup");
    open->onClick = [&](Sender) { open->setEnabled(false); };
    using Keys = std::tuple<const char *, std::vector<BYTE>, int, const char *>;
    for (const auto &[from, keys, tab, to] : std::initializer_list<Keys>{
             {"SaveConfig", {VK_CONTROL, VK_TAB}, 1, "ComboPortRun"},
             {"SaveConfig", {VK_CONTROL, VK_SHIFT, VK_TAB}, last, "ComboPortLink"},
             {"PageControl1", {VK_CONTROL, VK_NEXT}, 1, "PageControl1"},
             {"ComboPortSetup", {VK_CONTROL, VK_PRIOR}, last, "ComboPortLink"},
             {"PageControl1", {VK_RIGHT}, 1, "PageControl1"},
             {"SelectBaudrateSetup", {VK_SHIFT, VK_TAB}, 0, "PageControl1"},
             {"OpenPortSetup", {VK_RETURN}, 0, "ClosePortSetup"},
             {"OpenPortSetup", {VK_SPACE}, 0, "ClosePortSetup"}}) {
        tabs->setActivePage(0);
        open->setEnabled(true);
        window->find(from)->setFocus();
        changes = 0;
        press(keys);
        EXPECT_EQ(std::make_tuple(tabs->activePage(), changes, focused()),
                  std::make_tuple(tab, tab == 0 ? 0 : 1, std::string(to)))
            << from << " " << int(keys.back());
    }
}

TEST_F(FormWindowTest, EveryListedPortShowsItsDeviceAsATip)
{
    auto *ports = find<ComboBox>("ComboPortSetup");
    for (const char *port : {"COM3", "COM1", "COM12"})
        ports->setItemHint(ports->addItem(port), std::string("\\\\.\\") + port);
    ports->deleteItem(0);
    ports->setItemIndex(0);
    COMBOBOXINFO box{sizeof box, {}, {}, 0, nullptr, nullptr, nullptr};
    GetComboBoxInfo(windowOf(ports), &box);
    HWND tips = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); // the form's
    std::map<std::string, std::string> shown; // by item, "chosen": the closed box's own
    for (int i = 0; i < SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0); ++i) {
        wchar_t text[256] = {};
        TOOLINFOW tool{sizeof tool, 0, nullptr, 0, {}, nullptr, text, 0, nullptr};
        SendMessageW(tips, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool));
        shown[tool.hwnd == box.hwndList ? ports->item(static_cast<int>(tool.uId)) : "chosen"] =
            std::string(text, text + wcslen(text));
    }
    EXPECT_EQ(shown,
              (std::map<std::string, std::string>{
                  {"COM12", "\\\\.\\COM12"}, {"COM3", "\\\\.\\COM3"}, {"chosen", "\\\\.\\COM12"}}));
}

TEST_F(FormWindowTest, ControlsRunTheirSlotsAsTheHandlersExpect)
{
    std::vector<std::string> events;
    const auto note = [&](const char *what) {
        return [&events, what](Sender) { events.push_back(what); };
    };

    auto *bar = find<ScrollBar>("RFChannel");
    int seen = -1;
    bar->onChange = [&](Sender) { seen = bar->position(); };
    bar->setPosition(500); // clamped
    EXPECT_EQ(seen, 124);
    seen = -1;
    bar->setPosition(124);
    EXPECT_EQ(seen, -1);

    auto *ports = find<ComboBox>("ComboPortSetup");
    ports->onChange = note("port");
    ports->addItem("COM3");
    ports->addItem("COM1");
    EXPECT_EQ(ports->item(0), "COM1"); // sorted
    ports->setItemIndex(1);
    EXPECT_TRUE(events.empty());
    ports->choose(0);
    EXPECT_EQ(ports->text(), "COM1");
    auto *rates = find<ComboBox>("ComboBaudRun");
    rates->onChange = [&](Sender) { events.push_back("rate " + rates->text()); };
    rates->choose(1);

    auto *open = find<Button>("OpenPortSetup");
    open->onClick = note("open");
    open->setEnabled(false);
    open->click();
    open->setEnabled(true);
    open->click();

    auto *group = find<RadioGroup>("SelectRFRate");
    group->onClick = note("rate");
    group->setItemIndex(1);
    group->setItemIndex(1);
    EXPECT_EQ(SendMessageW(GetWindow(windowOf(group), GW_CHILD), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    auto *tabs = find<TabControl>("PageControl1");
    tabs->onChange = note("tab");
    tabs->setActivePage(1);
    EXPECT_TRUE(window->find("MemoSendRun")->visible());
    EXPECT_FALSE(window->find("SaveConfig")->visible());

    auto *memo = find<Memo>("MemoSendRun");
    memo->onKeyPress = [](Sender, char &key) { key = key == 'x' ? 0 : key == 'a' ? 'b' : key; };
    for (char key : std::string("axa"))
        memo->type(key);
    EXPECT_EQ(memo->text(), "bb");

    auto *spin = find<SpinBox>("PacketSizeLink");
    spin->onChange = note("size");
    spin->setPosition(300);
    EXPECT_EQ(spin->position(), 255);
    EXPECT_EQ(events,
              (std::vector<std::string>{"port", "rate 2400", "open", "rate", "tab", "size"}));
}

TEST_F(FormWindowTest, ReceiveBoxHoldsItsBytesAndTellsReadersWhatItIs)
{
    auto *box = find<ReceiveBox>("MemoReceiveRun");
    bool cleared = false;
    box->onCleared = [&](Sender) { cleared = true; };
    const std::string bytes("ab\0\x80\xff", 5);
    box->append(bytes);
    box->append(std::string(3 << 20, 'x')); // beyond one storage chunk
    EXPECT_EQ(box->size(), 5 + (3 << 20));
    EXPECT_EQ(box->text().substr(0, 5), bytes);

    IAccessible *accessible = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(windowOf(box), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void **>(&accessible)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name), L"Received text");
    SysFreeString(name);
    // Its value is what it shows, not megabytes: the last rows, or the first scrolled back.
    auto *win32Box = dynamic_cast<Win32ReceiveBox *>(box);
    box->append(" the last words");
    const auto shownMost =
        static_cast<UINT>(win32Box->visibleRows() * (win32Box->wrapped().columns() + 1));
    for (const std::wstring_view shown :
         {std::wstring_view(L"the last words"), std::wstring_view(L"ab\0\u20ac\u00ffxxx", 8)}) {
        BSTR value = nullptr;
        ASSERT_EQ(accessible->get_accValue(self, &value), S_OK);
        const std::wstring_view text(value, SysStringLen(value));
        EXPECT_LE(text.size(), shownMost);
        EXPECT_NE(text.find(shown), std::wstring_view::npos);
        SysFreeString(value);
        SendMessageW(windowOf(box), WM_VSCROLL, SB_TOP, 0);
    }
    accessible->Release();
    // A standard control named as stored, not by the text before it.
    ASSERT_EQ(AccessibleObjectFromWindow(windowOf(window->find("StatusConnect")), OBJID_CLIENT,
                                         __uuidof(IAccessible),
                                         reinterpret_cast<void **>(&accessible)),
              S_OK);
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name), L"Status");
    SysFreeString(name);
    accessible->Release();

    // Dragging past a row's end selects to its end; scrolled back, the view stays put.
    box->clear();
    HWND view = windowOf(box);
    box->append("hello world");
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 2));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 4));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(500, 4));
    EXPECT_EQ(win32Box->selectedText(), "hello world");
    for (int i = 0; i < 50; ++i)
        box->append(" \r\n" + std::string(80, 'r'));
    const std::uint64_t bottom = win32Box->topRow();
    EXPECT_GT(bottom, 0u);
    SendMessageW(view, WM_VSCROLL, SB_LINEUP, 0);
    box->append(std::string(200, 'n'));
    EXPECT_EQ(win32Box->topRow(), bottom - 1);

    box->clear();
    EXPECT_TRUE(cleared);
    EXPECT_EQ(box->size(), 0);

    // Saved as shown (UTF-8) and as received (the source's bytes), on a thread of its own.
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "zephra-receive-test.txt";
    box->append("caf\xe9");
    box->setReceivedSource([] { return [](const std::string &text) { return text + "\r\n"; }; });
    for (const bool received : {false, true}) {
        win32Box->save(std::wstring(path.begin(), path.end()), received);
        while (win32Box->savesRunning() > 0)
            Sleep(5);
        std::ostringstream saved;
        saved << std::ifstream(path, std::ios::binary).rdbuf();
        EXPECT_EQ(saved.str(), received ? "caf\xe9\r\n" : "caf\xc3\xa9");
    }
    DeleteFileA(path.c_str());
}

TEST_F(FormWindowTest, RunsOnCommonControls6AndTakesAnotherMonitorsScale)
{
    // Loaded from the side-by-side store by the manifest, not the system folder's version 5
    // (Wine's copy tells its version as 5.81 in both places: where it came from shows it).
    wchar_t controls[MAX_PATH] = {};
    CharLowerBuffW(controls,
                   GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH));
    EXPECT_NE(std::wstring(controls).find(L"microsoft.windows.common-controls_"),
              std::wstring::npos)
        << controls;

    // Sizes of a button, a radio group's item, the pictures and a combo box, and fonts.
    const std::vector<HWND> windows{windowOf(window->find("OpenPortSetup")),
                                    GetWindow(windowOf(window->find("SelectRFRate")), GW_CHILD),
                                    windowOf(window->find("Image1")),
                                    windowOf(window->find("ComboPortSetup"))};
    const auto measure = [&] {
        std::vector<int> sizes;
        for (HWND each : windows) {
            RECT place{};
            GetWindowRect(each, &place);
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(each, WM_GETFONT, 0, 0)), sizeof font,
                       &font);
            BITMAP picture{};
            GetObjectW(reinterpret_cast<HBITMAP>(SendMessageW(each, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                       sizeof picture, &picture);
            sizes.insert(sizes.end(), {place.right - place.left, place.bottom - place.top,
                                       -font.lfHeight, picture.bmWidth});
        }
        return sizes;
    };
    const std::vector<int> before = measure();
    HWND form = GetAncestor(windows.front(), GA_ROOT);
    RECT suggested{};
    GetWindowRect(form, &suggested);
    suggested = {20, 10, 20 + (suggested.right - suggested.left) * 3 / 2,
                 10 + (suggested.bottom - suggested.top) * 3 / 2};
    SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    // Not its height: the window is kept within the test's 768 pixels high display.
    RECT taken{};
    GetWindowRect(form, &taken);
    EXPECT_EQ(taken.left, suggested.left);
    EXPECT_EQ(taken.top, suggested.top);
    EXPECT_EQ(taken.right, suggested.right);
    const std::vector<int> after = measure();
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_NEAR(after[i], before[i] * 3 / 2, 2) << "measure " << i;
}

TEST_F(FormWindowTest, TheReceiveBoxPaintsADueFrameFromTheArrivalAndTheEndOfABurstFromItsTimer)
{
    find<TabControl>("PageControl1")->setActivePage(1);
    auto *box = dynamic_cast<Win32ReceiveBox *>(find<ReceiveBox>("MemoReceiveRun"));
    int paints = 0;
    SetWindowSubclass(windowOf(box), countPaints, 0, reinterpret_cast<DWORD_PTR>(&paints));
    const auto pumpButTimers = [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
               PeekMessageW(&message, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE))
            DispatchMessageW(&message);
    };
    // Timers held back: "a" after a quiet spell paints, "b" right after waits, "c" later paints.
    for (const auto &[text, sleep] : {std::pair{"a", 300}, {"b", 0}, {"c", 45}}) {
        Sleep(sleep);
        const int before = paints;
        box->append(text);
        pumpButTimers();
        EXPECT_TRUE(*text != 'c' || paints == before + 1) << paints - before << " paints";
    }
    const int beforeEnd = paints;
    box->append("d"); // the end of a burst: the timer shows it
    for (int waited = 0; paints == beforeEnd && waited < 60000; waited += 5)
        Sleep(5), pump();
    EXPECT_GT(paints, beforeEnd);
    RemoveWindowSubclass(windowOf(box), countPaints, 0);
}

TEST_F(FormWindowTest, ATimerStartedOnceFiresOnceAndStops)
{
    auto timer = window->createTimer();
    int calls = 0;
    timer->onTimer = [&](Timer *) { ++calls; };
    timer->setEnabled(false);
    timer->startOnce(20);
    for (int waited = 0; waited < 5000 && calls == 0; waited += 10) {
        Sleep(10);
        pump();
    }
    Sleep(100);
    pump();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(timer->enabled());
}

TEST_F(FormWindowTest, TimersTickWhileAFloodOfCallsFillsTheReceiveBox)
{
    // Two threads call in turn, so a call is always queued while another runs, as the port's
    // event thread keeps one queued in a flood; each call appends to the box, which leaves it
    // to be repainted. Posted messages come before painting and timers: served first, the
    // calls would hold every tick back to the flood's end.
    find<TabControl>("PageControl1")->setActivePage(1);
    auto *box = find<ReceiveBox>("MemoReceiveRun");
    auto timer = window->createTimer();
    std::atomic<bool> ticked{false};
    timer->onTimer = [&](Timer *) {
        ticked = true;
        PostQuitMessage(0);
    };
    timer->setInterval(10);
    constexpr int kFlood = 3000;
    std::atomic<int> calls{0};
    const auto flood = [&] {
        while (!ticked && calls < kFlood)
            Thread::Synchronize([&] {
                box->append(std::string(80, 'x'));
                Sleep(1);
                if (++calls == kFlood)
                    PostQuitMessage(0);
            });
    };
    std::thread first(flood), second(flood);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    const int callsAtTheTick = calls;
    ticked = true;
    first.join();
    second.join();
    EXPECT_LT(callsAtTheTick, kFlood);
}

TEST(PictureDecoder, DecodesTheStoredPicturesAndRefusesBrokenOnes)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HBITMAP logo = loadPicture(":/pictures/run-mode.jpg");
    BITMAP info{};
    GetObjectW(logo, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 290);
    EXPECT_EQ(info.bmHeight, 256);
    DeleteObject(logo);
    EXPECT_THROW(loadPicture(":/pictures/none.jpg"), EPictureError);
    try {
        decodePicture(std::string("\xFF\xD8\xFF\xE0 broken", 10), "broken.jpg");
        ADD_FAILURE() << "a broken JPEG decoded";
    } catch (const EPictureError &error) {
        EXPECT_EQ(error.message().rfind("JPEG picture: ", 0), 0u) << error.message();
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> code = rerunOnOwnDesktop(L"FormWindowTest"))
        return *code;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
