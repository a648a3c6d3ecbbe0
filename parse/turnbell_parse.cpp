// turnbell-parse PAGE_FILE USER_NAME
//
// Runs the search page parser over a saved page the way a poll does (at most the
// first 131 072 bytes, the user name form-encoded) and prints what it found, one
// record per line. Exit code 0 after a parse (with or without games), 2 for a usage
// error or an unreadable file.
#include <cstdio>
#include <memory>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "games/records.h"
#include "poller/encode.h"
#include "poller/parser.h"
#include "poller/reply.h"
#include "parse/parse_output.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: turnbell-parse PAGE_FILE USER_NAME\n");
        return 2;
    }
    const char* path = argv[1];
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "turnbell-parse: cannot open %s\n", path);
        return 2;
    }
    std::unique_ptr<char[]> page(new char[REPLY_BUFFER_SIZE]);
    const std::size_t length = std::fread(page.get(), 1, REPLY_BUFFER_SIZE, file);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        std::fprintf(stderr, "turnbell-parse: cannot read %s\n", path);
        return 2;
    }

    std::unique_ptr<char[]> encodedName = urlEncodeForm(argv[2]);
    if (!encodedName) {
        std::fprintf(stderr, "turnbell-parse: out of memory\n");
        return 2;
    }

    GameList games;
    parseSearchPage(page.get(), static_cast<int>(length), games, encodedName.get());
    const std::string text = formatParsedPage(encodedName.get(), games);
    clearGameList(games);

#ifdef _WIN32
    // The same bytes on every platform: no "\r\n" for "\n".
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}
