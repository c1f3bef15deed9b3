// Reading a Newznab/Torznab indexer's answers: the HTTP status line and the
// headers that matter, error answers, capabilities, result items and the
// indexer's own request counts.
#pragma once

#include "state.h"

#include <cstdint>
#include <string>
#include <vector>

#include <tinyxml.h>

// The headers of one HTTP answer. Filled by OnHeaderLine; a new status line
// (an interim answer, or the next answer of a redirect) starts it afresh.
struct AnswerHeaders {
    int status = 0;
    std::string location;
    std::string retryAfter;
};
// libcurl header callback; `data` is an AnswerHeaders.
size_t OnHeaderLine(char *line, size_t size, size_t count, void *data);

// Seconds since 1970 of an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT", also
// without the weekday, or with a numeric zone: "Wed, 17 Jul 2019 23:00:49
// +0100"); false when it is not one.
bool ParseHttpDate(const char *text, int64_t &time);
// When a Retry-After value (seconds, or an HTTP date) says to resume; 0 when
// it is empty or unreadable.
int64_t RetryAfterTime(const std::string &value, int64_t now);
// `location` of a redirect made absolute against the address it answered.
std::string ResolveLocation(const std::string &base, const std::string &location);

// An <error code=".." description=".."/> answer.
struct ApiError {
    bool present = false;
    int code = 0;
    std::string description;
};
ApiError ReadApiError(const TiXmlDocument &document);

// Errors that pause the indexer: codes 429, 500, 501 or a description that
// begins with "Request limit reached".
bool IsLimitError(const ApiError &error);
// Codes 100 to 107: the account or its key is refused.
inline bool IsAccountError(const ApiError &error) { return error.code >= 100 && error.code <= 107; }

// What the capabilities answer says about searching for episodes.
struct Capabilities {
    bool readable = false;  // the answer was a <caps> document
    bool tvSearch = false;  // tv-search available with season and ep
    bool paramsListed = false;  // tv-search names its supportedParams
    // The show ids tv-search takes, lower case, in the order Quillon prefers
    // them: "tvdbid", "tvmazeid", "imdbid", "rid". Without supportedParams:
    // the Newznab default "q,rid,season,ep", so "rid".
    std::vector<std::string> idParams;
    std::vector<std::string> categories;  // "5000 TV", "5040 TV/HD", ...
};
Capabilities ReadCapabilities(const TiXmlDocument &document);

// One result item.
struct ResultItem {
    std::string title;
    std::string link;    // enclosure url, else link text
    std::string magnet;  // the magneturl attribute
    long seeders = -1;   // -1 when not given
    int64_t published = 0;  // pubDate, s since 1970; 0 when not given
};
// The items of an <rss><channel>; false when the document is not RSS.
bool ReadItems(const TiXmlDocument &document, std::vector<ResultItem> &items);
// The indexer's newznab:apilimits (attribute names in any case), stamped
// with `now`; `at` stays 0 when the answer has none.
RemoteLimits ReadApiLimits(const TiXmlDocument &document, int64_t now);

// True for a "magnet:" link (any case).
bool IsMagnet(const std::string &link);
