// The compiled menu and dialog templates, read back from this program's own resources.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource.h"
#include "site_config.h"

namespace {

const WORD US_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The raw bytes of one resource in US English; empty when there is none.
std::vector<BYTE> resourceBytes(LPCSTR type, int id)
{
    HRSRC found = FindResourceExA(nullptr, type, MAKEINTRESOURCEA(id), US_ENGLISH);
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    return std::vector<BYTE>(data, data + SizeofResource(nullptr, found));
}

// Reads a dialog template front to back. Every read checks the bounds, so a template
// that is shorter than its header claims fails the test instead of reading past it.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& bytes) : bytes_(bytes) {}

    WORD word()
    {
        if (!has(2)) return 0;
        const WORD value = static_cast<WORD>(bytes_[position_] | bytes_[position_ + 1] << 8);
        position_ += 2;
        return value;
    }
    BYTE byte() { return has(1) ? bytes_[position_++] : 0; }
    DWORD dword()
    {
        const WORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    short coordinate() { return static_cast<short>(word()); }
    // A string or an ordinal: a class ordinal is named after the class it stands for,
    // and names are lower-cased, since class names do not depend on letter case.
    std::string nameOrOrdinal(bool isClass)
    {
        const WORD first = word();
        if (first == 0xFFFF) {
            const WORD ordinal = word();
            if (isClass && ordinal == 0x80) return "button";
            if (isClass && ordinal == 0x81) return "edit";
            if (isClass && ordinal == 0x82) return "static";
            return "#" + std::to_string(ordinal);
        }
        std::string text;
        for (WORD c = first; c != 0; c = word())
            text += static_cast<char>(isClass ? std::tolower(c & 0xFF) : c);
        return text;
    }
    std::string text() { return nameOrOrdinal(false); }
    void alignToDword() { position_ = (position_ + 3) & ~std::size_t(3); }
    bool atEnd() const { return position_ >= bytes_.size(); }

private:
    bool has(std::size_t n)
    {
        if (position_ + n <= bytes_.size()) return true;
        if (position_ <= bytes_.size())
            ADD_FAILURE() << "template ends early at byte " << position_;
        position_ = bytes_.size() + 1;  // report once
        return false;
    }

    const std::vector<BYTE>& bytes_;
    std::size_t position_ = 0;
};

struct Control {
    DWORD exStyle, style;
    short x, y, width, height;
    int id;
    std::string className, text;
};

bool operator==(const Control& a, const Control& b)
{
    const auto fields = [](const Control& c) {
        return std::tie(c.exStyle, c.style, c.x, c.y, c.width, c.height, c.id, c.className, c.text);
    };
    return fields(a) == fields(b);
}

std::ostream& operator<<(std::ostream& out, const Control& c)
{
    char styles[40];
    std::snprintf(styles, sizeof styles, "%08lx/%08lx", static_cast<unsigned long>(c.style),
                  static_cast<unsigned long>(c.exStyle));
    return out << "{" << c.id << " " << c.className << " \"" << c.text << "\" " << styles << " "
               << c.x << "," << c.y << " " << c.width << "x" << c.height << "}";
}

struct Dialog {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, width = 0, height = 0;
    std::string menu, className, caption, font;
    int pointSize = 0, weight = 0, italic = 0, charset = 0;
    std::vector<Control> controls;
};

// Reads a dialog template in the extended layout (help ids, the font's weight, italic
// flag and character set, 32-bit control ids, the extended style before the style) or
// in the standard one.
Dialog readDialog(const std::vector<BYTE>& bytes, bool extended)
{
    TemplateReader in(bytes);
    Dialog d;
    if (extended) {
        EXPECT_EQ(in.word(), 1) << "version";
        EXPECT_EQ(in.word(), 0xFFFF) << "extended template signature";
        EXPECT_EQ(in.dword(), 0u) << "help id";
        d.exStyle = in.dword();
        d.style = in.dword();
    } else {
        d.style = in.dword();
        d.exStyle = in.dword();
    }
    const WORD count = in.word();
    d.x = in.coordinate();
    d.y = in.coordinate();
    d.width = in.coordinate();
    d.height = in.coordinate();
    d.menu = in.text();
    d.className = in.text();
    d.caption = in.text();
    if (d.style & DS_SETFONT) {
        d.pointSize = in.word();
        if (extended) {
            d.weight = in.word();
            d.italic = in.byte();
            d.charset = in.byte();
        }
        d.font = in.text();
    }
    for (WORD i = 0; i < count && !in.atEnd(); ++i) {
        in.alignToDword();
        Control c;
        if (extended) {
            EXPECT_EQ(in.dword(), 0u) << "help id of control " << i;
            c.exStyle = in.dword();
            c.style = in.dword();
        } else {
            c.style = in.dword();
            c.exStyle = in.dword();
        }
        c.x = in.coordinate();
        c.y = in.coordinate();
        c.width = in.coordinate();
        c.height = in.coordinate();
        c.id = extended ? static_cast<int>(in.dword()) : static_cast<short>(in.word());
        c.className = in.nameOrOrdinal(true);
        c.text = in.text();
        EXPECT_EQ(in.word(), 0) << "creation data of control " << i;
        d.controls.push_back(c);
    }
    EXPECT_EQ(d.controls.size(), count);
    return d;
}

// The template's own fields on one line, each after its name, compared at once.
std::string header(const Dialog& d)
{
    char text[400];
    std::snprintf(text, sizeof text,
                  "style %08lx ex-style %08lx at %d,%d size %dx%d menu \"%s\" class \"%s\" caption "
                  "\"%s\" font \"%s\" %d weight %d italic %d charset %d",
                  static_cast<unsigned long>(d.style), static_cast<unsigned long>(d.exStyle), d.x,
                  d.y, d.width, d.height, d.menu.c_str(), d.className.c_str(), d.caption.c_str(),
                  d.font.c_str(), d.pointSize, d.weight, d.italic, d.charset);
    return text;
}

TEST(SettingsTemplate, ExtendedDialogWithItsControlsInTabOrder)
{
    const std::vector<BYTE> bytes = resourceBytes(RT_DIALOG, IDD_SETTINGS);
    ASSERT_FALSE(bytes.empty()) << "IDD_SETTINGS in US English";
    const Dialog d = readDialog(bytes, true);
    EXPECT_EQ(header(d),
              "style 80c808c8 ex-style 00040000 at 0,0 size 360x130 menu \"\" class \"\" "
              "caption \"Turnbell settings:\" font \"MS Shell Dlg\" 8 weight 400 italic "
              "0 charset 1");
    const std::vector<Control> expected = {
        {0, 0x50810080, 47, 8, 162, 14, IDC_USERNAME, "edit", ""},
        {0, 0x50010003, 19, 55, 81, 10, IDC_FLASHICON, "button", "Flash icon in systray"},
        {0, 0x50010003, 19, 74, 71, 10, IDC_PLAYSOUND, "button", "Play a sound file:"},
        {0, 0x50810080, 93, 73, 262, 14, IDC_SOUNDFILE, "edit", ""},
        {0, 0x50010000, 93, 90, 63, 14, IDC_BROWSE, "button", "Browse..."},
        {0, 0x50010000, 166, 90, 50, 14, IDC_PREVIEW, "button", "Preview"},
        {0, 0x50010001, 242, 112, 50, 14, IDOK, "button", "OK"},
        {0, 0x50010000, 305, 112, 50, 14, IDCANCEL, "button", "Cancel"},
        {0, 0x50020000, 7, 10, 36, 8, -1, "static", "Username:"},
        {0, 0x50020000, 7, 41, 40, 8, -1, "static", "Notification:"},
    };
    EXPECT_EQ(d.controls, expected);
}

TEST(GamesTemplate, StandardResizableDialogWithCloseAndTheList)
{
    const std::vector<BYTE> bytes = resourceBytes(RT_DIALOG, IDD_GAMES);
    ASSERT_FALSE(bytes.empty()) << "IDD_GAMES in US English";
    ASSERT_GE(bytes.size(), 4u);
    ASSERT_FALSE(bytes[2] == 0xFF && bytes[3] == 0xFF)
        << "a standard template, not the extended one";
    const Dialog d = readDialog(bytes, false);
    EXPECT_EQ(header(d),
              "style 90cc084c ex-style 00040100 at 0,0 size 375x192 menu \"\" class \"\" "
              "caption \"Games\" font \"Ms Shell Dlg 2\" 8 weight 0 italic 0 charset 0");
    const std::vector<Control> expected = {
        {0, 0x50010000, 275, 173, 95, 14, IDCANCEL, "button", "Close"},
        {WS_EX_CLIENTEDGE, 0x50018805, 5, 5, 365, 163, IDC_GAMELIST, "syslistview32", ""},
    };
    EXPECT_EQ(d.controls, expected);
}

struct MenuEntry {
    UINT type, state, id;
    std::string text;
    bool operator==(const MenuEntry& o) const
    {
        return type == o.type && state == o.state && id == o.id && text == o.text;
    }
};

std::ostream& operator<<(std::ostream& out, const MenuEntry& e)
{
    return out << "{type " << e.type << ", state " << e.state << ", id " << e.id << ", \"" << e.text
               << "\"}";
}

MenuEntry menuEntry(HMENU menu, int position, HMENU* submenu = nullptr)
{
    char text[128] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info)) << "item " << position;
    if (submenu) *submenu = info.hSubMenu;
    return {info.fType, info.fState, info.wID, text};
}

