#include "poller_test_support.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "app/globals.h"
#include "app/messages.h"
#include "poller/poller.h"
#include "settings/settings_win.h"

const char THREE_GAMES_SCENARIO[] = R"({"sections": [
  {"type": "Ploc", "games": [
    {"id": 101, "active": "Ann+Lee",
     "players": [{"id": 17, "name": "Ann Lee"}, {"id": 18, "name": "Bob"}]},
    {"id": 102, "active": "Bob",
     "players": [{"id": 18, "name": "Bob"}, {"id": 17, "name": "Ann Lee"}]}]},
  {"type": "Quarto", "games": [{"id": 203, "active": "Eve", "players": []}]}]})";
const char THREE_GAMES_SUMMARY[] = "Ploc|101|T|Ann Lee, Bob;Ploc|102|F|Bob, Ann Lee;Quarto|203|F|;";

int deliveryCount;
std::string deliveredSummary;
std::function<void(GameList&)> onDelivery;

namespace {

const char* siteHost()
{
    const char* host = std::getenv("TURNBELL_TESTSITE_HOST");
    return host ? host : "127.0.0.1";
}

INTERNET_PORT sitePort()
{
    const char* port = std::getenv("TURNBELL_TESTSITE_PORT");
    return port ? static_cast<INTERNET_PORT>(std::atoi(port)) : 0;
}

void startWinsock()
{
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
}

LRESULT CALLBACK receiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_GAMELIST) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    GameList& games = *reinterpret_cast<GameList*>(lParam);
    ++deliveryCount;
    for (const auto& game : games) {
        deliveredSummary += game->gameType + "|" + game->gameId + "|" + (game->myTurn ? "T" : "F") +
                            "|" + joinPlayerNames(*game) + ";";
    }
    if (onDelivery) {
        onDelivery(games);
    }
    return 0;
}

}  // namespace

std::string siteControl(const char* method, const char* path, const std::string& body)
{
    startWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(sitePort());
    inet_pton(AF_INET, siteHost(), &address.sin_addr);
    if (s == INVALID_SOCKET ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        ADD_FAILURE() << "the test site's control interface cannot be reached";
        return "";
    }
    const std::string request = std::string(method) + " " + path +
                                " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\n\r\n" + body;
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string reply;
    char chunk[4096];
    int n;
    while ((n = recv(s, chunk, sizeof chunk, 0)) > 0) {
        reply.append(chunk, static_cast<std::size_t>(n));
    }
    closesocket(s);
    EXPECT_EQ(reply.compare(0, 12, "HTTP/1.1 200"), 0) << path << ": " << reply.substr(0, 80);
    const std::size_t headerEnd = reply.find("\r\n\r\n");
    return headerEnd == std::string::npos ? "" : reply.substr(headerEnd + 4);
}

void setScenario(const std::string& json)
{
    EXPECT_EQ(siteControl("POST", "/_control/scenario", json), "ok\n");
    siteControl("POST", "/_control/clear");
}

int requestCount()
{
    return std::atoi(siteControl("GET", "/_control/count").c_str());
}

std::string lastRequestBody()
{
    const std::string raw = siteControl("GET", "/_control/last");
    const std::size_t headerEnd = raw.find("\r\n\r\n");
    return headerEnd == std::string::npos ? "" : raw.substr(headerEnd + 4);
}

void aimPollerAtTestSite(DWORD receiveTimeoutMs)
{
    pollerSiteHost = siteHost();
    pollerSitePort = sitePort();
    pollerFetchTimeouts = {2000, 2000, receiveTimeoutMs};
}

INTERNET_PORT closedPort()
{
    startWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

void setUserName(const char* name)
{
    EnterCriticalSection(&settingsLock);
    lstrcpynA(Settings.userName, name, USER_NAME_SIZE);
    LeaveCriticalSection(&settingsLock);
}

HWND createReceiverWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = receiverProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TurnbellTestReceiver";
    RegisterClassA(&windowClass);
    mainWindow = CreateWindowExA(0, windowClass.lpszClassName, "receiver", WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
    return mainWindow;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) {
            return true;
        }
        if (nowMs() >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
