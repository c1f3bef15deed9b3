// FakeIndexer: the shared HttpServer as a Newznab/Torznab indexer, answering
// per API function (the "t" parameter) or per path (downloads), and the
// documents it answers with.
#pragma once

#include <http_server.h>

#include <string>
#include <vector>

using FakeAnswer = Reply;

class FakeIndexer : public HttpServer {
public:
    // A list request without words (the newest releases) takes the answer
    // set for "<function>:feed" when there is one.
    FakeIndexer() {
        KeyFirst([](const httplib::Request &request) {
            std::string function = request.get_param_value("t");
            return function.empty() || request.has_param("q") ? std::string() : "?t=" + function + ":feed";
        });
    }
    // Answers API requests whose t= is `function` ("caps", "tvsearch",
    // "search"); "tvsearch:feed" answers those without q= (the newest releases).
    void OnApi(const std::string &function, const Reply &answer) { OnQuery("t", function, answer); }
    // Requests whose query has t=<function>.
    size_t CountApi(const std::string &function) const {
        size_t n = 0;
        for (const RecordedRequest &request : Requests())
            n += request.Param("t") == function;
        return n;
    }
};

// A caps document; `tv` is the tv-search element (empty for none).
std::string CapsXml(const std::string &tv);
// An RSS result list holding the given raw item elements (and any extra
// channel children, such as newznab:apilimits).
std::string ResultsXml(const std::vector<std::string> &items, const std::string &extra = "");
// An item with a title, an enclosure url (omitted when empty) and raw extras.
std::string ResultItemXml(const std::string &title, const std::string &url, const std::string &extra = "");
std::string ErrorXml(int code, const std::string &description);
