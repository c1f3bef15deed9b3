// The plugin suites' index service: the shared HttpServer, with or without
// an account, and the feeds it answers with.
#pragma once

#include <http_server.h>

#include <string>
#include <vector>

using FeedServer = HttpServer;
using ServiceRequest = RecordedRequest;

// An RSS document whose channel holds the given item elements (raw XML).
std::string RssFeed(const std::vector<std::string> &items);
// An item with a title and a link (either may be omitted by passing null).
std::string RssItem(const char *title, const char *link);
