// The end-to-end suites' index server: the shared HttpServer standing in for
// all four index services at once (the ezRSS and NZBIndex RSS searches with
// their torrent and NZB files, the Newzbin RSS search and its DirectNZB form
// POST, the NZBMatrix search and download API with its line answers), and
// the documents they answer with.
#pragma once

#include <http_server.h>

#include <string>
#include <vector>

using IndexServer = HttpServer;

// The escaping of curl_escape: every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string UrlEscape(const std::string &text);
// RSS document with the given raw item elements.
std::string Rss(const std::vector<std::string> &items);
// <item> with a title and, when not empty, a link; `extra` is raw XML added inside.
std::string RssItem(const std::string &title, const std::string &link, const std::string &extra = "");
