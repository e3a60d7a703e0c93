#include "device_model.h"

#include "access_points.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string idText(std::uint8_t id)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", id);
    return text;
}

std::string dotted(std::span<const std::uint8_t> octets)
{
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i)
        text += (i ? "." : "") + std::to_string(octets[i]);
    return text;
}

std::uint16_t bigEndian16(std::span<const std::uint8_t> two)
{
    return static_cast<std::uint16_t>(two[0] << 8 | two[1]);
}

void appendBigEndian16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Fixed-width text field: blanks in front, cut to the width when longer.
void appendPaddedLeft(Bytes& out, std::span<const std::uint8_t> text, std::size_t width)
{
    const std::size_t used = std::min(text.size(), width);
    out.insert(out.end(), width - used, ' ');
    out.insert(out.end(), text.begin(), text.begin() + static_cast<long>(used));
}

void appendPaddedLeft(Bytes& out, const std::string& text, std::size_t width)
{
    appendPaddedLeft(out, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), width);
}

// The text of a fixed-width field without the blanks around it.
Bytes trimmedField(std::span<const std::uint8_t> field)
{
    auto first = std::find_if(field.begin(), field.end(), [](std::uint8_t b) { return b != ' '; });
    auto last = std::find_if(field.rbegin(), field.rend(), [](std::uint8_t b) { return b != ' '; }).base();
    return first < last ? Bytes(first, last) : Bytes{};
}

// A 0xFE inside a reply would end it early on the receiving side: send 0xFD instead, unless a
// trial wants it as it is.
Bytes frameWithoutEarlyEnd(std::uint8_t id, Bytes payload, std::vector<std::string>* notes, bool asIs = false)
{
    if (asIs)
        return buildFrame(id, payload);
    int replaced = 0;
    for (std::uint8_t& byte : payload)
        if (byte == kFrameEnd) {
            byte = 0xFD;
            ++replaced;
        }
    if (replaced && notes)
        notes->push_back("reply " + idText(id) + ": " + std::to_string(replaced) +
                         " payload byte(s) 0xFE sent as 0xFD, because 0xFE ends a frame");
    return buildFrame(id, payload);
}

Bytes acknowledgement(std::uint8_t id)
{
    return buildFrame(id, {});
}

int hexDigitValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string rssiText(int rssi)
{
    std::string text = std::to_string(rssi);
    return text;
}

} // namespace

std::optional<std::size_t> commandLength(std::uint8_t id)
{
    switch (id) {
    case 0x41: case 0x47: case 0x48: case 0x49: case 0x4A: case 0x58: return 5;
    case 0x42: return 53;
    case 0x43: return 17;
    case 0x44: return 15;
    case 0x45: return 11;
    case 0x46: return 6;
    case 0x53: return 8;
    case 0x55: return 43;
    default: return std::nullopt;
    }
}

DeviceModel::DeviceModel(DeviceState state, ModelQuirks quirks, std::optional<DeviceState> factory)
    : state_(std::move(state)), factory_(factory ? *factory : factoryDefaults(state_)), quirks_(std::move(quirks))
{
}

