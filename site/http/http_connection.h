// One accepted TCP connection of HttpServer (internal): reads requests one
// after another (keep-alive, pipelined bytes kept), refuses the malformed
// ones, hands each good one to a worker and writes its response. All of a
// connection's steps run on its own strand; a worker's answer is posted
// back to it. The connection lives as long as an operation of its own is
// pending or a worker holds it.
#pragma once

#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "site/http/server_core.h"

namespace tabrix::site::http_internal {

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ServerCore> core);
  ~Connection();

  // Begins reading requests.
  void Start();
  // Closes the connection if it is waiting for a request; one that is
  // reading, handling or answering one closes after its answer.
  void CloseIfIdle();

  // For the connection caps (any thread): whether it waits for its next
  // request with none in progress or queued, and since when.
  bool Idle(std::chrono::steady_clock::time_point* since) const;
  // Marks it as being shed; false when it already was.
  bool MarkShedding() { return !shedding_.exchange(true); }
  bool shedding() const { return shedding_; }
  // Closes it when it is still idle; otherwise unmarks it (it became busy
  // meanwhile) and tells the core.
  void Shed();

 private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
  using Response = boost::beast::http::response<boost::beast::http::string_body>;
  using Clock = std::chrono::steady_clock;
  using StreamHead = boost::beast::http::response<boost::beast::http::empty_body>;
  using StreamHeadWriter = boost::beast::http::response_serializer<boost::beast::http::empty_body>;
  using beast_error = boost::beast::error_code;

  void WaitForRequest();
  void OnFirstBytes(boost::beast::error_code error, std::size_t bytes);
  void ReadHead();
  void OnHead(boost::beast::error_code error, std::size_t bytes);
  void ReadBody();
  void OnBody(boost::beast::error_code error);
  void Dispatch();
  void Respond(HttpResponse answer);
  void Refuse(int status);
  // A streamed body: the head, then one piece at a time, each made on a
  // worker and written before the next is asked for.
  void StartStream(std::shared_ptr<BodyStream> body, bool close);
  void ProducePiece();
  void WritePiece(std::string piece, bool more, bool failed);
  void OnPieceWritten(bool more, beast_error error);
  // Hands the stream to a worker to be released there (it may hold a
  // database connection whose release waits on the database).
  void ReleaseStream();
  void Write(bool close, std::size_t body_bytes);
  void OnWritten(bool close, std::size_t body_bytes, boost::beast::error_code error);
  void LingerAndClose();
  void Drain(boost::beast::error_code error, std::size_t bytes);
  void Close();
  // The status a read error answers with, or nullopt when the connection
  // just closes (the peer left, a timeout, a reset).
  static std::optional<int> StatusForReadError(boost::beast::error_code error);

  boost::beast::tcp_stream stream_;
  std::shared_ptr<ServerCore> core_;
  std::string remote_address_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  std::unique_ptr<Response> response_;
  // The streamed answer in progress: its head, the body's source, the piece
  // being written, and how it ends.
  std::unique_ptr<StreamHead> stream_head_;
  std::unique_ptr<StreamHeadWriter> stream_head_writer_;
  std::shared_ptr<BodyStream> body_stream_;
  std::string piece_;
  bool stream_chunked_ = true;
  bool stream_close_ = false;
  std::size_t streamed_bytes_ = 0;
  Clock::time_point stream_deadline_;
  // Waiting for the first byte of a request (set on the strand, read by
  // the caps from any thread), since idle_since_ (steady clock ticks).
  std::atomic<bool> idle_{false};
  std::atomic<Clock::rep> idle_since_{0};
  std::atomic<bool> shedding_{false};
  // The current request, for its answer and its log line.
  Clock::time_point started_;
  std::string method_ = "-";
  std::string logged_target_ = "-";
  unsigned version_ = 11;
  bool keep_alive_ = false;
  bool head_only_ = false;
};

}  // namespace tabrix::site::http_internal
