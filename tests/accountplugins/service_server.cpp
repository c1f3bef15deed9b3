#include "service_server.h"

#include <stdexcept>

ServiceServer::ServiceServer() {
    auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        Handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("cannot bind the test server");
    // The socket listens from here on: connections wait in its backlog until
    // the thread accepts them.
    thread = std::thread([this] { server.listen_after_bind(); });
}

ServiceServer::~ServiceServer() {
    while (!server.is_running() && thread.joinable())
        std::this_thread::yield();
    server.stop();
    thread.join();
}

std::string ServiceServer::Address() const { return "http://127.0.0.1:" + std::to_string(port); }

void ServiceServer::Serve(const std::string &path, const std::string &body, int status) {
    std::lock_guard<std::mutex> guard(lock);
    answers[path] = {Answer{status, body}};
}

void ServiceServer::Then(const std::string &path, const std::string &body, int status) {
    std::lock_guard<std::mutex> guard(lock);
    answers[path].push_back(Answer{status, body});
}

std::vector<ServiceRequest> ServiceServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

std::vector<ServiceRequest> ServiceServer::RequestsTo(const std::string &path) const {
    std::vector<ServiceRequest> found;
    for (const ServiceRequest &request : Requests())
        if (request.target.substr(0, request.target.find('?')) == path)
            found.push_back(request);
    return found;
}

void ServiceServer::Handle(const httplib::Request &request, httplib::Response &response) {
    std::lock_guard<std::mutex> guard(lock);
    requests.push_back(ServiceRequest{request.method, request.target, request.body,
                                      request.get_header_value("Authorization")});
    auto found = answers.find(request.path);
    if (found == answers.end() || found->second.empty()) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    Answer answer = found->second.front();
    if (found->second.size() > 1)
        found->second.pop_front();
    response.status = answer.status;
    response.set_content(answer.body, "text/plain");
}
