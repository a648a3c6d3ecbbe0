#include "poller/encode.h"

#include <cstring>
#include <new>

std::unique_ptr<char[]> urlEncodeForm(const char* text)
{
    static const char hexDigits[] = "0123456789abcdef";
    const std::size_t length = std::strlen(text);
    std::unique_ptr<char[]> encoded(new (std::nothrow) char[4 * length + 1]);
    if (!encoded) return nullptr;

    char* out = encoded.get();
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b == ' ') {
            *out++ = '+';
        } else if (b < 0x20 || b > 0x7F || b == '&' || b == '+') {
            *out++ = '%';
            *out++ = hexDigits[b >> 4];
            *out++ = hexDigits[b & 0x0F];
        } else {
            *out++ = static_cast<char>(b);
        }
    }
    *out = '\0';
    return encoded;
}
