// Icon and unload requests from another process, checked against a model of what Nimbra must
// answer and hold: generated WM_COPYDATA payloads, item names, and a flood of icon changes while
// the arrow keys are pressed. The seeds are printed; a failure replays with the same seed.
#include "support/device.h"
#include "support/nimbra_process.h"
#include "items/itemhost.h"
#include "plugins/probe/probe.h"
#include <atomic>
#include <random>
#include <thread>

namespace {

struct Icon {
    HWND owner;
    UINT id, message;
    DWORD look;   // the pixels' colour (own) or the handle value the record gave
    bool own;     // Nimbra made the icon from pixels
};

// What Nimbra must answer to a WM_COPYDATA icon request (result, last-error code), and the
// table it must hold.
struct IconModel {
    std::vector<Icon> table;

    bool DropOrphans()
    {
        size_t before = table.size();
        table.erase(std::remove_if(table.begin(), table.end(), [](const Icon &i) { return !IsWindow(i.owner); }), table.end());
        return table.size() != before;
    }
    std::pair<DWORD, DWORD> Apply(const std::vector<BYTE> &p)
    {
        auto at = [&](size_t offset) { DWORD v; return memcpy(&v, p.data() + offset, 4), v; };
        const DWORD op = p.size() < 4 ? 0 : at(0), w = p.size() < 164 ? 0 : at(156), h = p.size() < 164 ? 0 : at(160);
        if (op > NIMBRA_NIM_DELETE) return {2, 0};
        if (p.size() < 156 || (p.size() > 156 && (w < 1 || w > 128 || h < 1 || h > 128 || p.size() != 164 + 4ull * w * h)))
            return {0, ERROR_INVALID_PARAMETER};
        NIMBRANOTIFYICONDATA r;
        memcpy(&r, p.data() + 4, sizeof r);
        const Icon icon = {(HWND)NIMBRA_HANDLE64(r.hWnd), r.uID, r.uCallbackMessage, p.size() > 156 ? at(164) : r.hIcon, p.size() > 156};
        if (r.cbSize != 152) return {0, ERROR_INVALID_FORM_SIZE};
        if (!icon.owner || !icon.id || (op == NIMBRA_NIM_ADD && !IsWindow(icon.owner))) return {0, ERROR_INVALID_PARAMETER};
        if (op == NIMBRA_NIM_ADD && table.size() == 20 && !DropOrphans()) return {0, ERROR_NO_MORE_ITEMS};
        if (op == NIMBRA_NIM_ADD && (!icon.message || !(icon.own || icon.look))) return {0, ERROR_INVALID_PARAMETER};
        if (op == NIMBRA_NIM_ADD) return table.push_back(icon), std::make_pair(1ul, 0ul);
        auto found = std::find_if(table.begin(), table.end(), [&](const Icon &i) { return i.owner == icon.owner && i.id == icon.id; });
        if (found == table.end()) return {0, ERROR_CONTROL_ID_NOT_FOUND};
        if (op == NIMBRA_NIM_DELETE) table.erase(found);
        else if (r.uFlags & NIMBRA_NIF_MESSAGE) found->message = icon.message;
        if (op == NIMBRA_NIM_MODIFY && (r.uFlags & NIMBRA_NIF_ICON)) found->look = icon.look, found->own = icon.own;
        return {1, 0};
    }
};

// The screen's colour in the middle of the strip's icon slot (counted from the right).
COLORREF SlotColour(HWND strip, int slot)
{
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, WindowPlace(strip)[0] + 230 - 20 * slot, WindowPlace(strip)[1] + 11);
    return ReleaseDC(nullptr, screen), c;
}
COLORREF ColourOf(DWORD argb) { return RGB(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF); }

