// Lines of a daily log, as a customer's file may hold them (torn, edited, of another program),
// through the frame-line reader and, for each frame it finds, the frame's fields and summary.
#include <cstdint>
#include <string_view>

#include "protocol/frame_anatomy.h"
#include "protocol/frame_log_line.h"
#include "protocol/frame_summary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        (void)r7730::LogLineStamp(line);
        if (const auto frame = r7730::ReadFrameLogLine(line)) {
            (void)r7730::FrameState(frame->side, frame->bytes);
            (void)r7730::DecodeFields(frame->side, frame->bytes);
            (void)r7730::FrameSummary(frame->side, frame->bytes);
        }
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return 0;
}