TEST(TrayMenuTemplate, FilePopupHoldsTheNineItemsWithTheDefaultFirst)
{
    const std::vector<BYTE> bytes = resourceBytes(RT_MENU, IDR_TRAYMENU);
    ASSERT_GE(bytes.size(), 2u) << "IDR_TRAYMENU in US English";
    EXPECT_EQ(bytes[0] | bytes[1] << 8, 1) << "an extended menu template";

    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAYMENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    HMENU popup = nullptr;
    EXPECT_EQ(menuEntry(menu, 0, &popup).text, "&File");
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetSubMenu(menu, 0), popup);

    const std::string site = TURNBELL_SITE_HOST, homepage = TURNBELL_HOMEPAGE_HOST;
    const std::vector<MenuEntry> expected = {
        {MFT_STRING, MFS_DEFAULT, ID_SHOWGAMES, "Show &game list..."},
        {MFT_STRING, 0, ID_PLAYNOW, "Play now"},
        {MFT_STRING, 0, ID_VISITSITE, "Visit " + site},
        {MFT_SEPARATOR, 0, 0, ""},
        {MFT_STRING, 0, ID_SETTINGS, "&Settings..."},
        {MFT_SEPARATOR, 0, 0, ""},
        {MFT_STRING, 0, ID_HOMEPAGE, "Visit homepage (" + homepage + ")"},
        {MFT_SEPARATOR, 0, 0, ""},
        {MFT_STRING, 0, ID_EXIT, "E&xit"},
    };
    std::vector<MenuEntry> items;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) items.push_back(menuEntry(popup, i));
    EXPECT_EQ(items, expected);
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), static_cast<UINT>(ID_SHOWGAMES));
    DestroyMenu(menu);
}

}  // namespace