// Reads the table as taps do: HM_ICONACTION on a slot the strip draws (at most 12 here) posts
// the owner's message with the icon's id, on a slot of a gone owner answers 0 and drops every
// icon of a gone owner. The requests go out at once, each answered to a callback, the last one
// waited for. The owners are windows of this thread.
LRESULT Answers[13];
void CALLBACK Answered(HWND, UINT, ULONG_PTR slot, LRESULT result) { Answers[slot] = result; }

void ExpectTable(HWND strip, IconModel &model, const std::string &when)
{
    std::vector<std::tuple<HWND, UINT, UINT>> expected, posted;
    for (UINT slot = 0; slot < 12; slot++) Answers[slot] = -1, SendMessageCallbackW(strip, HM_ICONACTION, slot, WM_LBUTTONUP, Answered, slot);
    Answers[12] = SendMessageW(strip, HM_ICONACTION, 12, WM_LBUTTONUP);
    for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
        if (m.lParam == WM_LBUTTONUP && m.hwnd) posted.emplace_back(m.hwnd, m.message, (UINT)m.wParam);
        else DispatchMessageW(&m);
    for (UINT slot = 0; slot < 13; slot++) {
        const bool drawn = slot < model.table.size() && slot < 12, orphan = drawn && !IsWindow(model.table[slot].owner);
        ASSERT_EQ(Answers[slot], drawn && !orphan) << when << ", slot " << slot;
        if (orphan) model.DropOrphans();
        else if (drawn) expected.emplace_back(model.table[slot].owner, model.table[slot].message, model.table[slot].id);
    }
    ASSERT_EQ(posted, expected) << when;
}

HWND NewOwner() { return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }

// Two probe items under names of their own (one with a surrogate pair); both take the selection.
const std::wstring ItemNames[] = {L"ModelProbe", L"Model\xD83D\xDE00"};

class Icons : public testing::Test {
protected:
    NimbraProcess nimbra;
    HWND window = nullptr, host = nullptr, strip = nullptr, anchor = NewOwner();
    IconModel model;

    void SetUp() override
    {
        for (const std::wstring &name : ItemNames) {
            const std::wstring key = L"Software\\Microsoft\\Today\\Items\\" + name;
            RegistrySetString(HKEY_LOCAL_MACHINE, key.c_str(), L"DLL", PROBE_DLL_PATH);
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), L"Type", 4);
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), PROBE_SELECT, 1);
        }
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, L"2::" + ItemNames[0] + L"::" + ItemNames[1] + L"::") && nimbra.Start());
        ASSERT_TRUE(window = WaitForNimbraWindow(L"Start"));
        ASSERT_TRUE(PumpUntil([&] { return (host = FindWindowExW(window, nullptr, ITEM_HOST_CLASS, nullptr)) && Loaded(0) && Loaded(1); }, 10000));
        // The first icon, which no generated request touches, keeps the strip up.
        const std::vector<BYTE> first = IconRequest(NIMBRA_NIM_ADD, anchor, 1, 0, WM_APP, 16, 0xFF000001);
        ASSERT_EQ(SendCopy(window, HM_NOTIFYICON_MESSAGE, first), model.Apply(first));
        ASSERT_TRUE(PumpUntil([&] { return (strip = FindWindowExW(window, nullptr, ICON_STRIP_CLASS, nullptr)) && SlotColour(strip, 0) == RGB(0, 0, 1); }, 3000));
    }
    void TearDown() override
    {
        nimbra.Kill();
        DestroyWindow(anchor);
        for (const std::wstring &name : ItemNames) DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Items\\" + name);
    }
    bool Loaded(int item) { return FindWindowExW(host, nullptr, L"NimbraProbeItem", ItemNames[item].c_str()) != nullptr; }
};

