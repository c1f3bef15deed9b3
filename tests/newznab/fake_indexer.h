// FakeIndexer: a Newznab/Torznab indexer on 127.0.0.1 inside the test
// process. Answers are set per API function (the "t" parameter) or per path;
// each request's target (path and query as sent) is recorded.
#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FakeAnswer {
    FakeAnswer(int status = 200, std::string body = "", std::string location = "", std::string retryAfter = "")
        : status(status), body(std::move(body)), location(std::move(location)), retryAfter(std::move(retryAfter)) {}
    int status = 200;
    std::string body;
    std::string location;    // Location header
    std::string retryAfter;  // Retry-After header
};

class FakeIndexer {
public:
    FakeIndexer();
    ~FakeIndexer();
    FakeIndexer(const FakeIndexer &) = delete;
    FakeIndexer &operator=(const FakeIndexer &) = delete;

    std::string Address() const;
    // Answers API requests whose t= is `function` ("caps", "tvsearch", "search");
    // "tvsearch:feed" answers those without q= (the newest releases).
    void OnApi(const std::string &function, const FakeAnswer &answer);
    // Answers every request for `path` (downloads).
    void OnPath(const std::string &path, const FakeAnswer &answer);
    std::vector<std::string> Targets() const;
    // Targets whose query has t=<function>.
    size_t CountApi(const std::string &function) const;

private:
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::map<std::string, FakeAnswer> api, paths;
    std::vector<std::string> targets;
    std::vector<std::string> functions;
};

// A caps document; `tv` is the tv-search element (empty for none).
std::string CapsXml(const std::string &tv);
// An RSS result list holding the given raw item elements (and any extra
// channel children, such as newznab:apilimits).
std::string ResultsXml(const std::vector<std::string> &items, const std::string &extra = "");
// An item with a title, an enclosure url (omitted when empty) and raw extras.
std::string ResultItemXml(const std::string &title, const std::string &url, const std::string &extra = "");
std::string ErrorXml(int code, const std::string &description);
