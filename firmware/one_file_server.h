#pragma once
// The one-file HTTP server of a firmware update.
//
// Principles of operation. The server holds the file's bytes and the one path they are served
// at (request_route.h decides every answer from the request's head; nothing is read from the
// disk). It listens on one address only and answers one request per connection, each in a
// thread of its own. Places are rationed so that no other client can keep the device waiting:
// the device's address has places of its own, every other client shares a few, with a limit
// per address; a connection beyond them is answered 503 at once. A connection that sends no
// request in the idle time, or not its whole head in the header time, is answered 408 and
// closed, and one whose client takes no byte of the answer for the stall time is given up.
//
// Once armed with the device's address, the server tells each request's end as an event that
// the front end takes with TakeEvents, whoever made it; only the device's GET requests count
// toward the download (the bytes sent, the distinct bytes of the file served). Requests before
// arming (the server's own self-test) are neither told nor counted. A byte counts as sent once
// written to the connection; what the kernel still held for the connection when it ended is
// told apart, so a device that went away is told about what it really received. The server's
// threads write with MSG_NOSIGNAL: a device that goes away mid-download is a failed write, not
// the end of the program.
#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "firmware/served_ranges.h"

namespace r7730::firmware {

// How many ports after the one asked for are tried when it is taken.
inline constexpr int kPortsTried = 100;

struct TServerLimits {
    int othersAtOnce = 4; // connections of clients other than the device, together
    int perAddress = 2;   // of those, from one address
    int deviceAtOnce = 4; // the device's own: kept apart from the others'
    int idleMs = 5000;    // until a connection sends the first byte of its request
    int headerMs = 5000;  // until its request's head is whole
    int stallMs = 30000;  // a client that takes no byte of the answer for this long
};

// One request (or connection turned away), once answered.
struct TServeEvent {
    std::string client;  // "127.0.0.1:43210"
    bool device = false; // from the device's address: counted
    std::string method;  // empty when no request came whole (408) or none was read (503)
    std::string path;    // as asked, percent-decoded
    int status = 0;      // 200, 206, 400, 404, 405, 408, 416, 431, 503
    std::uint64_t offset = 0;    // the response's first byte in the file
    std::uint64_t length = 0;    // the bytes of the file the response carries
    std::uint64_t sent = 0;      // of those, written to the connection
    std::uint64_t delivered = 0; // of those, no longer held by this PC's kernel for the client
    double seconds = 0;
    bool Complete() const { return sent == length; }
};

// Where the server listens, or why it cannot.
struct TListening {
    int port = 0;        // the port bound
    std::string refusal; // in plain words, when nothing was bound
};

class TOneFileServer {
public:
    // path: the bytes the request's path must equal ("/" and the name, CP949).
    TOneFileServer(QByteArray bytes, std::string path, TServerLimits limits = {});
    ~TOneFileServer();
    TOneFileServer(const TOneFileServer&) = delete;
    TOneFileServer& operator=(const TOneFileServer&) = delete;

    // Binds address:port, or when that port is taken the next free one of kPortsTried.
    TListening Listen(const std::string& address, int port);
    // Serves in threads of its own until Stop (or destruction).
    void Start();
    void Stop();

    // From now on requests are told, and those from deviceAddress ("127.0.0.5") counted.
    void Arm(const std::string& deviceAddress);
    std::vector<TServeEvent> TakeEvents();
    // Bytes of the device's GET responses written out since armed, over every request.
    std::uint64_t BytesSent() const { return bytesSent_; }
    // Distinct bytes of the file written out to the device, and whether they cover it whole.
    std::uint64_t Covered() const;
    bool ServedWhole() const;
    std::uint64_t Size() const { return static_cast<std::uint64_t>(bytes_.size()); }

private:
    struct TConnection;
    void AcceptLoop();
    void Admit(int socket);
    void Serve(TConnection& connection);
    // The connection's socket closed, under the lock, and the connection left to be reaped.
    void Close(TConnection& connection);
    // Writes the response's head and its part of the file; the event tells how far it got.
    void Answer(TConnection& connection, TServeEvent& event, const std::string& head);
    void Tell(const TServeEvent& event);
    void ReapFinished();

    const QByteArray bytes_;
    const std::string path_;
    const TServerLimits limits_;
    int listener_ = -1;
    int wake_[2] = {-1, -1}; // written to by Stop, read by the accept loop
    std::thread acceptThread_;
    std::atomic<bool> armed_{false};
    std::atomic<std::uint64_t> bytesSent_{0};
    mutable std::mutex mutex_;
    std::string deviceAddress_;
    std::list<std::unique_ptr<TConnection>> connections_;
    std::vector<TServeEvent> events_;
    TServedRanges ranges_;
};

} // namespace r7730::firmware
