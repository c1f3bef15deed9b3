// IndexServer: one HTTP server on 127.0.0.1 (a free port) inside the test
// process that stands in for all four index services at once: the ezRSS and
// NZBIndex RSS searches with their torrent and NZB files, the Newzbin RSS
// search and its DirectNZB form POST, and the NZBMatrix search and download
// API with its line answers. Answers are set per exact request (path and
// query as sent, and for a POST its body too), else per path; each has a
// queue whose last answer repeats. Every request is recorded in order.
#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    std::string location;      // sent as a Location header (use with 301/302)
    uint64_t streamBytes = 0;  // > 0: send body, then this many filler bytes, chunked
    bool stall = false;        // take the request and send nothing until the server ends
};

Reply Ok(const std::string &body, const std::string &contentType = "text/plain");
Reply Status(int status);
Reply RedirectTo(const std::string &location, int status = 302);
Reply Stall();
Reply StreamOf(uint64_t bytes, const std::string &head = "");

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query exactly as sent
    std::string body;
    std::string authorization;
    // "GET <target>" or "POST <target> <body>"
    std::string Line() const;
};

class IndexServer {
public:
    IndexServer();
    ~IndexServer();
    IndexServer(const IndexServer &) = delete;
    IndexServer &operator=(const IndexServer &) = delete;

    // "http://127.0.0.1:<port>"
    std::string Address() const;
    // Answers the exact request `key` ("<target>" for a GET, "<target> <body>"
    // for a POST) with `reply`, replacing what was set before.
    void On(const std::string &key, const Reply &reply);
    // Queues one more answer for `key` behind those given before; each is
    // given once, the last one repeats.
    void Then(const std::string &key, const Reply &reply);
    // Answers every request for `path` that has no exact answer.
    void OnPath(const std::string &path, const Reply &reply);

    std::vector<RecordedRequest> Requests() const;
    std::vector<std::string> Lines() const;
    size_t RequestCount() const;
    // Requests that were taken and not yet answered (stalled ones included).
    int Pending() const { return pending.load(); }

private:
    void Handle(const httplib::Request &request, httplib::Response &response);
    Reply Pick(const std::string &key, const std::string &path);

    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::condition_variable released;
    bool ending = false;
    std::atomic<int> pending{0};
    std::map<std::string, std::deque<Reply>> exact;
    std::map<std::string, Reply> byPath;
    std::vector<RecordedRequest> requests;
};

// The escaping of curl_escape: every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string UrlEscape(const std::string &text);
// RSS document with the given raw item elements.
std::string Rss(const std::vector<std::string> &items);
// <item> with a title and, when not empty, a link; `extra` is raw XML added inside.
std::string RssItem(const std::string &title, const std::string &link, const std::string &extra = "");
