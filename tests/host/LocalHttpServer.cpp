#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

LocalHttpServer::LocalHttpServer() {
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 16) != 0 ||
      getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(m_listen);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Run(); });
}

LocalHttpServer::~LocalHttpServer() {
  m_stop = true;
  m_thread.join();
  close(m_listen);
}

void LocalHttpServer::Serve(const std::string& path, Response response) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_routes[path] = std::move(response);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

int LocalHttpServer::Hits(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_hits[path];
}

void LocalHttpServer::Run() {
  while (!m_stop) {
    pollfd p{m_listen, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client);
    close(client);
  }
}

void LocalHttpServer::Answer(int client) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return;
    ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  size_t start = request.find(' ') + 1;
  std::string path = request.substr(start, request.find(' ', start) - start);
  Response response{404, "not here", "", 0, true};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_hits[path];
    auto found = m_routes.find(path);
    if (found != m_routes.end()) response = found->second;
  }
  // A slow answer ends early when the client has given up on it.
  for (int waited = 0; waited < response.delayMs && !m_stop; waited += 20) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 20) > 0 && recv(client, buffer, 1, MSG_PEEK) <= 0) return;
  }
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Answer\r\nConnection: close\r\n";
  if (response.sendLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  if (!response.location.empty()) head += "Location: " + response.location + "\r\n";
  std::string all = head + "Content-Type: application/xml\r\n\r\n" + response.body;
  // The client may hang up early (a body beyond its limit): stop quietly then.
  for (size_t sent = 0; sent < all.size() && !m_stop;) {
    ssize_t n = send(client, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}
