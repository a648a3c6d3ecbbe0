// Form encoding of the user name for the search request body.
#pragma once

#include <memory>

// Encodes a NUL-terminated text as a form value: a space becomes '+'; control bytes
// (below 0x20), bytes above 0x7F, '&' and '+' become '%' and two lower-case hex
// digits; every other byte, '%' and '=' included, stays as it is. The result is
// NUL-terminated and sits in an allocation of 4 * n + 1 bytes for n input bytes.
// Returns null when that allocation fails.
std::unique_ptr<char[]> urlEncodeForm(const char* text);
