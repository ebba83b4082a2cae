// Icons from another process, as other programs register them: WM_COPYDATA with the device's
// record and the icon's pixels; the answers, the strip on the screen, and bad payloads.
#include "support/nimbra_process.h"
#include "items/notifyicon.h"

namespace {

const wchar_t *const Title = L"Nimbra Tray";

// The WM_COPYDATA form of HM_NOTIFYICON: operation, record, then width, height and pixels.
std::vector<BYTE> Payload(DWORD operation, const NIMBRANOTIFYICONDATA *record, int side = 0, DWORD bgra = 0)
{
    std::vector<BYTE> bytes((const BYTE *)&operation, (const BYTE *)&operation + 4);
    if (record) bytes.insert(bytes.end(), (const BYTE *)record, (const BYTE *)(record + 1));
    if (side) {
        DWORD size[2] = {(DWORD)side, (DWORD)side};
        bytes.insert(bytes.end(), (const BYTE *)size, (const BYTE *)(size + 2));
        for (int i = 0; i < side * side; i++) bytes.insert(bytes.end(), (const BYTE *)&bgra, (const BYTE *)&bgra + 4);
    }
    return bytes;
}

class Tray : public testing::Test {
protected:
    NimbraProcess Nimbra;
    HWND Main = nullptr;
    HWND Owner = nullptr;

    void SetUp() override { Start(L"1::NoSuchItem::"); }
    void Start(const wchar_t *plugins)
    {
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, {plugins, Title, true}));
        ASSERT_TRUE(Nimbra.Start());
        Main = WaitForNimbraWindow(Title);
        ASSERT_TRUE(Main);
        Owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        if (Main) PostMessageW(Main, WM_CLOSE, 0, 0);
        EXPECT_EQ(Nimbra.Wait(10000), 1u);
        DestroyWindow(Owner);
    }

    NIMBRANOTIFYICONDATA Record(UINT id) const { return {152, NIMBRA_HANDLE32(Owner), id, NIMBRA_NIF_ICON, WM_APP + 5, 0, {}}; }
    // One request for icon id, with side x side pixels of one colour when side is not 0.
    std::pair<DWORD, DWORD> Op(DWORD operation, UINT id, int side = 0, DWORD bgra = 0)
    {
        NIMBRANOTIFYICONDATA r = Record(id);
        return Send(Payload(operation, &r, side, bgra));
    }
    // Sends the payload with dwData; answers (result, last-error code) from the reply's halves.
    std::pair<DWORD, DWORD> Send(const std::vector<BYTE> &bytes, ULONG_PTR dwData = 1325)
    {
        COPYDATASTRUCT data = {dwData, (DWORD)bytes.size(), bytes.empty() ? nullptr : (void *)bytes.data()};
        ULONG64 reply = (ULONG64)SendMessageW(Main, WM_COPYDATA, (WPARAM)Owner, (LPARAM)&data);
        return {(DWORD)reply, (DWORD)(reply >> 32)};
    }
    HWND Strip() const { return FindWindowExW(Main, nullptr, L"NimbraTray", nullptr); }
    // The screen's colour at a point of the strip.
    COLORREF StripPixel(int x, int y)
    {
        RECT r;
        GetWindowRect(Strip(), &r);
        HDC screen = GetDC(nullptr);
        COLORREF c = GetPixel(screen, r.left + x, r.top + y);
        ReleaseDC(nullptr, screen);
        return c;
    }
};

