#include "tests/support/shell_notify_recorder.h"

#include "tray/flash.h"
#include "tests/support/import_slot.h"

std::vector<ShellNotifyCall> shellNotifyCalls;
bool shellNotifyRecording = true;
int shellNotifyRefusedAdds = 0;

namespace {

using ShellNotify = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);

BOOL WINAPI recordShellNotify(DWORD message, PNOTIFYICONDATAA data)
{
    static const auto shell = systemFunction<ShellNotify>("shell32.dll", "Shell_NotifyIconA");
    BOOL result = FALSE;
    if (message == NIM_ADD && shellNotifyRefusedAdds > 0) {
        --shellNotifyRefusedAdds;
    } else {
        result = shell(message, data);
    }
    if (shellNotifyRecording) {
        ShellNotifyCall call = {message, *data, result, {}, {}};
        // The caller may destroy the icon as soon as the call returns: read it now.
        if ((data->uFlags & NIF_ICON) && data->hIcon) {
            call.colours = drawnColours(data->hIcon, smallIconWidth, smallIconHeight);
            call.transparent = transparentPixels(data->hIcon, smallIconWidth, smallIconHeight);
        }
        shellNotifyCalls.push_back(call);
    }
    return result;
}

}  // namespace

extern "C" ShellNotify shellNotifyImportSlot IMPORT_SLOT(Shell_NotifyIconA, 8);
ShellNotify shellNotifyImportSlot = recordShellNotify;

std::vector<std::uint32_t> drawnColours(HICON icon, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_IMAGE);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> colours(p, p + width * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    for (auto& c : colours) c &= 0x00FFFFFFu;
    return colours;
}

std::vector<bool> transparentPixels(HICON icon, int width, int height)
{
    ICONINFO ii = {};
    GetIconInfo(icon, &ii);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    const int rowBytes = (width + 31) / 32 * 4;
    std::vector<unsigned char> rows(static_cast<std::size_t>(rowBytes) * height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, ii.hbmMask, 0, height, rows.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<bool> mask;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            mask.push_back((rows[y * rowBytes + x / 8] >> (7 - x % 8)) & 1);
    }
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    return mask;
}
