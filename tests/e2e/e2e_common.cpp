#include "e2e_common.h"

#include <cstdio>

namespace {

std::string Format(const char *format, int season, int episode) {
    char text[64];
    std::snprintf(text, sizeof text, format, season, episode);
    return text;
}

}  // namespace

std::string Services::Ez(const ShowEntry &show) const {
    return "/search/index.php?show_name=" + UrlEscape(show.name) +
           "&show_name_exact=true&date=&release_group=&mode=rss" + (show.hd ? "&quality=720P" : "");
}

std::string Services::Generic(const ShowEntry &show, int season, int episode) const {
    std::string term = UrlEscape(show.name) + "%20" + Format("S%02dE%02d", season, episode);
    if (show.hd)
        term += "%20x264";
    if (!show.keywords.empty())
        term += "%20" + show.keywords;
    return "/rss/?q=" + term + "&sort=agedesc&max=25&minsize=100&complete=1&more=1&hidespam=1";
}

std::string Services::Newzbin(const ShowEntry &show, int season, int episode) const {
    std::string target = "/search/query?q=" + UrlEscape(show.name) + "%20" + Format("%dx%02d", season, episode);
    if (!show.keywords.empty())
        target += "%20" + UrlEscape(show.keywords);
    target += "&searchaction=Go&fpn=p&feed=rss&area=c.8&category=8&areadone=c.8";
    if (show.hd)
        target += "&ps_rb_video_format=2621440";
    return target;
}

std::string Services::Matrix(const ShowEntry &show, int season, int episode) const {
    std::string target = "/v1.1/search.php?username=mxuser&apikey=0123abcd&larger=50&search=%2B\"" +
                         UrlEscape(show.name) + "\"%20" + Format("S%02dE%02d", season, episode) + "%20\"%20" +
                         Format("%dx%02d", season, episode) + "\"";
    if (!show.keywords.empty())
        target += "%20" + UrlEscape(show.keywords);
    if (show.hd)
        target += "%20%2Bx264";
    return target;
}

std::string Services::MatrixDownload(unsigned long long id) const {
    return "/v1.1/download.php?username=mxuser&apikey=0123abcd&id=" + std::to_string(id);
}

std::string Services::DirectNzb(unsigned long long id) const {
    return "/api/dnzb/ username=nzbuser&password=secret&reportid=" + std::to_string(id);
}

std::string Services::SearchLine(const std::string &library, const ShowEntry &show, int season,
                                 int episode) const {
    if (library == PluginFile("ezRSS"))
        return "GET " + Ez(show);
    if (library == PluginFile("generic"))
        return "GET " + Generic(show, season, episode);
    if (library == PluginFile("newzbin"))
        return "GET " + Newzbin(show, season, episode);
    return "GET " + Matrix(show, season, episode);
}

void Services::ServeDefaults(IndexServer &server) const {
    server.OnPath("/search/index.php", Ok(Rss({}), "application/rss+xml"));
    server.OnPath("/rss/", Ok(Rss({}), "application/rss+xml"));
    server.OnPath("/search/query", Ok(Rss({}), "application/rss+xml"));
    server.OnPath("/v1.1/search.php", Ok("error:nothing_found;\n"));
}

void RequestModel::Ask(const ShowEntry &show, int season, int episode, const std::string &deliverer,
                       const std::vector<std::string> &extra) {
    for (const std::string &library : order) {
        lines.push_back(services.SearchLine(library, show, season, episode));
        if (library == deliverer) {
            lines.insert(lines.end(), extra.begin(), extra.end());
            return;
        }
    }
}