CommandOutcome DeviceModel::handle(std::span<const std::uint8_t> frame)
{
    CommandOutcome outcome;
    auto reject = [&](const std::string& why) {
        outcome.notes.push_back("rejected: " + why);
        return outcome;
    };
    if (frame.size() < kShortestFrame || frame.front() != kFrameStart || frame.back() != kFrameEnd)
        return reject("not a whole frame");
    const std::uint8_t id = frame[2];
    const auto expected = commandLength(id);
    if (!expected)
        return reject("unknown command " + idText(id));
    if (frame.size() != *expected)
        return reject("command " + idText(id) + " must be " + std::to_string(*expected) + " bytes, not " +
                      std::to_string(frame.size()));
    if (frame[1] != frame.size())
        return reject("length byte " + std::to_string(frame[1]) + " but " + std::to_string(frame.size()) + " bytes");
    if (frame[3] != kFixedByte)
        return reject("command " + idText(id) + " carries " + idText(frame[3]) + " at offset 3 instead of 0x50");

    const auto payload = frame.subspan(4, frame.size() - kShortestFrame);
    outcome.accepted = true;
    switch (id) {
    case 0x41:
        outcome.replies.push_back(statusReply(&outcome.notes));
        break;
    case 0x42:
        state_.ssid = trimmedField(payload.subspan(0, 32));
        state_.password = trimmedField(payload.subspan(32, 16));
        outcome.notes.push_back("access point set: SSID " + hexText(state_.ssid) + " (" +
                                std::to_string(state_.ssid.size()) + " bytes), password of " +
                                std::to_string(state_.password.size()) + " bytes");
        outcome.stateChanged = outcome.reboot = true;
        break;
    case 0x43:
        std::copy_n(payload.begin(), 4, state_.ip.begin());
        std::copy_n(payload.begin() + 4, 4, state_.gateway.begin());
        std::copy_n(payload.begin() + 8, 4, state_.mask.begin());
        outcome.notes.push_back("WAN saved: IP " + dotted(state_.ip) + ", gateway " + dotted(state_.gateway) +
                                ", mask " + dotted(state_.mask));
        outcome.stateChanged = outcome.reboot = true;
        break;
    case 0x44:
        if (!applyTcpSettings(payload, outcome))
            return outcome;
        break;
    case 0x45:
        if (!applySerialSettings(payload, outcome))
            return outcome;
        break;
    case 0x46:
        if (payload[0] != 0x4E) {
            outcome.accepted = false;
            return reject("factory reset carries " + idText(payload[0]) + " instead of 0x4E");
        }
        state_ = factory_;
        outcome.notes.push_back("factory defaults restored");
        outcome.stateChanged = outcome.reboot = true;
        break;
    case 0x47:
        outcome.notes.push_back("reboot requested");
        outcome.reboot = true;
        break;
    case 0x48:
        outcome.replies.push_back(scanReply(outcome.notes));
        break;
    case 0x49:
        outcome.replies.push_back(currentAccessPointReply(outcome.notes));
        break;
    case 0x4A:
        outcome.replies.push_back(signalReply(outcome.notes));
        break;
    case 0x53:
        state_.flashSaveInterval = bigEndian16(payload.subspan(0, 2));
        state_.flashSaveDelay = payload[2];
        outcome.notes.push_back("flash save interval " + std::to_string(state_.flashSaveInterval) + ", delay " +
                                std::to_string(state_.flashSaveDelay));
        outcome.stateChanged = true;
        break;
    case 0x55: {
        FirmwareRequest request;
        std::copy_n(payload.begin(), 4, request.ip.begin());
        request.port = bigEndian16(payload.subspan(4, 2));
        request.path = trimmedField(payload.subspan(6, 32));
        if (request.path.empty() || request.path.front() != '/')
            request.path.insert(request.path.begin(), '/');
        outcome.notes.push_back("firmware download requested from http://" + dotted(request.ip) + ":" +
                                std::to_string(request.port) + std::string(request.path.begin(), request.path.end()));
        outcome.firmwareDownload = std::move(request);
        break;
    }
    case 0x58:
        outcome.notes.push_back("flash erase requested (settings kept)");
        break;
    }
    if (outcome.stateChanged)
        for (const std::string& key : quirks_.storeWrongKeys)
            storeWrong(key, id, outcome);
    // Commands without a reply of their own are acknowledged with a frame of their own ID.
    if (outcome.replies.empty())
        outcome.replies.push_back(acknowledgement(id));
    return outcome;
}

void DeviceModel::installFirmware(std::uint8_t major, std::uint8_t minor)
{
    state_.firmwareMajor = factory_.firmwareMajor = major;
    state_.firmwareMinor = factory_.firmwareMinor = minor;
}

const std::vector<std::string>& storeWrongKeys()
{
    static const std::vector<std::string> keys = {"ip",          "gateway",   "mask",   "listen_port", "expiry", "mode",
                                                  "target_port", "target_ip", "serial", "ssid",        "password"};
    return keys;
}

