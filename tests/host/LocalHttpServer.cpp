#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

std::string Gzip(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The value of a request header, or empty.
std::string HeaderValue(const std::string& head, const std::string& name) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  std::string key = "\r\n" + name + ":";
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  size_t at = lower.find(key);
  if (at == std::string::npos) return "";
  at += key.size();
  size_t end = head.find("\r\n", at);
  std::string v = head.substr(at, end - at);
  v.erase(0, v.find_first_not_of(' '));
  return v;
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 256) != 0 ||
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
  for (std::thread& t : m_clients) t.join();
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

int LocalHttpServer::NotModified(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_notModified[path];
}

std::string LocalHttpServer::LastRequest(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lastRequest[path];
}

void LocalHttpServer::Run() {
  while (!m_stop) {
    pollfd p{m_listen, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    m_clients.emplace_back([this, client] {
      Answer(client);
      close(client);
    });
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
  Response response{404, "not here", "", 0, true, "", "", false};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_hits[path];
    m_lastRequest[path] = request.substr(0, request.find("\r\n\r\n"));
    auto found = m_routes.find(path);
    if (found != m_routes.end()) response = found->second;
  }
  // A slow answer ends early when the client has given up on it.
  for (int waited = 0; waited < response.delayMs && !m_stop; waited += 20) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 20) > 0 && recv(client, buffer, 1, MSG_PEEK) <= 0) return;
  }
  const std::string head = request.substr(0, request.find("\r\n\r\n"));
  const bool unchanged =
      response.status == 200 &&
      ((!response.etag.empty() && HeaderValue(head, "If-None-Match") == response.etag) ||
       (!response.lastModified.empty() && HeaderValue(head, "If-Modified-Since") == response.lastModified));
  // Large bodies are sent as they are kept: a copy of megabytes per answer would slow the answer down.
  std::string zipped;
  const std::string* body = &response.body;
  std::string extra;
  if (unchanged) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_notModified[path];
    response.status = 304;
    zipped.clear();
    body = &zipped;
  } else if (response.gzip) {
    zipped = Gzip(response.body);
    body = &zipped;
    extra += "Content-Encoding: gzip\r\n";
  }
  if (!response.etag.empty()) extra += "ETag: " + response.etag + "\r\n";
  if (!response.lastModified.empty()) extra += "Last-Modified: " + response.lastModified + "\r\n";
  std::string all = "HTTP/1.1 " + std::to_string(response.status) + " Answer\r\nConnection: close\r\n" + extra;
  if (response.sendLength && response.status != 304) all += "Content-Length: " + std::to_string(body->size()) + "\r\n";
  if (!response.location.empty()) all += "Location: " + response.location + "\r\n";
  all += "Content-Type: application/xml\r\n\r\n";
  // The client may hang up early (a body beyond its limit): stop quietly then.
  auto sendAll = [&](const std::string& data) {
    for (size_t sent = 0; sent < data.size() && !m_stop;) {
      ssize_t n = send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  };
  if (sendAll(all)) sendAll(*body);
}
