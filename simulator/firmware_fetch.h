#pragma once
// The simulated device fetching a firmware image over HTTP, as the download frame (0x55) tells
// it to.
//
// Principles of operation: the fetch runs in a thread of its own, so the session's poll loop
// goes on; when it ends, doneFd() becomes readable and result() tells what came. It only ever
// fetches from an address in 127.0.0.0/8 (mayFetchFrom), so no trial can reach the network. The
// request leaves from the device's own WAN address, as a real device's does, so a device at
// 127.0.0.5 is told from another client of the same server on 127.0.0.1; a WAN address this PC
// does not have (the factory 192.168.0.10) cannot be left from, and the request then leaves
// from the address the PC picks. The device reads with a small receive buffer, as a small
// device does. A trial may stop reading
// at half the file (the connection is then reset), ask for another name, or never ask at all
// (the session does not start a fetch).
#include "device_model.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace sim {

enum class FetchTrial { Whole, Halfway, WrongName };

struct FetchResult {
    int status = 0;             // the HTTP status; 0 when no answer came
    std::uint64_t length = 0;   // the answer's Content-Length
    std::uint64_t received = 0; // bytes of the body read
    std::string error;          // why no answer came, or why reading stopped
    bool complete() const { return (status == 200 || status == 206) && received == length && error.empty(); }
};

bool mayFetchFrom(const std::array<std::uint8_t, 4>& ip);

class FirmwareFetch {
public:
    // source: the device's WAN address, the one the request leaves from.
    FirmwareFetch(const FirmwareRequest& request, const std::array<std::uint8_t, 4>& source, FetchTrial trial);
    ~FirmwareFetch();
    FirmwareFetch(const FirmwareFetch&) = delete;
    FirmwareFetch& operator=(const FirmwareFetch&) = delete;

    // Readable once the fetch has ended.
    int doneFd() const { return done_[0]; }
    // Valid once doneFd() is readable.
    const FetchResult& result() const { return result_; }
    // "http://127.0.0.1:8070/fw.bin", the path as asked.
    std::string url() const { return url_; }
    // The WAN address the request leaves from; empty when this PC lacks it.
    std::string source() const { return source_; }

private:
    void run(std::string host, int port, std::string path, std::string source, FetchTrial trial);

    int done_[2] = {-1, -1};
    std::string url_;
    std::string source_;
    FetchResult result_;
    std::thread thread_;
};

} // namespace sim
