#include "HttpTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace dex::test {
namespace {

int ListenOnFreePort(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket");
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

std::string Decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// The request head up to the blank line, or "" when the peer went away.
std::string ReadHead(int fd) {
    std::string head;
    char buf[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return "";
        head.append(buf, static_cast<size_t>(n));
    }
    return head;
}

HttpTestServer::Request ParseHead(const std::string& head) {
    HttpTestServer::Request r;
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t sp1 = first.find(' '), sp2 = first.find(' ', sp1 + 1);
    r.method = first.substr(0, sp1);
    r.path = Decode(first.substr(sp1 + 1, sp2 - sp1 - 1));
    for (size_t at = lineEnd + 2; at < head.size();) {
        const size_t end = head.find("\r\n", at);
        const std::string line = head.substr(at, end - at);
        if (line.empty()) break;
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const size_t v = line.find_first_not_of(' ', colon + 1);
            r.headers[Lower(line.substr(0, colon))] = v == std::string::npos ? "" : line.substr(v);
        }
        at = end + 2;
    }
    return r;
}

}  // namespace

HttpTestServer::HttpTestServer() {
    listener_ = ListenOnFreePort(port_);
    thread_ = std::thread([this] { run(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

void HttpTestServer::serve(const std::string& path, const std::string& body) {
    serve(path, Response{200, body, 0});
}

void HttpTestServer::serve(const std::string& path, const Response& response) {
    std::lock_guard lock(mutex_);
    routes_[path] = response;
}

std::vector<HttpTestServer::Request> HttpTestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> HttpTestServer::requestedPaths() const {
    std::vector<std::string> paths;
    for (const Request& r : requests()) paths.push_back(r.path);
    return paths;
}

int HttpTestServer::closedPort() {
    int port = 0;
    ::close(ListenOnFreePort(port));
    return port;
}

void HttpTestServer::run() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) continue;
        handle(client);
        ::close(client);
    }
}

void HttpTestServer::handle(int client) {
    const std::string head = ReadHead(client);
    if (head.empty()) return;
    Request request = ParseHead(head);
    Response response{404, "not found", 0};
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (auto it = routes_.find(request.path); it != routes_.end()) response = it->second;
    }
    const std::string reason = response.status == 200 ? "OK" : "Error";
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + reason + "\r\n";
    out += "Content-Length: " + std::to_string(response.body.size() + response.missingBytes) + "\r\n";
    out += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    if (request.method != "HEAD") out += response.body;
    SendAll(client, out);
}

}  // namespace dex::test
