#pragma once
// One firmware update on the device session, opened by a status read just before: this PC's
// address in the device's network, the one-file server started and asked for the file by itself,
// the download frame, the download watched until the file went out whole, stopped or the wait
// ran out, then the device's return (it goes silent while it restarts, then answers again) and
// the version it came back with.
//
// Only requests from the device's WAN address count; anyone else who fetches the URL is served
// and told as another client. Nothing but the status read has gone out while the update is
// refused; once the download frame went out, every fault is a failure of the unit. The flow
// decides and tells what happens through IFirmwareUpdateEvents; its front end words it.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "firmware/firmware_image.h"
#include "firmware/one_file_server.h"
#include "firmware/serve_address.h"
#include "protocol/reply_decoders.h"

namespace r7730 {
class TDeviceSession;
}

namespace r7730::firmware {

struct TFirmwareVersion {
    int major = 0;
    int minor = 0;
    bool operator==(const TFirmwareVersion&) const = default;
};

// "1.05" and "1.5" are both major 1, minor 5; nothing for a text that is no version.
std::optional<TFirmwareVersion> FirmwareVersionOf(const QString& text);

struct TFirmwareUpdateRequest {
    TFirmwareImage image;
    std::string downloadName;            // the path the device asks for, in its code page
    std::optional<TOctets> serveAddress; // nothing: this PC's address in the device's network
    int port = 0;                        // the one asked for; the next free one when taken
    int waitSeconds = 0;                 // for the whole file to go out
    QString expectVersion;               // MAJOR.MINOR; empty: any version other than before
};

class IFirmwareUpdateEvents {
public:
    virtual ~IFirmwareUpdateEvents() = default;
    // The port asked for is taken on address: the server listens on port instead.
    virtual void PortTaken(const QString& address, int port) = 0;
    // The server answered its own request with the whole file; addressFrom says why this address.
    virtual void Serving(const QString& url, const QString& addressFrom) = 0;
    virtual void FrameSent(const QString& deviceAddress) = 0;
    virtual void Request(const TServeEvent& event) = 0;
    // covered: distinct bytes of the file gone out so far.
    virtual void Progress(std::uint64_t covered) = 0;
    // No request from the device after this long: the download goes on waiting.
    virtual void NoRequestYet(int seconds, int port) = 0;
    virtual void ServedWhole(std::uint64_t bytes, int requests) = 0;
    virtual void Back(const QString& versionBefore, const QString& versionAfter, double seconds) = 0;
};

enum class TUpdateOutcome {
    Refused,           // before the download frame: only the status read went out
    Failed,            // the download or the device's return failed
    Updated,           // back with the version expected, or without an expectation another one
    OtherThanExpected, // back with a version other than the one expected
    NotUpdated,        // back with the version of before, or with a text that is no version
};

struct TFirmwareUpdateResult {
    TUpdateOutcome outcome = TUpdateOutcome::Refused;
    QString reason;                        // what went wrong, in plain words; empty when Updated
    QString url;                           // where the file was served; empty when refused early
    std::uint64_t bytesServed = 0;
    std::optional<double> downloadSeconds; // from the download frame to the download's end
    std::optional<double> backSeconds;     // from the download's end to the device's answer
    QString versionAfter;
};

// status: the device's status reply, read just before. Raises ESessionEnded when the session
// cannot go on; an interruption (TDeviceSession::Interrupt, or a termination signal while the
// download or the return is awaited) ends it as Failed.
TFirmwareUpdateResult UpdateFirmware(TDeviceSession& session, const TFirmwareUpdateRequest& request, const TStatusReply& status,
                                     IFirmwareUpdateEvents& events);

} // namespace r7730::firmware
