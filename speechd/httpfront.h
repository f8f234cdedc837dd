#pragma once

#include <string>

namespace httplib {
class Server;
}

namespace speechd {

class RequestHandler;

// What one HTTP connection may hold, so that slow or idle connections cannot starve the clients that
// matter. cpp-httplib serves a connection on one pool thread from accept to close.
namespace limits {
// Up to 256 held connections and still threads free for the clients that send whole requests.
const size_t connectionThreads = 320;
// Time to the first byte of a request, on a new or a kept-alive connection.
const int keepAliveSeconds = 2;
// One request per connection: after a request that timed out cpp-httplib answers 400 and keeps the
// connection for the next, so a slow client would keep its thread for several rounds of time-outs.
// A recognition takes seconds; a new loopback or LAN connection per request costs nothing next to it.
const size_t requestsPerConnection = 1;
// Time between two reads of one request (a header line, a piece of the body) and between two writes.
const int readTimeoutSeconds = 1;
const int writeTimeoutSeconds = 2;
// A 60-second segment is 2.56 MB of Base64 inside the JSON request; room for that (and 13 s more).
const size_t maximumBodyBytes = 3u * 1024 * 1024;
// Pending connections the kernel keeps while the accept loop is busy (cpp-httplib's own is 5).
const int listenBacklog = 1024;
} // namespace limits

// Routes, logging and the connection limits above.
void configureServer(httplib::Server &server, RequestHandler &handler);

// Binds to host:port (port 0: any free port) without address sharing between processes, so a second
// instance on a taken port fails instead of splitting its connections. The bound port, or -1.
int bindServer(httplib::Server &server, const std::string &host, int port);

} // namespace speechd
