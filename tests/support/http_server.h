// HttpServer: the one HTTP server the suites start inside the test process,
// on 127.0.0.1 and a free port, standing in for index services, indexers and
// download hosts. Answers are set per key, each key with a queue whose last
// answer repeats. A request takes the first key that has an answer among:
// "<target> <body>" (a POST), its target (path and query as sent),
// "?<name>=<value>" for each query (or form) parameter, its path, and "*";
// else the first route set with Get/Post whose pattern matches its path;
// else 404. Every request is recorded in order.
#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

struct Reply {
    Reply(int status = 200, std::string body = "", std::string location = "", std::string retryAfter = "")
        : status(status), body(std::move(body)), location(std::move(location)), retryAfter(std::move(retryAfter)) {}
    int status;
    std::string body;
    std::string location;      // Location header (use with 301/302)
    std::string retryAfter;    // Retry-After header
    std::string contentType = "text/plain";
    uint64_t streamBytes = 0;  // > 0: send body, then this many filler bytes ("xxx..."), chunked
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
    std::string path;
    std::string body;
    std::string authorization;
    httplib::Headers headers;
    httplib::Params params;  // query (and form) parameters, decoded
    // "GET <target>" or "POST <target> <body>"
    std::string Line() const;
    // The parameter's value, or "" when it is not there.
    std::string Param(const std::string &name) const;
};

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // "http://127.0.0.1:<port>", and that with `path` appended.
    std::string Address() const;
    std::string Url(const std::string &path) const { return Address() + path; }

    // Answers `key` with `reply` from now on, replacing what was set before.
    void On(const std::string &key, const Reply &reply);
    // Queues one more answer for `key` behind those given before; each is
    // given once, the last one repeats.
    void Then(const std::string &key, const Reply &reply);
    void OnPath(const std::string &path, const Reply &reply) { On(path, reply); }
    void OnQuery(const std::string &name, const std::string &value, const Reply &reply) {
        On("?" + name + "=" + value, reply);
    }
    void Serve(const std::string &key, const std::string &body, int status = 200) { On(key, Reply(status, body)); }
    void Then(const std::string &key, const std::string &body, int status = 200) { Then(key, Reply(status, body)); }
    void ServeTarget(const std::string &target, const std::string &body) { On(target, Reply(200, body)); }
    void Redirect(const std::string &key, const std::string &location) { On(key, RedirectTo(location)); }
    void Stream(const std::string &key, uint64_t bytes) { On(key, StreamOf(bytes)); }

    // Requests no answer above takes go to the first route whose pattern
    // (a regular expression) matches their whole path; its groups are in
    // the request's `matches`.
    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;
    void Get(const std::string &pattern, Handler handler) { AddRoute("GET", pattern, std::move(handler)); }
    void Post(const std::string &pattern, Handler handler) { AddRoute("POST", pattern, std::move(handler)); }
    HttpServer &Routes() { return *this; }
    // A key of the suite's own, looked up before all others ("" for none).
    void KeyFirst(std::function<std::string(const httplib::Request &)> key);
    void Start() {}  // the server listens from the start

    std::vector<RecordedRequest> Requests() const;
    // The requests whose path is `path`.
    std::vector<RecordedRequest> RequestsTo(const std::string &path) const;
    std::vector<std::string> Targets() const;
    std::vector<std::string> Lines() const;
    size_t RequestCount() const;
    // Requests that were taken and not yet answered (stalled ones included).
    int Pending() const { return pending.load(); }
    int Accepted() const { return Pending(); }

private:
    struct Route {
        std::string method;
        std::regex pattern;
        Handler handler;
    };
    void AddRoute(const std::string &method, const std::string &pattern, Handler handler);
    void Handle(const httplib::Request &request, httplib::Response &response);
    bool Pick(const httplib::Request &request, Reply *reply);
    void Send(const Reply &reply, httplib::Response &response);

    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::condition_variable released;
    bool ending = false;
    std::atomic<int> pending{0};
    std::map<std::string, std::deque<Reply>> answers;
    std::vector<Route> routes;
    std::function<std::string(const httplib::Request &)> firstKey;
    std::vector<RecordedRequest> requests;
};
