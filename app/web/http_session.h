// One client connection: requests read with the server's limits and deadlines, answered in
// order, kept alive until the client or the server ends it.
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/web/caption_api.h"

struct ServerCore;

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(boost::asio::ip::tcp::socket socket, ServerCore& core);
  ~HttpSession();

  void Start();
  // The server is stopping: an idle connection closes now, a busy one after its answer.
  void ShutDown();

 private:
  using Request = boost::beast::http::request<boost::beast::http::string_body>;

  void ReadHeader();
  void OnHeader(boost::beast::error_code error);
  void ReadBody();
  void OnBody(boost::beast::error_code error);
  // The answer that the headers alone decide (404, 405, 413, 415, ...), or nothing.
  std::optional<WebAnswer> CheckHeader() const;
  void Dispatch();
  void Compose(CaptionJob job);
  // Sends answer; closeAfter also ends the connection (a request body left unread, say).
  void Send(WebAnswer answer, bool closeAfter = false);
  void OnWrite(bool keepAlive, boost::beast::error_code error);
  void Linger();
  void DropUnread();
  void Close();

  ServerCore& core_;
  boost::beast::tcp_stream stream_;
  boost::beast::flat_buffer buffer_;
  std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
  std::shared_ptr<void> response_;  // the message being written, alive until written
  std::unique_ptr<std::array<char, 4096>> lingerBuffer_;
  std::size_t lingerLeft_ = 0;
  std::uint64_t id_ = 0;
  std::string route_;  // the metrics' label of the request being answered
  std::chrono::steady_clock::time_point started_;
  bool idle_ = false;     // waiting for a request's first bytes
  bool closing_ = false;  // the server is stopping: answer, then close
};
