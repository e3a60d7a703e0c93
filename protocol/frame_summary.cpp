#include "protocol/frame_summary.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "protocol/frame.h"
#include "protocol/hex_text.h"
#include "protocol/reply_decoders.h"

namespace r7730 {
namespace {

class TValues {
public:
    explicit TValues(const std::vector<TDecodedField>& fields) : fields_(fields) {}
    // The field's value; "?" when the frame has no such field or its value is unknown.
    std::string operator()(std::string_view name) const
    {
        const std::optional<std::string> value = FieldValue(fields_, name);
        return !value || value->starts_with("unknown") ? "?" : *value;
    }
    bool Has(std::string_view name) const { return FieldValue(fields_, name).has_value(); }

private:
    const std::vector<TDecodedField>& fields_;
};

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// "/24" for a mask of leading ones, else " mask 255.0.255.0".
std::string MaskText(const std::string& dotted)
{
    std::uint32_t mask = 0;
    int octets = 0;
    std::size_t at = 0;
    while (octets < 4 && at <= dotted.size()) {
        const std::size_t dot = std::min(dotted.find('.', at), dotted.size());
        mask = (mask << 8) | static_cast<std::uint32_t>(std::atoi(dotted.substr(at, dot - at).c_str()) & 0xFF);
        ++octets;
        at = dot + 1;
    }
    int ones = 0;
    while (ones < 32 && (mask & (0x80000000u >> ones)))
        ++ones;
    const std::uint32_t leading = ones == 0 ? 0 : 0xFFFFFFFFu << (32 - ones);
    if (octets == 4 && mask == leading)
        return "/" + std::to_string(ones);
    return " mask " + dotted;
}

std::string WanText(const TValues& v)
{
    return v("IP address") + MaskText(v("subnet mask")) + " gw " + v("gateway");
}

// "115200 8N1 none".
std::string SerialText(const TValues& v)
{
    const std::string parity = v("parity");
    return v("baud rate") + " " + v("data bits") + (parity == "?" ? "?" : parity.substr(0, 1)) + v("stop bits") + " " +
           Lower(v("flow control"));
}

std::string TcpText(const TValues& v)
{
    if (v("TCP mode") == "server")
        return "server :" + v("listen port");
    return "client " + v("target IP") + ":" + v("target port");
}

std::string ScanText(const TValues& v)
{
    std::string text = "scan: " + v("AP count") + (v("AP count") == "1" ? " access point" : " access points");
    for (int r = 1; v.Has("AP " + std::to_string(r) + " SSID"); ++r) {
        const std::string ap = "AP " + std::to_string(r) + " ";
        text += (r == 1 ? ": " : ", ") + Quoted(v(ap + "SSID")) + " ch " + v(ap + "channel") + " " + v(ap + "RSSI (dBm)") + " dBm";
    }
    return text;
}

std::string SignalText(const TValues& v)
{
    const std::string rssi = v("RSSI (dBm)");
    if (rssi == "NOINFO")
        return "signal: no access point (NOINFO)";
    std::string text = "signal: " + Quoted(v("SSID")) + " " + rssi + " dBm";
    try {
        text += ", quality " + std::to_string(RssiToQuality(StrToInt(rssi))) + "%";
    } catch (const std::exception&) {
    }
    return text;
}

std::string CommandText(std::uint8_t id, const TValues& v)
{
    switch (static_cast<TMessageId>(id)) {
    case TMessageId::CurrentStatusRead: return "status read";
    case TMessageId::SetCurrentAp:
        return "set access point: " + Quoted(v("SSID")) + (v("password").empty() ? ", no password" : ", with a password");
    case TMessageId::SaveWanSettings: return "save WAN: " + WanText(v);
    case TMessageId::SaveTcpSettings:
        return "save TCP: " + TcpText(v) + (v("TCP mode") == "server" ? ", expiry " + v("expiry (s)") + " s" : "");
    case TMessageId::SaveSerialSettings: return "save serial: " + SerialText(v);
    case TMessageId::FactoryReset: return "factory reset";
    case TMessageId::SystemReboot: return "system reboot";
    case TMessageId::ScanAccessPoints: return "scan access points";
    case TMessageId::ReadCurrentAp: return "read current access point";
    case TMessageId::ReadSignalStrength: return "read signal strength";
    case TMessageId::FlashSave: return "flash save: interval " + v("interval") + ", delay " + v("delay");
    case TMessageId::FirmwareDownload:
        return "firmware download: http://" + v("server IP") + ":" + v("server port") + "/" + v("file name");
    case TMessageId::FlashErase: return "erase all flash";
    }
    return {};
}

std::string ReplyText(std::uint8_t id, const TValues& v)
{
    switch (static_cast<TMessageId>(id)) {
    case TMessageId::CurrentStatusRead:
        return "status: " + v("model") + " " + v("firmware version") + ", " + v("MAC address") + ", " + WanText(v) + ", TCP " +
               TcpText(v) + ", " + SerialText(v);
    case TMessageId::ScanAccessPoints: return ScanText(v);
    case TMessageId::ReadCurrentAp: return "current access point: " + Quoted(v("SSID"));
    case TMessageId::ReadSignalStrength: return SignalText(v);
    default: return "accepted: " + std::string(MessageName(id));
    }
}

std::string ShortName(TFrameSide side, std::uint8_t id)
{
    if (side == TFrameSide::Reply) {
        switch (static_cast<TMessageId>(id)) {
        case TMessageId::CurrentStatusRead: return "status";
        case TMessageId::ScanAccessPoints: return "scan";
        case TMessageId::ReadCurrentAp: return "current access point";
        case TMessageId::ReadSignalStrength: return "signal";
        default: break;
        }
    }
    return std::string(MessageName(id));
}

} // namespace

std::string FrameSummary(TFrameSide side, std::span<const std::uint8_t> frame)
{
    return FrameSummary(side, frame, DecodeFields(side, frame));
}

std::string FrameSummary(TFrameSide side, std::span<const std::uint8_t> frame, const std::vector<TDecodedField>& fields)
{
    const std::uint8_t id = FrameMessageId(frame);
    const std::string bytes = std::to_string(frame.size()) + " bytes";
    switch (FrameState(side, frame)) {
    case TFrameState::Unregistered: {
        std::string text = "unregistered ID " + MessageIdText(id);
        if (!MessageName(id).empty())
            text += " (" + std::string(MessageName(id)) + ")";
        return text + ", " + bytes;
    }
    case TFrameState::WrongLength: {
        const TMessageLayout* layout = FindLayout(side, id);
        const std::string expected = layout->records ? "not 6 + 52 x n" : std::to_string(layout->length) + " expected";
        return ShortName(side, id) + ": wrong length, " + bytes + " (" + expected + ")";
    }
    case TFrameState::Ok: break;
    }
    const TValues values(fields);
    return side == TFrameSide::Command ? CommandText(id, values) : ReplyText(id, values);
}

} // namespace r7730