void DeviceModel::storeWrong(const std::string& key, std::uint8_t id, CommandOutcome& outcome)
{
    auto flipLast = [](auto& octets) { octets.back() ^= 1; };
    auto flipText = [](Bytes& text) {
        if (text.empty())
            text.push_back('?');
        else
            text.back() ^= 1;
    };
    bool done = true;
    if (id == 0x43 && key == "ip") flipLast(state_.ip);
    else if (id == 0x43 && key == "gateway") flipLast(state_.gateway);
    else if (id == 0x43 && key == "mask") flipLast(state_.mask);
    else if (id == 0x44 && key == "listen_port") state_.listenPort ^= 1;
    else if (id == 0x44 && key == "expiry") state_.expirySeconds ^= 1;
    else if (id == 0x44 && key == "mode") state_.tcpMode = state_.tcpMode == 'S' ? 'C' : 'S';
    else if (id == 0x44 && key == "target_port") state_.targetPort ^= 1;
    else if (id == 0x44 && key == "target_ip") flipLast(state_.targetIp);
    else if (id == 0x45 && key == "serial") state_.baudIndex ^= 1;
    else if (id == 0x42 && key == "ssid") flipText(state_.ssid);
    else if (id == 0x42 && key == "password") flipText(state_.password);
    else done = false;
    if (done)
        outcome.notes.push_back("store-wrong: " + key + " stored with its lowest bit flipped, not as received");
}

bool DeviceModel::applyTcpSettings(std::span<const std::uint8_t> payload, CommandOutcome& outcome)
{
    const std::uint8_t mode = payload[3];
    if (mode != 'S' && mode != 'C') {
        outcome.accepted = false;
        outcome.notes.push_back("rejected: TCP mode byte " + idText(mode) + " is neither 'S' nor 'C'");
        return false;
    }
    state_.listenPort = bigEndian16(payload.subspan(0, 2));
    state_.expirySeconds = payload[2];
    state_.tcpMode = static_cast<char>(mode);
    state_.targetPort = bigEndian16(payload.subspan(4, 2));
    std::copy_n(payload.begin() + 6, 4, state_.targetIp.begin());
    outcome.notes.push_back(std::string("TCP saved: ") + (mode == 'S' ? "server" : "client") + ", listen port " +
                            std::to_string(state_.listenPort) + ", expiry " + std::to_string(state_.expirySeconds) +
                            " s, target " + dotted(state_.targetIp) + ":" + std::to_string(state_.targetPort));
    outcome.stateChanged = outcome.reboot = true;
    return true;
}

bool DeviceModel::applySerialSettings(std::span<const std::uint8_t> payload, CommandOutcome& outcome)
{
    // Frame order: baud, data bits, stop bits, parity, flow, then the fixed 0x46.
    static constexpr int highest[5] = {9, 3, 1, 2, 1};
    static constexpr const char* names[5] = {"baud rate", "data bits", "stop bits", "parity", "flow control"};
    int values[5];
    for (int i = 0; i < 5; ++i) {
        values[i] = hexDigitValue(payload[static_cast<std::size_t>(i)]);
        if (values[i] < 0 || values[i] > highest[i]) {
            outcome.accepted = false;
            outcome.notes.push_back(std::string("rejected: ") + names[i] + " code " +
                                    idText(payload[static_cast<std::size_t>(i)]) + " is not a digit from 0 to " +
                                    std::to_string(highest[i]));
            return false;
        }
    }
    if (payload[5] != 0x46) {
        outcome.accepted = false;
        outcome.notes.push_back("rejected: serial settings carry " + idText(payload[5]) +
                                " at offset 9 instead of 0x46");
        return false;
    }
    state_.baudIndex = static_cast<std::uint8_t>(values[0]);
    state_.dataBitsIndex = static_cast<std::uint8_t>(values[1]);
    state_.stopBitsIndex = static_cast<std::uint8_t>(values[2]);
    state_.parityIndex = static_cast<std::uint8_t>(values[3]);
    state_.flowIndex = static_cast<std::uint8_t>(values[4]);
    static constexpr const char* bauds[10] = {"1200", "2400", "4800", "9600", "19200",
                                              "38400", "57600", "115200", "230400", "460800"};
    static constexpr const char* parities[3] = {"None", "Odd", "Even"};
    outcome.notes.push_back(std::string("serial saved: ") + bauds[values[0]] + " baud, " +
                            std::to_string(values[1] + 5) + " data bits, " + std::to_string(values[2] + 1) +
                            " stop bit(s), parity " + parities[values[3]] + ", flow " +
                            (values[4] == 0 ? "RTS/CTS" : "None"));
    outcome.stateChanged = outcome.reboot = true;
    return true;
}

