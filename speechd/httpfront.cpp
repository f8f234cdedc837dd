#include "speechd/httpfront.h"

#include "speechd/connectionpool.h"
#include "speechd/logfile.h"
#include "speechd/requesthandler.h"

#include <httplib.h>

#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace speechd {

namespace {

struct RequestLog
{
    int errNo = -1;
    std::chrono::steady_clock::time_point start;
};
thread_local RequestLog requestLog;

void logRequest(const httplib::Request &request, const httplib::Response &response)
{
    // A balancer asks every second or two; a line each time would bury the requests that matter.
    if (request.path == "/healthz") {
        requestLog = RequestLog();
        return;
    }
    // A request refused before routing (a malformed request line) has no start time.
    const bool timed = requestLog.start != std::chrono::steady_clock::time_point();
    const double ms = timed
        ? std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestLog.start).count()
        : 0.0;
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    gmtime_r(&now, &utc);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    char errNo[16] = "-";
    if (requestLog.errNo >= 0)
        std::snprintf(errNo, sizeof errNo, "%d", requestLog.errNo);
    // The path only: the token query carries the client secret.
    std::fprintf(stderr, "%s %s %s %s %d err_no=%s in=%zu out=%zu %.0fms\n", when, request.remote_addr.c_str(),
        request.method.c_str(), request.path.c_str(), response.status, errNo, request.body.size(), response.body.size(),
        ms);
    std::fflush(stderr);
    rotateLogIfFull();
    requestLog = RequestLog();
}

void answer(httplib::Response &response, const Reply &reply)
{
    requestLog.errNo = reply.errNo;
    response.status = reply.status;
    response.set_content(reply.body, "application/json");
}

} // namespace

void configureServer(httplib::Server &server, RequestHandler &handler)
{
    server.new_task_queue = [] { return new ConnectionPool(limits::connectionThreads); };
    server.set_keep_alive_timeout(limits::keepAliveSeconds);
    server.set_keep_alive_max_count(limits::requestsPerConnection);
    server.set_read_timeout(limits::readTimeoutSeconds, 0);
    server.set_write_timeout(limits::writeTimeoutSeconds, 0);
    server.set_payload_max_length(limits::maximumBodyBytes);

    server.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        requestLog = RequestLog();
        requestLog.start = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger(logRequest);
    server.Get("/oauth/2.0/token", [&handler](const httplib::Request &request, httplib::Response &response) {
        answer(response,
            handler.token(request.get_param_value("grant_type"), request.get_param_value("client_id"),
                request.get_param_value("client_secret")));
    });
    server.Post("/server_api", [&handler](const httplib::Request &request, httplib::Response &response) {
        answer(response, handler.recognize(request.body));
    });
    server.Get("/healthz",
        [&handler](const httplib::Request &, httplib::Response &response) { answer(response, handler.health()); });
}

int bindServer(httplib::Server &server, const std::string &host, int port)
{
    int listening = -1;
    // Replaces cpp-httplib's defaults, which add SO_REUSEPORT and so let two processes share a port.
    server.set_socket_options([&listening](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = socket;
    });
    int bound = port;
    if (port == 0)
        bound = server.bind_to_any_port(host.c_str());
    else if (!server.bind_to_port(host.c_str(), port))
        bound = -1;
    // listen() again on a listening socket only changes its backlog.
    if (bound > 0 && listening >= 0)
        ::listen(listening, limits::listenBacklog);
    return bound > 0 ? bound : -1;
}

} // namespace speechd
