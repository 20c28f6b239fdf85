#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "LocalHttpServer.h"

// Two channels served on 127.0.0.1, Kappa (two items, slow enough to see a
// window go on meanwhile) and Lambda (one item), and a third feed that is
// gone; an OPML file in folder subscribes to all three. Returns its path.
inline std::filesystem::path ServeKappaLambdaAndAGoneFeed(LocalHttpServer& server,
                                                          const std::filesystem::path& folder) {
  LocalHttpServer::Response kappa;
  kappa.body =
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Channel Kappa</title>"
      "<item><title>Kappa one</title><link>https://kappa.example/1</link></item>"
      "<item><title>Kappa two</title><link>https://kappa.example/2</link></item></channel></rss>";
  kappa.delayMs = 1500;
  server.Serve("/kappa.rss", kappa);
  LocalHttpServer::Response lambda;
  lambda.body =
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Channel Lambda</title>"
      "<item><title>Lambda one</title><link>https://lambda.example/1</link></item></channel></rss>";
  server.Serve("/lambda.rss", lambda);
  const std::filesystem::path opml = folder / "subs.opml";
  std::ofstream(opml) << "<opml version=\"2.0\"><body><outline type=\"rss\" text=\"K\" xmlUrl=\""
                      << server.Url("/kappa.rss") << "\"/><outline type=\"rss\" text=\"L\" xmlUrl=\""
                      << server.Url("/lambda.rss") << "\"/><outline type=\"rss\" text=\"gone\" xmlUrl=\""
                      << server.Url("/gone.rss") << "\"/></body></opml>";
  return opml;
}
