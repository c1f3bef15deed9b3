// FeedServer: an HTTP server on 127.0.0.1 (a free port) inside the test
// process, standing in for an index service. Answers are set per path;
// every request's target (path and query, as sent) is recorded.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FeedServer {
public:
    FeedServer();
    ~FeedServer();
    FeedServer(const FeedServer &) = delete;
    FeedServer &operator=(const FeedServer &) = delete;

    // "http://127.0.0.1:<port>"
    std::string Address() const;
    // Answers GET `path` with `body` and `status`. Unknown paths get 404.
    void Serve(const std::string &path, const std::string &body, int status = 200);
    // Answers exactly the request target `target` (path and query as sent)
    // with `body`; takes precedence over Serve for its path.
    void ServeTarget(const std::string &target, const std::string &body);
    // Answers GET `path` with a 302 to `location`.
    void Redirect(const std::string &path, const std::string &location);
    // Answers GET `path` with `bytes` filler bytes ("xxx..."), sent chunked.
    void Stream(const std::string &path, size_t bytes);
    // The targets requested so far, in order.
    std::vector<std::string> Targets() const;

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
    std::map<std::string, Answer> answers;
    std::map<std::string, Answer> targetAnswers;
    std::vector<std::string> targets;
};

// An RSS document whose channel holds the given item elements (raw XML).
std::string RssFeed(const std::vector<std::string> &items);
// An item with a title and a link (either may be omitted by passing null).
std::string RssItem(const char *title, const char *link);
