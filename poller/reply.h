// The size limits of one search reply, shared by the fetch, the parser's callers and
// the maintainer's tools. Platform-free.
#pragma once

// The reply buffer's size, and so the most of a reply that is ever read.
constexpr int REPLY_BUFFER_SIZE = 131072;
// A shorter reply cannot be a result page and counts as a failure.
constexpr int MIN_REPLY_SIZE = 100;
