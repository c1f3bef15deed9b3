// The RSS search sequence: fetch, parse, "rss" -> "channel" -> "item".
#include "rss.h"

#include "frame.h"

#include <cstring>

const char *const kNoLinkMessage = "Error: No link element found!\n";

namespace {

// TinyXML parses (and frees) nested elements recursively, so an answer whose
// elements nest deeply enough would overflow the check thread's stack. RSS
// needs a handful of levels; anything deeper than this is refused unread.
constexpr size_t kMaxNesting = 256;
const char *const kTooDeep = "Elements nested too deeply";

// The '>' that closes the tag whose text starts at `p`, passing over quoted
// attribute values, which may hold '>' (value="a -> b"); null when there is
// none. Only quotes and the closing bracket stop the search.
const char *TagEnd(const char *p) {
    while ((p = std::strpbrk(p, "\"'>")) != nullptr && *p != '>') {
        p = std::strchr(p + 1, *p);
        if (!p)
            return nullptr;
        ++p;
    }
    return p;
}

// Counts how deep the elements of an XML text nest: a start tag goes one
// level down, an end tag one up; empty-element tags, declarations, comments
// and CDATA sections do not count, nor a '>' inside an attribute value.
// Stops counting once past kMaxNesting.
size_t NestingDepth(const char *text) {
    size_t depth = 0, deepest = 0;
    const char *p = text;
    while (p && (p = std::strchr(p, '<')) != nullptr) {
        // Plain tags are the common case: one character search, no compares.
        const char *skipTo = ">";
        const char *end;
        if (p[1] == '!' && p[2] == '-' && p[3] == '-') {
            skipTo = "-->";
            end = std::strstr(p + 1, skipTo);
        } else if (p[1] == '!' && std::strncmp(p, "<![CDATA[", 9) == 0) {
            skipTo = "]]>";
            end = std::strstr(p + 1, skipTo);
        } else {
            end = TagEnd(p + 1);
        }
        if (!end)
            break;
        if (p[1] == '/') {
            if (depth > 0)
                --depth;
        } else if (p[1] != '!' && p[1] != '?' && end[-1] != '/') {
            if (++depth > deepest)
                deepest = depth;
            if (deepest > kMaxNesting)
                break;
        }
        p = end + std::strlen(skipTo);
    }
    return deepest;
}

} // namespace

bool RunRssSearch(const char *url, const RssSearch &search) {
    const QLN_HOST_API *host = FrameHost();
    AnswerGuard guard;
    if (FetchToMemory(url, search.fetch, guard.answer) != FetchResult::Ok)
        return false;
    if (search.onAnswer)
        search.onAnswer(guard.answer);

    // A fresh document each time, encoding left to the parser's detection.
    // An empty answer leaves data null, which TinyXML reports as an empty
    // document.
    if (guard.answer.data && NestingDepth(guard.answer.data) > kMaxNesting) {
        host->Log(search.messages.parseFailed, kTooDeep);
        return false;
    }
    TiXmlDocument document;
    // No row and column tracking: nothing here reads an element's position,
    // and TinyXML spends most of a parse keeping it up to date.
    document.SetTabSize(0);
    document.Parse(guard.answer.data, nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error()) {
        host->Log(search.messages.parseFailed, document.ErrorDesc());
        return false;
    }
    const TiXmlElement *rss = document.FirstChildElement("rss");
    if (!rss) {
        host->Log(search.messages.noRss);
        return false;
    }
    const TiXmlElement *channel = rss->FirstChildElement("channel");
    if (!channel) {
        host->Log(search.messages.noChannel);
        return false;
    }
    for (const TiXmlElement *item = channel->FirstChildElement("item"); item;
         item = item->NextSiblingElement("item")) {
        if (search.visitItem && !search.visitItem(*item))
            break;
    }
    return true;
}

const char *ChildText(const TiXmlElement &item, const char *name) {
    const TiXmlElement *child = item.FirstChildElement(name);
    if (!child)
        return nullptr;
    const char *text = child->GetText();
    return text && *text ? text : nullptr;
}

bool IsNewRelease(const char *release) { return !FrameHost()->IsSeen(release); }
