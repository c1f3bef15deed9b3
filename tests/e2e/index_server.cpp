#include "index_server.h"

std::string UrlEscape(const std::string &text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Rss(const std::vector<std::string> &items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                       "xmlns:report=\"http://www.newzbin.com/DTD/2007/feeds/report/\">\n<channel>\n"
                       "<title>Search</title>\n";
    for (const std::string &item : items)
        feed += item;
    feed += "</channel>\n</rss>\n";
    return feed;
}

std::string RssItem(const std::string &title, const std::string &link, const std::string &extra) {
    std::string item = "<item><title>" + title + "</title>";
    if (!link.empty())
        item += "<link>" + link + "</link>";
    item += extra + "</item>\n";
    return item;
}
