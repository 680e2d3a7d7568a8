#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests: serves bodies
// set by the test, records every request, and can cut a response short.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dex::test {

class HttpTestServer {
public:
    struct Response {
        int status = 200;
        std::string body;
        // Announce this many more bytes than are sent, then close: an
        // interrupted transfer.
        size_t missingBytes = 0;
    };
    struct Request {
        std::string method, path;  // path percent-decoded
        std::map<std::string, std::string> headers;  // names in lower case
    };

    HttpTestServer();  // listens on a free port at once
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Serves `body` with status 200 (or the given response) at `path`
    // (decoded, e.g. "/download/자동업데이트_v1/x.txt"); other paths get 404.
    void serve(const std::string& path, const std::string& body);
    void serve(const std::string& path, const Response& response);
    std::vector<Request> requests() const;
    std::vector<std::string> requestedPaths() const;

    // A port on 127.0.0.1 where nothing listens.
    static int closedPort();

private:
    void run();
    void handle(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Response> routes_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace dex::test
