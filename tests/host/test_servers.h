// Servers the host tests start on 127.0.0.1: an HTTP server (cpp-httplib)
// on a free port, and a "stalled" server that accepts connections and never
// sends a byte.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    httplib::Server &Routes() { return server; }
    // Starts listening; call after the routes are set.
    void Start();
    std::string Url(const std::string &path) const;

private:
    httplib::Server server;
    int port = 0;
    std::thread thread;
};

class StalledServer {
public:
    StalledServer();
    ~StalledServer();
    std::string Url(const std::string &path) const;
    int Accepted() const { return accepted.load(); }

private:
    socket_t listener = INVALID_SOCKET;  // httplib's socket type: SOCKET on Windows
    int port = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::vector<socket_t> clients;
    std::thread thread;
};
