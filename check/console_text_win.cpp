#include "check/console_text_win.h"

std::wstring consoleText(const std::string& text, UINT codePage)
{
    static const wchar_t hexDigits[] = L"0123456789abcdef";
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    std::wstring shown;
    shown.reserve(wide.size());
    for (const wchar_t c : wide) {
        if ((c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F)) {
            shown += L"\\x";
            shown += hexDigits[c >> 4];
            shown += hexDigits[c & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}
