#pragma once
// What `r7730ctl firmware` shows while the device downloads: one line per request (the client,
// "another client" when it is not the device, the bytes sent of the response's, or about how
// many reached the client when it was aborted, the rate, or the status with the path asked
// for), and the share of the file that went out to the device: a bar redrawn in place on
// a terminal (standard error), a line at every quarter otherwise, events as JSON Lines with
// --json.
#include <QString>
#include <cstdint>

#include "cli/output.h"
#include "firmware/one_file_server.h"

namespace r7730::cli {

class TFirmwareProgress {
public:
    TFirmwareProgress(TOutput& output, std::uint64_t size);
    ~TFirmwareProgress();

    void Request(const firmware::TServeEvent& event);
    // covered: distinct bytes of the file gone out so far.
    void Progress(std::uint64_t covered);
    // A line for the person (text) or an event of this kind with the text (JSON Lines).
    void Note(const QString& kind, const QString& text);

private:
    void Print(const QString& line);
    void DrawBar();
    void ClearBar();

    TOutput& output_;
    std::uint64_t size_;
    std::uint64_t covered_ = 0;
    int quartersTold_ = 0;
    bool bar_;       // a terminal on standard error, and no --json
    bool barShown_ = false;
};

// "2.0 MiB", "512 KiB", "900 bytes".
QString BytesText(std::uint64_t bytes);

} // namespace r7730::cli
