#pragma once

// The speech client's objects under the names the window has always given them, and seams for tests.

#include "pipeline/speechclient.h"

struct SpeechClientTestAccess
{
    static QString &accessToken(SpeechClient *client) { return client->token; }
    static QTimer *tokenTimer(SpeechClient *client) { return client->tokenWait; }
    static QtHttpClass *httpClient(SpeechClient *client) { return client->http; }
    static LocalSpeechService *speechService(SpeechClient *client) { return client->speechService(); }
    static void tokenTimeout(SpeechClient *client) { client->onTokenTimeout(); }
    // A reply (or a network failure, when body is null) for the request, as if its HTTP request ended
    // so; nothing when it has none under way.
    static void deliver(SpeechRequest *request, const QByteArray &body);
};
