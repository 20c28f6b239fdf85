#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 and a port of its own, for tests
// that fetch feeds. Each connection is answered on a thread of its own (so
// slow answers overlap) and closed after its answer.
class LocalHttpServer {
 public:
  struct Response {
    int status = 200;
    std::string body;
    std::string location;    // a Location header when not empty
    int delayMs = 0;         // wait this long before answering
    bool sendLength = true;  // without Content-Length the closing connection ends the body
    // Validators: a request that sends them back gets 304 without a body.
    std::string etag{};
    std::string lastModified{};
    bool gzip = false;  // the body travels gzip-encoded
  };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  void Serve(const std::string& path, Response response);
  std::string Url(const std::string& path) const;
  int Hits(const std::string& path);
  // Requests of the path answered 304.
  int NotModified(const std::string& path);
  // The head of the last request of the path, as sent.
  std::string LastRequest(const std::string& path);

 private:
  void Run();
  void Answer(int client);

  int m_listen = -1;  // owned socket
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::map<std::string, Response> m_routes;
  std::map<std::string, int> m_hits;
  std::map<std::string, int> m_notModified;
  std::map<std::string, std::string> m_lastRequest;
  std::vector<std::thread> m_clients;  // joined on destruction
  std::thread m_thread;
};
