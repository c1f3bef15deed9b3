#include "index_server.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

Reply Ok(const std::string &body, const std::string &contentType) {
    Reply reply;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

Reply Status(int status) {
    Reply reply;
    reply.status = status;
    reply.body = "status " + std::to_string(status);
    return reply;
}

Reply RedirectTo(const std::string &location, int status) {
    Reply reply;
    reply.status = status;
    reply.location = location;
    return reply;
}

Reply Stall() {
    Reply reply;
    reply.stall = true;
    return reply;
}

Reply StreamOf(uint64_t bytes, const std::string &head) {
    Reply reply;
    reply.body = head;
    reply.streamBytes = bytes;
    return reply;
}

std::string RecordedRequest::Line() const {
    return method == "POST" ? method + " " + target + " " + body : method + " " + target;
}

IndexServer::IndexServer() {
    auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        Handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    // Many requests may stall at once; each holds one worker thread.
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the index server");
    thread = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

IndexServer::~IndexServer() {
    {
        std::lock_guard<std::mutex> hold(lock);
        ending = true;
    }
    released.notify_all();
    server.stop();
    thread.join();
}

std::string IndexServer::Address() const { return "http://127.0.0.1:" + std::to_string(port); }

void IndexServer::On(const std::string &key, const Reply &reply) {
    std::lock_guard<std::mutex> hold(lock);
    exact[key] = {reply};
}

void IndexServer::Then(const std::string &key, const Reply &reply) {
    std::lock_guard<std::mutex> hold(lock);
    exact[key].push_back(reply);
}

void IndexServer::OnPath(const std::string &path, const Reply &reply) {
    std::lock_guard<std::mutex> hold(lock);
    byPath[path] = reply;
}

std::vector<RecordedRequest> IndexServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock);
    return requests;
}

std::vector<std::string> IndexServer::Lines() const {
    std::vector<std::string> lines;
    for (const RecordedRequest &request : Requests())
        lines.push_back(request.Line());
    return lines;
}

size_t IndexServer::RequestCount() const {
    std::lock_guard<std::mutex> hold(lock);
    return requests.size();
}

Reply IndexServer::Pick(const std::string &key, const std::string &path) {
    auto found = exact.find(key);
    if (found != exact.end() && !found->second.empty()) {
        Reply reply = found->second.front();
        if (found->second.size() > 1)
            found->second.pop_front();
        return reply;
    }
    auto byFolder = byPath.find(path);
    if (byFolder != byPath.end())
        return byFolder->second;
    return Status(404);
}

void IndexServer::Handle(const httplib::Request &request, httplib::Response &response) {
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.target = request.target;
    recorded.body = request.body;
    recorded.authorization = request.get_header_value("Authorization");
    const std::string key =
        request.method == "POST" ? request.target + " " + request.body : request.target;
    Reply reply;
    {
        std::lock_guard<std::mutex> hold(lock);
        requests.push_back(recorded);
        reply = Pick(key, request.path);
    }
    if (reply.stall) {
        pending += 1;
        std::unique_lock<std::mutex> hold(lock);
        released.wait(hold, [this] { return ending; });
        pending -= 1;
        response.status = 503;
        return;
    }
    response.status = reply.status;
    if (!reply.location.empty()) {
        response.set_header("Location", reply.location);
        return;
    }
    if (reply.streamBytes > 0) {
        auto filler = std::make_shared<std::string>(1 << 16, 'x');
        std::string head = reply.body;
        uint64_t total = reply.streamBytes;
        response.set_chunked_content_provider(
            reply.contentType,
            [filler, head, total, sentHead = false, sent = uint64_t(0)](size_t, httplib::DataSink &sink) mutable {
                if (!sentHead) {
                    sentHead = true;
                    if (!head.empty() && !sink.write(head.data(), head.size()))
                        return false;
                }
                if (sent >= total) {
                    sink.done();
                    return true;
                }
                size_t n = static_cast<size_t>(std::min<uint64_t>(filler->size(), total - sent));
                sent += n;
                return sink.write(filler->data(), n);
            });
        return;
    }
    response.set_content(reply.body, reply.contentType.c_str());
}

std::string UrlEscape(const std::string &text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Rss(const std::vector<std::string> &items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                       "xmlns:report=\"http://www.newzbin.com/DTD/2007/feeds/report/\">\n<channel>\n"
                       "<title>Search</title>\n";
    for (const std::string &item : items)
        feed += item;
    feed += "</channel>\n</rss>\n";
    return feed;
}

std::string RssItem(const std::string &title, const std::string &link, const std::string &extra) {
    std::string item = "<item><title>" + title + "</title>";
    if (!link.empty())
        item += "<link>" + link + "</link>";
    item += extra + "</item>\n";
    return item;
}