// Payloads: dwData 1325 (icons), 1334 (item names) or any other; every length from 0 to 600
// once, the rest of every size a request can have. After each, the answer equals the model's;
// after each that changed the table (and every 20th other), the table; every 100th, the host's
// icon copies (three bitmaps each); at the end, the pictures the strip shows.
TEST_F(Icons, TwentyThousandPayloadsAnswerAndHoldWhatTheModelDoes)
{
    const unsigned seed = 16004;
    printf("seed %u\n", seed);
    std::mt19937 random(seed);
    auto pick = [&](auto... v) { const DWORD a[] = {(DWORD)v...}; return a[random() % sizeof...(v)]; };
    HWND owners[6] = {NewOwner(), NewOwner(), NewOwner(), NewOwner(), (HWND)0xFFFF, nullptr};
    DestroyWindow(owners[3]);   // a program that has exited
    // Painting makes a bitmap for a moment: the fewest seen is the count at rest.
    int bitmaps = INT_MAX;
    PumpUntil([&] { return bitmaps = std::min(bitmaps, GdiObjects(window, 9) - 3), false; }, 300);
    ASSERT_GT(bitmaps, 0) << "the GDI handle table cannot be read";
    bool loaded[2] = {true, true};
    int counts[6] = {};   // icons accepted, refused, refused for a full table, other dwData, names, unloads
    for (int n = 0; n < 20000; n++) {
        const std::string when = "payload " + std::to_string(n);
        if (random() % 100 < 8 && n % 33) {   // a name: exact, cut, longer, after a terminator, other case, too long
            const std::wstring &name = ItemNames[random() % 2];
            const std::wstring text[] = {name, name.substr(0, name.size() - 1), name + L"x", name + L'\0' + L"x", name + L'\0', L"", L"model" + name.substr(5), std::wstring(40, L'M')};
            const std::wstring &sent = text[random() % 8];
            std::vector<BYTE> bytes((BYTE *)sent.c_str(), (BYTE *)(sent.c_str() + sent.size() + (random() % 4 != 0)));
            if (random() % 8 == 0) bytes.resize(random() % 3 ? bytes.size() + 1 : 0);   // odd, or none: every item
            const bool whole = !bytes.empty() && bytes.size() % 2 == 0 && !bytes.back() && !bytes[bytes.size() - 2];
            const std::wstring asked = whole ? std::wstring((const wchar_t *)bytes.data(), bytes.size() / 2 - 1) : L"\1";
            const int before = loaded[0] + loaded[1];
            for (int i = 0; i < 2; i++) loaded[i] = loaded[i] && !bytes.empty() && asked != ItemNames[i];
            ASSERT_EQ(SendCopy(window, HM_UNLOADITEMS, bytes), std::make_pair(1ul, 0ul)) << when;
            for (int i = 0; i < 2; i++) ASSERT_EQ(Loaded(i), loaded[i]) << when << ", item " << i << ", " << bytes.size() << " bytes";
            counts[4]++, counts[5] += loaded[0] + loaded[1] < before;
            if (!loaded[0] && !loaded[1]) {
                SendMessageW(window, HM_RELOADITEMS, 0, 0);
                ASSERT_TRUE((loaded[0] = Loaded(0)) && (loaded[1] = Loaded(1))) << when << ": not reloaded";
            }
            continue;
        }
        if (n % 500 == 250) {   // a program exits, another starts
            DestroyWindow(owners[3] = owners[n / 500 % 3]);
            owners[n / 500 % 3] = NewOwner();
        }
        const int side = n % 33 == 0 ? 0 : (int)pick(0, 1, 2, 16, 16, 16, 128, 129, 0x40000001);
        std::vector<BYTE> p = IconRequest(random() % 10 ? random() % 3 : pick(3, 0xFFFFFFFF, random()), owners[random() % 10 < 8 ? random() % 3 : 3 + random() % 3],
                                          random() % 20 ? 1 + random() % 4 : pick(0, random()), random() % 8 | (random() % 4 ? 0 : random() & ~7u),
                                          random() % 10 ? WM_APP + 1 + random() % 4 : 0, std::min(side, 128), 0xFF000000 | random());
        NIMBRANOTIFYICONDATA *r = (NIMBRANOTIFYICONDATA *)(p.data() + 4);
        if (random() % 10 == 0) r->cbSize = pick(0, 88, 151, 153, 156);
        if (side == 0 || random() % 5 == 0) r->hIcon = pick(0, 0x10010, random());
        DWORD bad = side > 128 ? side : 0, wh[2];   // a side beyond any icon, or of 0, with the length it asks for
        if (side && (bad || random() % 20 == 0)) {
            memcpy(p.data() + 156 + 4 * (random() % 2), &bad, 4), memcpy(wh, p.data() + 156, 8);
            p.resize(164 + 4 * wh[0] * wh[1], 0xFF);   // as 32-bit arithmetic counts it
        }
        const DWORD sweep[2] = {1, (DWORD)(n / 33 - 164) / 4};   // 1 x k pixels where the length allows
        if (n % 33 == 0) {
            p.resize(n / 33, 0xFF);
            if (p.size() >= 164) memcpy(p.data() + 156, sweep, 8);
        } else if (random() % 10 == 0) {
            p.resize(p.size() + (int)pick(1, -1, -4, 4, 0 - p.size() + random() % 600), 0);
        }
        const ULONG_PTR dwData = random() % 50 ? HM_NOTIFYICON_MESSAGE : pick(0, 1324, 1326, 1335, random());
        const std::pair<DWORD, DWORD> expected = dwData == HM_NOTIFYICON_MESSAGE ? model.Apply(p) : std::make_pair(0ul, 0ul);
        ASSERT_EQ(SendCopy(window, dwData, p), expected) << when << ", " << p.size() << " bytes";
        counts[dwData != HM_NOTIFYICON_MESSAGE ? 3 : expected.first == 1 ? 0 : 1 + (expected.second == ERROR_NO_MORE_ITEMS)]++;
        if (expected.first == 1 || n % 20 == 0) ExpectTable(strip, model, when);
        const int copies = (int)std::count_if(model.table.begin(), model.table.end(), [](const Icon &i) { return i.own; });
        ASSERT_TRUE(n % 100 || PumpUntil([&] { return GdiObjects(window, 9) == bitmaps + 3 * copies; }, 1000))
            << when << ": " << GdiObjects(window, 9) - bitmaps << " bitmaps for " << copies << " copies";
    }
    printf("accepted %d, refused %d and %d for a full table, other dwData %d, names %d (%d unloads)\n", counts[0], counts[1], counts[2], counts[3], counts[4], counts[5]);
    EXPECT_GT(*std::min_element(counts, counts + 6), 20);
    PumpFor(1200);   // the strip catches up
    for (size_t slot = 0; slot < std::min<size_t>(model.table.size(), 12); slot++)
        EXPECT_TRUE(!model.table[slot].own || SlotColour(strip, (int)slot) == ColourOf(model.table[slot].look)) << "slot " << slot;
    for (HWND owner : owners) DestroyWindow(owner);
}

