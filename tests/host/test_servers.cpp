#include "test_servers.h"

#ifdef _WIN32
// winsock2.h and ws2tcpip.h come with httplib.h.
namespace {
int CloseSocket(socket_t s) { return closesocket(s); }
int Poll(pollfd *fds, unsigned long count, int milliseconds) { return WSAPoll(fds, count, milliseconds); }
}  // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int CloseSocket(socket_t s) { return close(s); }
int Poll(pollfd *fds, nfds_t count, int milliseconds) { return poll(fds, count, milliseconds); }
}  // namespace
#endif

#include <chrono>
#include <stdexcept>

TestHttpServer::TestHttpServer() {
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the test server");
}

void TestHttpServer::Start() {
    thread = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() {
    server.stop();
    if (thread.joinable())
        thread.join();
}

std::string TestHttpServer::Url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

StalledServer::StalledServer() {
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("cannot start Windows sockets");
#endif
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot start the stalled server");
    port = ntohs(address.sin_port);
    thread = std::thread([this] {
        while (!stop.load()) {
            pollfd p{listener, POLLIN, 0};
            if (Poll(&p, 1, 50) > 0) {
                socket_t client = accept(listener, nullptr, nullptr);
                if (client != INVALID_SOCKET) {
                    clients.push_back(client);  // held open, never written to
                    accepted += 1;
                }
            }
        }
    });
}

StalledServer::~StalledServer() {
    stop = true;
    thread.join();
    for (socket_t client : clients)
        CloseSocket(client);
    CloseSocket(listener);
#ifdef _WIN32
    WSACleanup();
#endif
}

std::string StalledServer::Url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}
