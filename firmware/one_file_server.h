#pragma once
// The one-file HTTP server of a firmware update, on cpp-httplib.
//
// Principles of operation. The server holds the file's bytes and the one path they are served
// at (request_route.h decides every answer: the file to GET and HEAD on that path, Range
// requests answered by the library, everything else 404 or 405, nothing read from the disk).
// It listens on one address only, serves at most kMostConnections connections at once (more
// wait their turn) and closes a request whose headers are over 8 KiB. Its threads touch nothing
// but the server's own tallies under its lock: each request's end becomes an event that the
// front end takes with TakeEvents, and the bytes sent so far are a counter it may read at any
// time. A byte counts as sent once written to the connection; the connection's send buffer is
// kept small, so a device that goes away is told aborted at close to what it really received.
// Requests count only once the server is armed, so the self-test before the download
// frame is not taken for the device. SIGPIPE is blocked in the server's threads: a device that
// goes away mid-download is a failed write, not the end of the program.
#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "firmware/served_ranges.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace r7730::firmware {

inline constexpr int kMostConnections = 4;
// How many ports after the one asked for are tried when it is taken.
inline constexpr int kPortsTried = 100;

// One request, once answered.
struct TServeEvent {
    std::string client; // "127.0.0.1:43210"
    std::string method;
    std::string path;   // as asked, percent-decoded
    int status = 0;     // 200, 206, 404, 405, 416, 431
    std::uint64_t offset = 0; // the response's first byte in the file
    std::uint64_t length = 0; // the bytes the response carries
    std::uint64_t sent = 0;   // of those, written out
    double seconds = 0;
    bool Complete() const { return sent == length; }
};

// Where the server listens, or why it cannot.
struct TListening {
    int port = 0;       // the port bound
    std::string refusal; // in plain words, when nothing was bound
};

class TOneFileServer {
public:
    // path: the bytes the request's path must equal ("/" and the name, CP949).
    TOneFileServer(QByteArray bytes, std::string path);
    ~TOneFileServer();
    TOneFileServer(const TOneFileServer&) = delete;
    TOneFileServer& operator=(const TOneFileServer&) = delete;

    // Binds address:port, or when that port is taken the next free one of kPortsTried.
    TListening Listen(const std::string& address, int port);
    // Serves in threads of its own until Stop (or destruction).
    void Start();
    void Stop();

    // Requests from now on are the device's: counted, tallied and told as events.
    void Arm() { armed_ = true; }
    std::vector<TServeEvent> TakeEvents();
    // Bytes of GET responses written out since armed, over every request.
    std::uint64_t BytesSent() const { return bytesSent_; }
    // Distinct bytes of the file written out since armed, and whether they cover it whole.
    std::uint64_t Covered() const;
    bool ServedWhole() const;
    std::uint64_t Size() const { return static_cast<std::uint64_t>(bytes_.size()); }

private:
    struct TRequestTally;
    void Handle(const httplib::Request& request, httplib::Response& response);
    // The library's word that a request was answered, whether its body went out whole or not.
    void Answered(const httplib::Request& request, const httplib::Response& response);

    const QByteArray bytes_;
    const std::string path_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> armed_{false};
    std::atomic<std::uint64_t> bytesSent_{0};
    mutable std::mutex mutex_;
    std::vector<TServeEvent> events_;
    std::map<const httplib::Request*, std::shared_ptr<TRequestTally>> open_; // being answered
    TServedRanges ranges_;
};

} // namespace r7730::firmware
