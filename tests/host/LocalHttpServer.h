#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A small HTTP/1.1 server on 127.0.0.1 and a port of its own, for tests
// that fetch feeds. One connection at a time, each closed after its answer.
class LocalHttpServer {
 public:
  struct Response {
    int status = 200;
    std::string body;
    std::string location;    // a Location header when not empty
    int delayMs = 0;         // wait this long before answering
    bool sendLength = true;  // without Content-Length the closing connection ends the body
  };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  void Serve(const std::string& path, Response response);
  std::string Url(const std::string& path) const;
  int Hits(const std::string& path);

 private:
  void Run();
  void Answer(int client);

  int m_listen = -1;  // owned socket
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::map<std::string, Response> m_routes;
  std::map<std::string, int> m_hits;
  std::thread m_thread;
};