// 10 000 icon changes with pixels from another program at full rate, in four bursts, while the
// arrow keys move the selection between the items as a held key does: every answer and the
// table end as the model's. The first icon, which a third of the changes give a new colour,
// changes on the screen once after each burst, and within it at most every 0.8 s and at least
// every 1.5 s. The sender's longest wait is printed. Then a program changes its icon
// every 300 ms while another adds one: the new one shows within 1 s.
TEST_F(Icons, AFloodWithArrowKeysEndsAsTheModelAndShowsEachBurstOnce)
{
    const unsigned seed = 16005;
    printf("seed %u\n", seed);
    HWND owners[2] = {NewOwner(), NewOwner()};
    std::atomic<bool> done{false};
    DWORD bursts[5][2] = {}, longest = 0;   // each burst's first and last tick
    std::thread sender([&] {
        std::mt19937 random(seed);
        for (int n = 0; n < 10000; n++) {
            if (n % 2500 == 0 && n) PumpFor(800);
            const std::vector<BYTE> p = random() % 3 ? IconRequest(random() % 3, owners[random() % 2], 2 + random() % 6, random() % 4, WM_APP + 1, 16, 0xFF000000 | random())
                                                     : IconRequest(NIMBRA_NIM_MODIFY, anchor, 1, NIMBRA_NIF_ICON, 0, 16, 0xFF000002 + n);
            const std::pair<DWORD, DWORD> expected = model.Apply(p);
            const DWORD start = GetTickCount();
            EXPECT_EQ(SendCopy(window, HM_NOTIFYICON_MESSAGE, p), expected) << "change " << n;
            longest = std::max(longest, (bursts[n / 2500][n % 2500 != 0] = GetTickCount()) - start);
        }
        bursts[4][0] = GetTickCount() + 1500;
        done = true;
    });
    SetForegroundWindow(window);
    std::vector<std::pair<DWORD, COLORREF>> shown = {{GetTickCount(), SlotColour(strip, 0)}};
    auto look = [&] {
        if (SlotColour(strip, 0) != shown.back().second) shown.emplace_back(GetTickCount(), SlotColour(strip, 0));
        return done && GetTickCount() > bursts[4][0];
    };
    for (int key = 0; !done; key++) {   // Down, Up, Up: between no selection and the first two items
        PressKey(key % 3 ? VK_UP : VK_DOWN);
        PumpUntil(look, 30);
    }
    sender.join();
    PumpUntil(look, 2000);
    printf("longest wait of the sender %lu ms, %zu pictures shown\n", longest, shown.size() - 1);
    EXPECT_LT(longest, 250u);
    ExpectTable(strip, model, "after the flood");
    EXPECT_EQ(SlotColour(strip, 0), ColourOf(model.table[0].look));
    for (int b = 0; b < 4; b++) {   // updates: none more often than the latest moment allows, none far apart
        DWORD last = bursts[b][0], updates = 0, gap = 0;
        for (auto &[tick, colour] : shown)
            if (tick > bursts[b][0] && tick <= bursts[b + 1][0]) gap = std::max(gap, tick - last), last = tick, updates++;
        EXPECT_TRUE(updates >= 1 && updates <= 1 + (bursts[b][1] - bursts[b][0]) / ICONSTRIP_LATEST && gap <= ICONSTRIP_LATEST + 700)
            << "burst " << b << " of " << bursts[b][1] - bursts[b][0] << " ms: " << updates << " updates, " << gap << " ms apart at most";
    }
    while (model.table.size() > 1) {   // only the first icon stays
        const std::vector<BYTE> p = IconRequest(NIMBRA_NIM_DELETE, model.table[1].owner, model.table[1].id, 0, 0, 0, 0);
        ASSERT_EQ(SendCopy(window, HM_NOTIFYICON_MESSAGE, p), model.Apply(p));
    }
    DWORD added = 0, seen = 0;
    for (int step = 0; step < 17; step++) {
        SendCopy(window, HM_NOTIFYICON_MESSAGE, IconRequest(NIMBRA_NIM_MODIFY, anchor, 1, NIMBRA_NIF_ICON, 0, 16, 0xFF800000 + step));
        // Added right after the strip showed a change: the first one it does not show yet.
        const COLORREF before = SlotColour(strip, 0);
        if (step == 8 && PumpUntil([&] { return SlotColour(strip, 0) != before; }, 1000))
            SendCopy(window, HM_NOTIFYICON_MESSAGE, IconRequest(NIMBRA_NIM_ADD, owners[0], 9, 0, WM_APP, 16, 0xFF00FF00)), added = GetTickCount();
        PumpUntil([&] { return added && !seen && SlotColour(strip, 1) == RGB(0, 255, 0) && (seen = GetTickCount()); }, 300);
    }
    printf("the added icon showed after %lu ms\n", seen - added);
    EXPECT_TRUE(seen && seen - added <= 1000);
    for (HWND owner : owners) DestroyWindow(owner);
}

}  // namespace
