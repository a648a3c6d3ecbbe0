// Lower-casing of single-byte text, byte for byte, so that every offset in the lowered
// text is the same offset in the original.
//
// On Windows with a single-byte ANSI code page lowerBytes uses CharLowerBuffA, so page
// markers and the user name are lowered exactly as the system lowers them. Elsewhere,
// and under a multibyte ANSI code page (where the system would join bytes into
// characters), it uses cp1252Lower, the mapping of code page 1252, which is what Windows
// (and Wine in a C or UTF-8 locale) uses for Western European systems.
#pragma once

#include <cstddef>

// Code page 1252 lower-case mapping: ASCII A-Z, 0xC0-0xDE except 0xD7 (the
// multiplication sign), and the three pairs 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E, plus
// 0x9F -> 0xFF. Every other byte maps to itself.
extern const unsigned char cp1252Lower[256];

// Lowers count bytes in place. NUL bytes are converted like any other byte and do
// not end the conversion.
void lowerBytes(char* bytes, std::size_t count);
