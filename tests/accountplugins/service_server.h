// ServiceServer: an HTTP server on 127.0.0.1 (a free port) inside the test
// process, standing in for an account-based index service. Each path has a
// queue of answers, given out in order, the last one repeating; GET and POST
// requests are recorded with their target, body and Authorization header.
#pragma once

#include <httplib.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ServiceRequest {
    std::string method;
    std::string target;        // path and query as sent
    std::string body;
    std::string authorization;
};

class ServiceServer {
public:
    ServiceServer();
    ~ServiceServer();
    ServiceServer(const ServiceServer &) = delete;
    ServiceServer &operator=(const ServiceServer &) = delete;

    // "http://127.0.0.1:<port>"
    std::string Address() const;
    // Answers every request to `path` (GET or POST) with `body` and `status`
    // from now on. Unknown paths get 404.
    void Serve(const std::string &path, const std::string &body, int status = 200);
    // Queues one more answer for `path` behind those given before: each
    // answer is given once, the last one repeats.
    void Then(const std::string &path, const std::string &body, int status = 200);
    std::vector<ServiceRequest> Requests() const;
    // The requests whose path (target before '?') is `path`.
    std::vector<ServiceRequest> RequestsTo(const std::string &path) const;

private:
    struct Answer {
        int status;
        std::string body;
    };
    void Handle(const httplib::Request &request, httplib::Response &response);

    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::map<std::string, std::deque<Answer>> answers;
    std::vector<ServiceRequest> requests;
};
