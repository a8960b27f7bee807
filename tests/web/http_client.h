// A blocking HTTP client for the server's tests, on the same library as the server, and a raw
// socket for what a well-behaved client would never send.
#pragma once

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <map>
#include <string>

struct HttpReply {
  unsigned status = 0;
  std::map<std::string, std::string> headers;
  std::string body;

  std::string Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
  }
};

// One connection to 127.0.0.1:port, for one or more requests.
class HttpConnection {
 public:
  explicit HttpConnection(unsigned short port) : socket_(io_) {
    socket_.connect({boost::asio::ip::make_address("127.0.0.1"), port});
  }

  HttpReply Fetch(boost::beast::http::verb method, const std::string& target,
                  const std::string& body = {},
                  const std::map<std::string, std::string>& headers = {}) {
    namespace http = boost::beast::http;
    http::request<http::string_body> request(method, target, 11);
    request.set(http::field::host, "127.0.0.1");
    for (const auto& [name, value] : headers) request.set(name, value);
    request.body() = body;
    if (!body.empty() || method == http::verb::post) request.prepare_payload();
    http::write(socket_, request);
    return Read(method == http::verb::head);
  }

  // Sends bytes as they are, then reads one answer.
  HttpReply SendRaw(const std::string& bytes) {
    boost::asio::write(socket_, boost::asio::buffer(bytes));
    return Read(false);
  }
  void Write(const std::string& bytes) { boost::asio::write(socket_, boost::asio::buffer(bytes)); }

  HttpReply Read(bool head) {
    namespace http = boost::beast::http;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    parser.skip(head);
    http::read(socket_, buffer_, parser);
    HttpReply reply;
    reply.status = parser.get().result_int();
    for (const auto& field : parser.get())
      reply.headers[std::string(field.name_string())] = std::string(field.value());
    reply.body = parser.get().body();
    return reply;
  }

  // True when the server closed the connection (reading gives end of stream, not data).
  bool ClosedByServer() {
    char byte;
    boost::system::error_code error;
    socket_.read_some(boost::asio::buffer(&byte, 1), error);
    return error == boost::asio::error::eof || error == boost::asio::error::connection_reset;
  }

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::socket socket_;
  boost::beast::flat_buffer buffer_;
};

inline HttpReply Fetch(unsigned short port, boost::beast::http::verb method,
                       const std::string& target, const std::string& body = {},
                       const std::map<std::string, std::string>& headers = {}) {
  return HttpConnection(port).Fetch(method, target, body, headers);
}
