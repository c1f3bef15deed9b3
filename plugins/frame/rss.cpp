// The RSS search sequence: fetch, parse, "rss" -> "channel" -> "item".
#include "rss.h"

#include "frame.h"

const char *const kNoLinkMessage = "Error: No link element found!\n";

namespace {
// Releases the answer on every way out of the sequence.
struct AnswerGuard {
    ReceiveBuffer answer;
    ~AnswerGuard() { FreeReceived(answer); }
};
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
    TiXmlDocument document;
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