Bytes DeviceModel::statusReply(std::vector<std::string>* notes) const
{
    const DeviceState& s = state_;
    Bytes payload;
    payload.push_back(s.modelCode);
    payload.push_back(s.firmwareMajor);
    payload.push_back(s.firmwareMinor);
    payload.insert(payload.end(), s.mac.begin(), s.mac.end());
    payload.insert(payload.end(), s.ip.begin(), s.ip.end());
    payload.insert(payload.end(), s.gateway.begin(), s.gateway.end());
    payload.insert(payload.end(), s.mask.begin(), s.mask.end());
    appendBigEndian16(payload, s.listenPort);
    payload.push_back(s.expirySeconds);
    for (std::uint8_t index : {s.baudIndex, s.dataBitsIndex, s.stopBitsIndex, s.parityIndex, s.flowIndex})
        payload.push_back(static_cast<std::uint8_t>('0' + index));
    payload.push_back(static_cast<std::uint8_t>(s.tcpMode));
    appendBigEndian16(payload, s.targetPort);
    payload.insert(payload.end(), s.targetIp.begin(), s.targetIp.end());
    payload.push_back(0x00); // offsets 40 and 41 are free
    payload.push_back(0x00);
    if (quirks_.statusReplyLength) // a trial of a wrong length: cut, or pad with zeros
        payload.resize(*quirks_.statusReplyLength - kShortestFrame, 0x00);
    return frameWithoutEarlyEnd(0x41, std::move(payload), notes, quirks_.sendEndBytesAsIs);
}

Bytes DeviceModel::scanReply(std::vector<std::string>& notes) const
{
    const auto& points = quirks_.accessPoints.empty() ? visibleAccessPoints() : quirks_.accessPoints;
    Bytes payload;
    payload.push_back(static_cast<std::uint8_t>('0' + points.size()));
    for (const AccessPoint& point : points) {
        appendPaddedLeft(payload, point.ssid, 32);
        appendPaddedLeft(payload, std::to_string(point.channel), 4);
        appendPaddedLeft(payload, rssiText(point.rssi), 4);
        appendPaddedLeft(payload, point.authMode, 12);
    }
    return frameWithoutEarlyEnd(0x48, std::move(payload), &notes, quirks_.sendEndBytesAsIs);
}

Bytes DeviceModel::currentAccessPointReply(std::vector<std::string>& notes) const
{
    Bytes payload;
    appendPaddedLeft(payload, state_.ssid, 32);
    appendPaddedLeft(payload, state_.password, 16);
    return frameWithoutEarlyEnd(0x49, std::move(payload), &notes, quirks_.sendEndBytesAsIs);
}

Bytes DeviceModel::signalReply(std::vector<std::string>& notes) const
{
    Bytes payload;
    // A scripted signal moves on with every reply. It is a survey's trace: a device set to no
    // access point reports it for the first one its scans list.
    Bytes ssid = state_.ssid;
    if (quirks_.signal && ssid.empty())
        ssid = (quirks_.accessPoints.empty() ? visibleAccessPoints() : quirks_.accessPoints).front().ssid;
    appendPaddedLeft(payload, ssid, 32);
    std::optional<int> rssi = quirks_.signal ? quirks_.signal->next() : std::optional<int>(rssiOf(ssid));
    if (ssid.empty() || !rssi)
        appendPaddedLeft(payload, std::string("NOINFO"), 6);
    else // "  -65 ": the number right-aligned in five places, then a blank
        appendPaddedLeft(payload, rssiText(*rssi) + " ", 6);
    return frameWithoutEarlyEnd(0x4A, std::move(payload), &notes, quirks_.sendEndBytesAsIs);
}

} // namespace sim
