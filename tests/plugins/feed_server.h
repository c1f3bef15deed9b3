// FeedServer: an HTTP server on 127.0.0.1 (a free port) inside the test
// process, standing in for an index service, with or without an account.
// Each path has a queue of answers, given out in order, the last one
// repeating; GET and POST requests are recorded with their target (path and
// query, as sent), body and Authorization header.
#pragma once

#include <httplib.h>

#include <cstddef>
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

class FeedServer {
public:
    FeedServer();
    ~FeedServer();
    FeedServer(const FeedServer &) = delete;
    FeedServer &operator=(const FeedServer &) = delete;

    // "http://127.0.0.1:<port>"
    std::string Address() const;
    // Answers every request to `path` (GET or POST) with `body` and `status`
    // from now on. Unknown paths get 404.
    void Serve(const std::string &path, const std::string &body, int status = 200);
    // Queues one more answer for `path` behind those given before: each
    // answer is given once, the last one repeats.
    void Then(const std::string &path, const std::string &body, int status = 200);
    // Answers exactly the request target `target` (path and query as sent)
    // with `body`; takes precedence over Serve for its path.
    void ServeTarget(const std::string &target, const std::string &body);
    // Answers GET `path` with a 302 to `location`.
    void Redirect(const std::string &path, const std::string &location);
    // Answers GET `path` with `bytes` filler bytes ("xxx..."), sent chunked.
    void Stream(const std::string &path, size_t bytes);
    // The targets requested so far, in order.
    std::vector<std::string> Targets() const;
    // The requests so far, in order.
    std::vector<ServiceRequest> Requests() const;
    // The requests whose path (target before '?') is `path`.
    std::vector<ServiceRequest> RequestsTo(const std::string &path) const;

private:
    struct Answer {
        int status = 200;
        std::string body;
        std::string location;
        size_t streamBytes = 0;
        bool stream = false;
    };
    void Handle(const httplib::Request &request, httplib::Response &response);

    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::map<std::string, std::deque<Answer>> answers;
    std::map<std::string, Answer> targetAnswers;
    std::vector<ServiceRequest> requests;
};

// An RSS document whose channel holds the given item elements (raw XML).
std::string RssFeed(const std::vector<std::string> &items);
// An item with a title and a link (either may be omitted by passing null).
std::string RssItem(const char *title, const char *link);
