#include "test_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot start the stalled server");
    port = ntohs(address.sin_port);
    thread = std::thread([this] {
        while (!stop.load()) {
            pollfd p{listener, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                int client = accept(listener, nullptr, nullptr);
                if (client >= 0) {
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
    for (int client : clients)
        close(client);
    close(listener);
}

std::string StalledServer::Url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}
