// quillora-speechd: an offline stand-in for the cloud speech service, answering its token and
// recognition requests on loopback.
#include "app/deployment.h"
#include "speechd/httpfront.h"
#include "speechd/options.h"
#include "speechd/recognizer.h"
#include "speechd/requesthandler.h"
#include "speechd/tokenkey.h"
#include "speechd/tokensigner.h"
#include "speechd/vocabulary.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// Options from quillora.ini beside the executable, then from the command line; false (and a message
// on stderr) when the service must not start.
bool readOptions(int argc, char **argv, speechd::Options &options, std::string &tokenKey)
{
    // The same deployment file Quillora reads: beside the executable, else the system one.
    const QString appDir = QCoreApplication::applicationDirPath();
    const DeploymentConfig config = readDeploymentConfig(appDir);
    options.credentials.clientId = config.clientId.toStdString();
    options.credentials.clientSecret = config.clientSecret.toStdString();
    options.modelDir = SPEECHD_MODEL_DIR;
    for (const QString &iniPath : deploymentFiles(appDir)) {
        if (QFileInfo::exists(iniPath)) {
            options.tokenKeyFile = speechd::tokenKeyFileSetting(iniPath);
            break;
        }
    }
    // An https api_host is the balancer in front of us: we still listen in plain HTTP on its address.
    speechd::splitHostPort(parseServiceHost(config.apiHost).hostAndPort.toStdString(), options.host, options.port);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    if (!speechd::parseArguments(arguments, options, error)) {
        std::fprintf(stderr, "quillora-speechd: %s\n%s", error.c_str(), speechd::usageText());
        return false;
    }
    if (options.action != speechd::Options::Action::Serve)
        return true;
    if (options.tokenKeyFile.empty()) {
        tokenKey = speechd::randomTokenKey();
        error = "no random source for the token key";
    } else {
        speechd::readTokenKey(options.tokenKeyFile, tokenKey, error);
    }
    if (tokenKey.empty()) {
        std::fprintf(stderr, "quillora-speechd: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Loads one model per worker and hands each to the queue as soon as it is ready; false if one fails.
// The cut dictionary outlives the loading: decoders built later for a word set read it again.
bool loadWorkers(
    const speechd::Options &options, speechd::DecodeQueue &decoder, speechd::VocabularyDictionary &vocabulary)
{
    if (!vocabulary.prepare(speechd::Recognizer::languageModelPath(options.modelDir),
            speechd::Recognizer::dictionaryPath(options.modelDir)))
        std::fprintf(stderr, "quillora-speechd: cannot cut the dictionary to the language model; using all of it\n");
    for (int i = 0; i < options.workers; ++i) {
        auto recognizer = std::make_unique<speechd::Recognizer>();
        if (!recognizer->load(options.modelDir, vocabulary.path())) {
            std::fprintf(stderr, "quillora-speechd: cannot load the English model from %s\n", options.modelDir.c_str());
            return false;
        }
        decoder.addWorker(std::move(recognizer));
    }
    return true;
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
    speechd::Options options;
    std::string tokenKey;
    if (!readOptions(argc, argv, options, tokenKey))
        return 2;
    if (options.action == speechd::Options::Action::ShowUsage) {
        std::fputs(speechd::usageText(), stdout);
        return 0;
    }
    if (options.action == speechd::Options::Action::ShowVersion) {
        std::printf("quillora-speechd %s\n", QUILLORA_VERSION);
        return 0;
    }

    speechd::VocabularyDictionary vocabulary; // before the queue, whose workers may still read it as they stop
    speechd::DecodeQueue decoder(size_t(options.workers), size_t(options.queueCapacity));
    const speechd::TokenSigner tokens(std::move(tokenKey), std::chrono::seconds(options.tokenLifetimeSeconds));
    speechd::RequestHandler handler(options.credentials, tokens, decoder);

    httplib::Server server;
    speechd::configureServer(server, handler);
    const int port = speechd::bindServer(server, options.host, options.port);
    if (port <= 0) {
        std::fprintf(stderr, "quillora-speechd: cannot listen on %s:%d\n", options.host.c_str(), options.port);
        return 1;
    }
    std::fprintf(stderr, "quillora-speechd: listening on %s:%d\n", options.host.c_str(), port);
    std::fflush(stderr);

    // Listening before the models are loaded: tokens and health checks are answered at once, and
    // recognition requests wait in the queue for the first worker.
    bool loaded = true;
    std::thread loader([&] {
        loaded = loadWorkers(options, decoder, vocabulary);
        if (!loaded)
            kill(getpid(), SIGTERM); // the stopper takes it and ends the listener
    });
    std::atomic<bool> listenEnded {false};
    std::thread stopper([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        // A stop before the listener runs would be lost (a model failing at once, a quick SIGTERM).
        while (!listenEnded && !server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        server.stop();
    });
    server.listen_after_bind();
    listenEnded = true;
    // listen ends only through stop(); if it failed on its own, wake the stopper so it can be joined.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    loader.join();
    return loaded ? 0 : 1;
}
