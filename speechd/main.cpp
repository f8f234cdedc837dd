// quillora-speechd: an offline stand-in for the cloud speech service, answering its token and
// recognition requests on loopback.
#include "app/deployment.h"
#include "speechd/options.h"
#include "speechd/recognizer.h"
#include "speechd/requesthandler.h"
#include "speechd/tokenstore.h"

#include <QCoreApplication>

#include <httplib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <pthread.h>
#include <thread>

namespace {

const size_t maximumBodyBytes = 8u * 1024 * 1024;

struct RequestLog
{
    int errNo = -1;
    std::chrono::steady_clock::time_point start;
};
thread_local RequestLog requestLog;

void logRequest(const httplib::Request &request, const httplib::Response &response)
{
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
    requestLog = RequestLog();
}

void answer(httplib::Response &response, const speechd::Reply &reply)
{
    requestLog.errNo = reply.errNo;
    response.status = reply.status;
    response.set_content(reply.body, "application/json");
}

} // namespace

int main(int argc, char **argv)
{
    // Request buffers run to megabytes; with a fixed threshold they are always mapped and handed back
    // when freed, instead of glibc raising the threshold and keeping them in each HTTP thread's arena.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);

    // Termination requests are taken by one thread with sigwait, so every thread must block them first.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    const DeploymentConfig config = readDeploymentConfig(QCoreApplication::applicationDirPath());

    speechd::Options options;
    options.credentials.clientId = config.clientId.toStdString();
    options.credentials.clientSecret = config.clientSecret.toStdString();
    options.modelDir = SPEECHD_MODEL_DIR;
    speechd::splitHostPort(config.apiHost.toStdString(), options.host, options.port);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    if (!speechd::parseArguments(arguments, options, error)) {
        std::fprintf(stderr,
            "quillora-speechd: %s\nusage: quillora-speechd [--listen ADDR:PORT] [--client-id ID] "
            "[--client-secret SECRET] [--model-dir DIR] [--queue N] [--workers N] "
            "[--token-lifetime SECONDS]\n",
            error.c_str());
        return 2;
    }

    std::vector<std::unique_ptr<speechd::Recognizer>> recognizers;
    for (int i = 0; i < options.workers; ++i) {
        auto recognizer = std::make_unique<speechd::Recognizer>();
        if (!recognizer->load(options.modelDir)) {
            std::fprintf(stderr, "quillora-speechd: cannot load the English model from %s\n", options.modelDir.c_str());
            return 1;
        }
        recognizers.push_back(std::move(recognizer));
    }
    speechd::DecodeQueue decoder(std::move(recognizers), size_t(options.queueCapacity));
    speechd::TokenStore tokens {std::chrono::seconds(options.tokenLifetimeSeconds)};
    speechd::RequestHandler handler(options.credentials, tokens, decoder);

    httplib::Server server;
    server.set_payload_max_length(maximumBodyBytes);
    server.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        requestLog = RequestLog();
        requestLog.start = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger(logRequest);
    server.Get("/oauth/2.0/token", [&](const httplib::Request &request, httplib::Response &response) {
        answer(response,
            handler.token(request.get_param_value("grant_type"), request.get_param_value("client_id"),
                request.get_param_value("client_secret")));
    });
    server.Post("/server_api", [&](const httplib::Request &request, httplib::Response &response) {
        answer(response, handler.recognize(request.body));
    });

    int port = options.port;
    if (port == 0)
        port = server.bind_to_any_port(options.host.c_str());
    else if (!server.bind_to_port(options.host.c_str(), port))
        port = -1;
    if (port <= 0) {
        std::fprintf(stderr, "quillora-speechd: cannot listen on %s:%d\n", options.host.c_str(), options.port);
        return 1;
    }
    std::fprintf(stderr, "quillora-speechd: listening on %s:%d\n", options.host.c_str(), port);
    std::fflush(stderr);

    std::thread stopper([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
    });
    server.listen_after_bind();
    // listen ends only through stop(); if it failed on its own, wake the stopper so it can be joined.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return 0;
}
