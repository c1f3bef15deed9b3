#include "http_server.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

Reply Ok(const std::string &body, const std::string &contentType) {
    Reply reply(200, body);
    reply.contentType = contentType;
    return reply;
}

Reply Status(int status) { return Reply(status, "status " + std::to_string(status)); }

Reply RedirectTo(const std::string &location, int status) { return Reply(status, "", location); }

Reply Stall() {
    Reply reply;
    reply.stall = true;
    return reply;
}

Reply StreamOf(uint64_t bytes, const std::string &head) {
    Reply reply(200, head);
    reply.streamBytes = bytes;
    return reply;
}

std::string RecordedRequest::Line() const {
    return method == "POST" ? method + " " + target + " " + body : method + " " + target;
}

std::string RecordedRequest::Param(const std::string &name) const {
    auto found = params.find(name);
    return found == params.end() ? "" : found->second;
}

HttpServer::HttpServer() {
    auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        Handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    // Many requests may stall at once; each holds one worker thread.
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // stop() waits for every idle kept-alive connection to time out; Wine
    // makes each second of that count, so keep it short.
    server.set_keep_alive_timeout(1);
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the test HTTP server");
    thread = std::thread([this] { server.listen_after_bind(); });
    // stop() only ends an accept loop that has started.
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpServer::~HttpServer() {
    {
        std::lock_guard<std::mutex> hold(lock);
        ending = true;
    }
    released.notify_all();
    server.stop();
    thread.join();
}

std::string HttpServer::Address() const { return "http://127.0.0.1:" + std::to_string(port); }

void HttpServer::On(const std::string &key, const Reply &reply) {
    std::lock_guard<std::mutex> hold(lock);
    answers[key] = {reply};
}

void HttpServer::Then(const std::string &key, const Reply &reply) {
    std::lock_guard<std::mutex> hold(lock);
    answers[key].push_back(reply);
}

void HttpServer::AddRoute(const std::string &method, const std::string &pattern, Handler handler) {
    std::lock_guard<std::mutex> hold(lock);
    routes.push_back(Route{method, std::regex(pattern), std::move(handler)});
}

std::vector<RecordedRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock);
    return requests;
}

std::vector<RecordedRequest> HttpServer::RequestsTo(const std::string &path) const {
    std::vector<RecordedRequest> found;
    for (const RecordedRequest &request : Requests())
        if (request.path == path)
            found.push_back(request);
    return found;
}

std::vector<std::string> HttpServer::Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest &request : Requests())
        targets.push_back(request.target);
    return targets;
}

std::vector<std::string> HttpServer::Lines() const {
    std::vector<std::string> lines;
    for (const RecordedRequest &request : Requests())
        lines.push_back(request.Line());
    return lines;
}

size_t HttpServer::RequestCount() const {
    std::lock_guard<std::mutex> hold(lock);
    return requests.size();
}

// Called with the lock held.
void HttpServer::KeyFirst(std::function<std::string(const httplib::Request &)> key) {
    std::lock_guard<std::mutex> hold(lock);
    firstKey = std::move(key);
}

bool HttpServer::Pick(const httplib::Request &request, Reply *reply) {
    std::vector<std::string> keys;
    if (firstKey)
        keys.push_back(firstKey(request));
    if (request.method == "POST")
        keys.push_back(request.target + " " + request.body);
    keys.push_back(request.target);
    for (const auto &param : request.params)
        keys.push_back("?" + param.first + "=" + param.second);
    keys.push_back(request.path);
    keys.push_back("*");
    for (const std::string &key : keys) {
        auto found = answers.find(key);
        if (found == answers.end() || found->second.empty())
            continue;
        *reply = found->second.front();
        if (found->second.size() > 1)
            found->second.pop_front();
        return true;
    }
    return false;
}

void HttpServer::Handle(const httplib::Request &request, httplib::Response &response) {
    RecordedRequest recorded{request.method, request.target, request.path, request.body,
                             request.get_header_value("Authorization"), request.headers, request.params};
    Reply reply;
    Route route;  // a copy: routes may be added while requests come in
    {
        std::lock_guard<std::mutex> hold(lock);
        requests.push_back(recorded);
        if (!Pick(request, &reply)) {
            for (const Route &candidate : routes)
                if (candidate.method == request.method && std::regex_match(request.path, candidate.pattern)) {
                    route = candidate;
                    break;
                }
            if (!route.handler)
                reply = Reply(404, "not found");
        }
    }
    if (route.handler) {
        httplib::Request matched = request;
        std::regex_match(matched.path, matched.matches, route.pattern);
        route.handler(matched, response);
        return;
    }
    if (reply.stall) {
        pending += 1;
        std::unique_lock<std::mutex> hold(lock);
        released.wait(hold, [this] { return ending; });
        pending -= 1;
        response.status = 503;
        return;
    }
    Send(reply, response);
}

void HttpServer::Send(const Reply &reply, httplib::Response &response) {
    response.status = reply.status;
    if (!reply.location.empty())
        response.set_header("Location", reply.location);
    if (!reply.retryAfter.empty())
        response.set_header("Retry-After", reply.retryAfter);
    if (reply.streamBytes == 0) {
        response.set_content(reply.body, reply.contentType.c_str());
        return;
    }
    // One shared block of filler, sent until the count is reached or the
    // client gives up.
    static const std::string filler(1 << 20, 'x');
    response.set_chunked_content_provider(
        reply.contentType, [head = reply.body, total = reply.streamBytes, sentHead = false,
                            sent = uint64_t(0)](size_t, httplib::DataSink &sink) mutable {
            if (!sentHead) {
                sentHead = true;
                if (!head.empty() && !sink.write(head.data(), head.size()))
                    return false;
            }
            if (sent >= total) {
                sink.done();
                return true;
            }
            size_t n = static_cast<size_t>(std::min<uint64_t>(filler.size(), total - sent));
            sent += n;
            return sink.write(filler.data(), n);
        });
}
