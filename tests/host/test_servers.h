// The servers the host tests start on 127.0.0.1: the shared HttpServer, with
// routes of their own, and a "stalled" one that takes every request and never
// answers (Accepted() counts the requests it holds).
#pragma once

#include <http_server.h>

using TestHttpServer = HttpServer;

class StalledServer : public HttpServer {
public:
    StalledServer() { On("*", Stall()); }
};
