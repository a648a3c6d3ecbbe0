// What turnbell-check shows of text that came from the site.
#pragma once

#include <windows.h>

#include <string>

// The ANSI text widened with codePage as a console shows it, every character that
// could drive the console written as \x and two lower-case hex digits of its code:
// the C0 controls but the tab, DEL, and the C1 controls (U+0080 to U+009F), which
// bytes become that are undefined in code page 1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D) or,
// in code page 65001, the pairs C2 80 to C2 9F. Accented letters stay as they are.
std::wstring consoleText(const std::string& text, UINT codePage);
