#include "tests/support/testsite_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/read_file.h"

namespace {

void startWinsock()
{
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
}

std::string bodyOf(const std::string& message)
{
    const std::size_t headerEnd = message.find("\r\n\r\n");
    return headerEnd == std::string::npos ? "" : message.substr(headerEnd + 4);
}

}  // namespace

const std::string& threeGamesScenario()
{
    static std::string scenario =
        readFile(std::string(TURNBELL_TEST_DATA) + "/../testsite/scenarios/ann-lee.json");
    scenario.erase(scenario.find_last_not_of("\r\n") + 1);  // ends with its closing brace
    return scenario;
}

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
    while ((n = recv(s, chunk, sizeof chunk, 0)) > 0)
        reply.append(chunk, static_cast<std::size_t>(n));
    closesocket(s);
    EXPECT_EQ(reply.compare(0, 12, "HTTP/1.1 200"), 0) << path << ": " << reply.substr(0, 80);
    return bodyOf(reply);
}

void setScenario(const std::string& json)
{
    EXPECT_EQ(siteControl("POST", "/_control/scenario", json), "ok\n");
    siteControl("POST", "/_control/clear");
}

int requestCount() { return std::atoi(siteControl("GET", "/_control/count").c_str()); }

std::string lastRequest() { return siteControl("GET", "/_control/last"); }

std::string lastRequestBody() { return bodyOf(lastRequest()); }

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
