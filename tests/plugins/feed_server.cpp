#include "feed_server.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

FeedServer::FeedServer() {
    auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        Handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the test server");
    thread = std::thread([this] { server.listen_after_bind(); });
    // stop() only ends an accept loop that has started.
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FeedServer::~FeedServer() {
    server.stop();
    thread.join();
}

std::string FeedServer::Address() const { return "http://127.0.0.1:" + std::to_string(port); }

void FeedServer::Serve(const std::string &path, const std::string &body, int status) {
    std::lock_guard<std::mutex> guard(lock);
    Answer answer;
    answer.status = status;
    answer.body = body;
    answers[path] = {answer};
}

void FeedServer::Then(const std::string &path, const std::string &body, int status) {
    std::lock_guard<std::mutex> guard(lock);
    Answer answer;
    answer.status = status;
    answer.body = body;
    answers[path].push_back(answer);
}

void FeedServer::ServeTarget(const std::string &target, const std::string &body) {
    std::lock_guard<std::mutex> guard(lock);
    Answer answer;
    answer.body = body;
    targetAnswers[target] = answer;
}

void FeedServer::Redirect(const std::string &path, const std::string &location) {
    std::lock_guard<std::mutex> guard(lock);
    Answer answer;
    answer.status = 302;
    answer.location = location;
    answers[path] = {answer};
}

void FeedServer::Stream(const std::string &path, size_t bytes) {
    std::lock_guard<std::mutex> guard(lock);
    Answer answer;
    answer.stream = true;
    answer.streamBytes = bytes;
    answers[path] = {answer};
}

std::vector<std::string> FeedServer::Targets() const {
    std::vector<std::string> targets;
    for (const ServiceRequest &request : Requests())
        targets.push_back(request.target);
    return targets;
}

std::vector<ServiceRequest> FeedServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

std::vector<ServiceRequest> FeedServer::RequestsTo(const std::string &path) const {
    std::vector<ServiceRequest> found;
    for (const ServiceRequest &request : Requests())
        if (request.target.substr(0, request.target.find('?')) == path)
            found.push_back(request);
    return found;
}

void FeedServer::Handle(const httplib::Request &request, httplib::Response &response) {
    Answer answer;
    {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(ServiceRequest{request.method, request.target, request.body,
                                          request.get_header_value("Authorization")});
        auto byTarget = targetAnswers.find(request.target);
        auto byPath = answers.find(request.path);
        if (byTarget != targetAnswers.end()) {
            answer = byTarget->second;
        } else if (byPath != answers.end() && !byPath->second.empty()) {
            answer = byPath->second.front();
            if (byPath->second.size() > 1)
                byPath->second.pop_front();
        } else {
            response.status = 404;
            response.set_content("not found", "text/plain");
            return;
        }
    }
    if (answer.stream) {
        // One shared block of filler, sent until the count is reached or the
        // client gives up.
        auto block = std::make_shared<std::string>(1 << 20, 'x');
        size_t total = answer.streamBytes;
        response.set_chunked_content_provider(
            "application/rss+xml", [block, total, sent = size_t(0)](size_t, httplib::DataSink &sink) mutable {
                if (sent >= total) {
                    sink.done();
                    return true;
                }
                size_t n = std::min(block->size(), total - sent);
                sent += n;
                return sink.write(block->data(), n);
            });
        return;
    }
    response.status = answer.status;
    if (!answer.location.empty())
        response.set_header("Location", answer.location);
    else
        response.set_content(answer.body, "application/rss+xml");
}

std::string RssFeed(const std::vector<std::string> &items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Feed</title>\n";
    for (const std::string &item : items)
        feed += item;
    feed += "</channel>\n</rss>\n";
    return feed;
}

std::string RssItem(const char *title, const char *link) {
    std::string item = "<item>";
    if (title)
        item += std::string("<title>") + title + "</title>";
    if (link)
        item += std::string("<link>") + link + "</link>";
    item += "</item>\n";
    return item;
}
