// The RSS search sequence shared by the plugins that read RSS answers: fetch
// the query URL into memory, parse it with TinyXML, find "rss", "channel"
// and visit each "item" in document order. Also the item helpers the
// plugins share (title, seen test, link text).
#pragma once

#include "fetch.h"

#include <functional>

#include <tinyxml.h>

// Log formats of the sequence; a plugin may give its own variants (for
// example with a service prefix). The parse format takes TinyXML's error
// description as its one argument; the other two take none.
struct RssMessages {
    const char *parseFailed = "Error parsing XML: %s\n";
    const char *noRss = "Could not find root 'rss' element!\n";
    const char *noChannel = "Could not find first 'channel' element!\n";
};

struct RssSearch {
    FetchOptions fetch;
    RssMessages messages;
    // Called with the raw answer after a successful transfer, before parsing.
    std::function<void(const ReceiveBuffer &)> onAnswer;
    // Called for each "item" element of the channel in document order;
    // returns false to end the walk.
    std::function<bool(const TiXmlElement &item)> visitItem;
};

// Runs the sequence for `url`. Returns false when the transfer failed or the
// answer could not be read (each case logged), true when the items were
// walked (whatever the visitor did). Everything is released before it returns.
bool RunRssSearch(const char *url, const RssSearch &search);

// Text of the first child element `name` of `item`, or null when the element
// is missing or has no text.
const char *ChildText(const TiXmlElement &item, const char *name);

// The item's release name (its "title" text), or null when it has none.
inline const char *ReleaseName(const TiXmlElement &item) { return ChildText(item, "title"); }

// Asks the host's seen list about `release`: true when the release is new
// and should be taken, false (silently) when it has been seen before.
bool IsNewRelease(const char *release);

// Line written to the Downloads list for a taken item without a usable link.
extern const char *const kNoLinkMessage;
