// What the end-to-end tests share: the request targets each shipped plugin
// sends for a show, the fake services' default answers, and a model of the
// requests of one search as the check cycle asks the plugins in slot order.
#pragma once

#include <string>
#include <vector>

#include "index_server.h"
#include "program_run.h"

struct Services {
    std::string address;
    explicit Services(std::string address) : address(std::move(address)) {}

    // Request targets (path and query as sent).
    std::string Ez(const ShowEntry &show) const;
    std::string Generic(const ShowEntry &show, int season, int episode) const;
    std::string Newzbin(const ShowEntry &show, int season, int episode) const;
    std::string Matrix(const ShowEntry &show, int season, int episode) const;
    std::string MatrixDownload(unsigned long long id) const;
    // The DirectNZB request key: "/api/dnzb/ <form body>".
    std::string DirectNzb(unsigned long long id) const;
    // The search line a plugin library sends for an episode.
    std::string SearchLine(const std::string &library, const ShowEntry &show, int season, int episode) const;

    // Every search that nothing was set for answers "nothing there".
    void ServeDefaults(IndexServer &server) const;
};

// The requests of a pass, in order: for one episode each plugin in slot
// order sends its search, until `deliverer` (a library name, or "" for
// none) delivers with the `extra` requests that follow its search.
struct RequestModel {
    const Services &services;
    std::vector<std::string> order;
    std::vector<std::string> lines;
    RequestModel(const Services &services, std::vector<std::string> order)
        : services(services), order(std::move(order)) {}
    void Ask(const ShowEntry &show, int season, int episode, const std::string &deliverer,
             const std::vector<std::string> &extra);
};
