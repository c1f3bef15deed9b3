#include "fake_indexer.h"

std::string CapsXml(const std::string &tv) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<caps><server title=\"Fake\"/>"
           "<limits max=\"100\" default=\"50\"/><searching><search available=\"yes\"/>" +
           tv + "</searching><categories><category id=\"5000\" name=\"TV\"><subcat id=\"5040\" "
           "name=\"HD\"/></category><category id=\"2000\" name=\"Movies\"/></categories></caps>";
}

std::string ResultsXml(const std::vector<std::string> &items, const std::string &extra) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                      "xmlns:newznab=\"http://www.newznab.com/DTD/2010/feeds/attributes/\" "
                      "xmlns:torznab=\"http://torznab.com/schemas/2015/feed\"><channel><title>x</title>" +
                      extra;
    for (const std::string &item : items)
        xml += item;
    return xml + "</channel></rss>";
}

std::string ResultItemXml(const std::string &title, const std::string &url, const std::string &extra) {
    std::string item = "<item><title>" + title + "</title>";
    if (!url.empty())
        item += "<enclosure url=\"" + url + "\" length=\"100\" type=\"application/x-nzb\"/>";
    return item + extra + "</item>";
}

std::string ErrorXml(int code, const std::string &description) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<error code=\"" + std::to_string(code) +
           "\" description=\"" + description + "\"/>";
}
