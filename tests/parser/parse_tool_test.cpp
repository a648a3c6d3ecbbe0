// Runs the built turnbell-parse the way a maintainer does and checks what it prints.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct ToolRun {
    std::string out;
    int exitCode;
};

// Runs the tool with the given arguments (already quoted for the shell); stderr is
// dropped, stdout is captured.
ToolRun runTool(const std::string& arguments)
{
    const std::string command =
        std::string("'") + TURNBELL_PARSE_TOOL + "' " + arguments + " 2>/dev/null";
    ToolRun run{"", -1};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string page(const char* name)
{
    return std::string("'") + TURNBELL_TEST_DATA + "/" + name + "'";
}

TEST(TurnbellParse, PrintsTheGamesOfASavedPage)
{
    ToolRun run = runTool(page("search_en.html") + " 'Ann Lee'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "user\tAnn+Lee\n"
                       "game\t4001\t1\tBackgammon\tjeu.php?id=4001\n"
                       "player\t5\t0\tann lee\n"
                       "player\t6\t1\tAnn+Lee\n"
                       "game\t4002\t0\tBackgammon\tjeu.php?id=4002\n"
                       "player\t6\t0\tAnn+Lee\n"
                       "player\t7\t1\tPat\n"
                       "game\t4100\t1\tReversi\tjeu.php?id=4100\n"
                       "player\t7\t0\tPat\n"
                       "player\t6\t1\tAnn+Lee\n"
                       "player\t8\t0\tQuinn\n");
}

TEST(TurnbellParse, ExitCodes)
{
    struct Case {
        std::string arguments;
        int exitCode;
        const char* out;
    };
    const Case cases[] = {
        {page("search_empty.html") + " Marie", 0, "user\tMarie\n"},
        {page("not_search.html") + " 'a&b'", 0, "user\ta%26b\n"},
        {page("no_such_page.html") + " Marie", 2, ""},
        {page("search_fr.html"), 2, ""},
        {page("search_fr.html") + " Marie extra", 2, ""},
    };
    for (const auto& c : cases) {
        ToolRun run = runTool(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        EXPECT_EQ(run.out, c.out) << c.arguments;
    }
}

}  // namespace
