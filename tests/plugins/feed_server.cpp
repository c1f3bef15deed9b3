#include "feed_server.h"

std::string RssFeed(const std::vector<std::string> &items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Feed</title>\n";
    for (const std::string &item : items)
        feed += item;
    feed += "</channel>\n</rss>\n";
    return feed;
}

std::string RssItem(const char *title, const char *link) {
    std::string item = "<item>";
    if (title)
        item += std::string("<title>") + title + "</title>";
    if (link)
        item += std::string("<link>") + link + "</link>";
    item += "</item>\n";
    return item;
}