TEST_F(Tray, IconsFromAnotherProcessAppearAndGo)
{
    const DWORD blue = 0xFF0000FF, red = 0xFFFF0000;   // B, G, R, A in memory: 0xAARRGGBB
    for (UINT id = 1; id <= 3; id++) EXPECT_EQ(Op(NIMBRA_NIM_ADD, id, 16, id == 2 ? red : blue), std::make_pair(1ul, 0ul));
    ASSERT_TRUE(PumpUntil([&] { return Strip() && StripPixel(222, 3) == RGB(0, 0, 255); }, 5000)) << "icon 0 right-most";
    EXPECT_EQ(StripPixel(202, 3), RGB(255, 0, 0));
    EXPECT_EQ(StripPixel(182, 3), RGB(0, 0, 255));
    EXPECT_EQ(Op(NIMBRA_NIM_MODIFY, 1, 8, 0xFF00FF00), std::make_pair(1ul, 0ul));   // new pixels, new picture
    EXPECT_TRUE(PumpUntil([&] { return StripPixel(222, 3) == RGB(0, 255, 0); }, 3000));
    for (UINT id = 1; id <= 3; id++) EXPECT_EQ(Op(NIMBRA_NIM_DELETE, id), std::make_pair(1ul, 0ul));
    EXPECT_TRUE(PumpUntil([&] { return Strip() == nullptr; }, 5000));
}

TEST_F(Tray, BadPayloadsAnswerTheirCodes)
{
    NIMBRANOTIFYICONDATA r = Record(9);
    std::vector<BYTE> whole = Payload(NIMBRA_NIM_ADD, &r, 2, 0xFFFFFFFF);
    // Every length from 0 to 200 but the three good ones (4: no record, 156, 180 with 2 x 2 pixels).
    for (size_t length = 0; length <= 200; length++) {
        if (length == 156 || length == 180) continue;
        std::vector<BYTE> cut(whole.begin(), whole.begin() + std::min(length, whole.size()));
        cut.resize(length, 0);
        SCOPED_TRACE(length);
        EXPECT_EQ(Send(cut), std::make_pair(0ul, (DWORD)ERROR_INVALID_PARAMETER));
    }
    std::vector<BYTE> huge = Payload(NIMBRA_NIM_ADD, &r, 2, 0xFFFFFFFF);
    ((DWORD *)(huge.data() + 156))[0] = 0x40000001;   // width beyond any icon
    EXPECT_EQ(Send(huge), std::make_pair(0ul, (DWORD)ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Send(Payload(3, &r)), std::make_pair(2ul, 0ul));
    EXPECT_EQ(Send(Payload(0xFFFFFFFF, nullptr)), std::make_pair(2ul, 0ul));
    r.cbSize = 88;
    EXPECT_EQ(Send(Payload(NIMBRA_NIM_ADD, &r)), std::make_pair(0ul, (DWORD)ERROR_INVALID_FORM_SIZE));
    EXPECT_EQ(Send(whole, 1326), std::make_pair(0ul, 0ul)) << "another dwData is not an icon request";
    // An add without pixels keeps the record's handle, which must not be null.
    EXPECT_EQ(Op(NIMBRA_NIM_ADD, 9), std::make_pair(0ul, (DWORD)ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PumpUntil([&] { return Strip() != nullptr; }, 800)) << "nothing was accepted";
}

class TrayItems : public Tray {
    void SetUp() override { Start(L"1::NimbraClock::"); }
};

TEST_F(TrayItems, AnItemsIconComesAndGoesWithItsWindow)
{
    // The clock icon's hour hand, at icon slot i (from the right).
    auto handAt = [&](int slot) { return Strip() && StripPixel(222 - 20 * slot + 7, 3 + 5) == RGB(0x20, 0x20, 0x20); };
    EXPECT_TRUE(PumpUntil([&] { return handAt(0); }, 5000));
    EXPECT_EQ(Send({}, 1334), std::make_pair(1ul, 0ul));   // every item unloaded
    EXPECT_TRUE(PumpUntil([&] { return Strip() == nullptr; }, 5000)) << "the unloaded item's icon stayed";
    for (int i = 0; i < 2; i++) EXPECT_EQ(SendMessageW(Main, 1335, 0, 0), 0);   // HM_RELOADITEMS
    EXPECT_TRUE(PumpUntil([&] { return handAt(0); }, 5000));
    EXPECT_FALSE(handAt(1)) << "a reload left a second icon";
}

} // namespace
