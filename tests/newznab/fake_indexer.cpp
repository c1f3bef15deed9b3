#include "fake_indexer.h"

#include <chrono>
#include <stdexcept>

FakeIndexer::FakeIndexer() {
    server.Get(".*", [this](const httplib::Request &request, httplib::Response &response) {
        std::string function = request.has_param("t") ? request.get_param_value("t") : "";
        FakeAnswer answer;
        {
            std::lock_guard<std::mutex> guard(lock);
            targets.push_back(request.target);
            functions.push_back(function);
            // A list request without words (the newest releases) has its own
            // answer when one is set.
            auto found = function.empty() ? paths.find(request.path) : api.find(function);
            if (!function.empty() && !request.has_param("q") && api.count(function + ":feed"))
                found = api.find(function + ":feed");
            if (found == (function.empty() ? paths.end() : api.end())) {
                answer.status = 404;
                answer.body = "not here";
            } else {
                answer = found->second;
            }
        }
        response.status = answer.status;
        if (!answer.location.empty())
            response.set_header("Location", answer.location);
        if (!answer.retryAfter.empty())
            response.set_header("Retry-After", answer.retryAfter);
        if (!answer.body.empty())
            response.set_content(answer.body, "application/xml");
    });
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the fake indexer");
    thread = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeIndexer::~FakeIndexer() {
    server.stop();
    thread.join();
}

std::string FakeIndexer::Address() const { return "http://127.0.0.1:" + std::to_string(port); }

void FakeIndexer::OnApi(const std::string &function, const FakeAnswer &answer) {
    std::lock_guard<std::mutex> guard(lock);
    api[function] = answer;
}

void FakeIndexer::OnPath(const std::string &path, const FakeAnswer &answer) {
    std::lock_guard<std::mutex> guard(lock);
    paths[path] = answer;
}

std::vector<std::string> FakeIndexer::Targets() const {
    std::lock_guard<std::mutex> guard(lock);
    return targets;
}

size_t FakeIndexer::CountApi(const std::string &function) const {
    std::lock_guard<std::mutex> guard(lock);
    size_t n = 0;
    for (const std::string &f : functions)
        n += f == function;
    return n;
}

std::string CapsXml(const std::string &tv) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<caps><server title=\"Fake\"/>"
           "<limits max=\"100\" default=\"50\"/><searching><search available=\"yes\"/>" +
           tv + "</searching><categories><category id=\"5000\" name=\"TV\"><subcat id=\"5040\" "
           "name=\"HD\"/></category><category id=\"2000\" name=\"Movies\"/></categories></caps>";
}

std::string ResultsXml(const std::vector<std::string> &items, const std::string &extra) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                      "xmlns:newznab=\"http://www.newznab.com/DTD/2010/feeds/attributes/\" "
                      "xmlns:torznab=\"http://torznab.com/schemas/2015/feed\"><channel><title>x</title>" +
                      extra;
    for (const std::string &item : items)
        xml += item;
    return xml + "</channel></rss>";
}

std::string ResultItemXml(const std::string &title, const std::string &url, const std::string &extra) {
    std::string item = "<item><title>" + title + "</title>";
    if (!url.empty())
        item += "<enclosure url=\"" + url + "\" length=\"100\" type=\"application/x-nzb\"/>";
    return item + extra + "</item>";
}

std::string ErrorXml(int code, const std::string &description) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<error code=\"" + std::to_string(code) +
           "\" description=\"" + description + "\"/>";
}
