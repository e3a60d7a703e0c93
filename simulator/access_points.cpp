#include "access_points.h"

namespace sim {

const std::vector<AccessPoint>& visibleAccessPoints()
{
    static const std::vector<AccessPoint> list = {
        {Bytes{'O', 'f', 'f', 'i', 'c', 'e', '-', '2', 'G'}, 6, -48, "WPA2-PSK"},
        // "우리집_WiFi" in CP949
        {Bytes{0xBF, 0xEC, 0xB8, 0xAE, 0xC1, 0xFD, 0x5F, 0x57, 0x69, 0x46, 0x69}, 1, -65, "WPA2-PSK"},
        // "3F_대회의실공용무선네트워크입니다" in CP949: 33 bytes, so the 32-byte field ends on the
        // first byte of the last character (0xB4).
        {Bytes{0x33, 0x46, 0x5F, 0xB4, 0xEB, 0xC8, 0xB8, 0xC0, 0xC7, 0xBD, 0xC7, 0xB0, 0xF8, 0xBF, 0xEB, 0xB9,
               0xAB, 0xBC, 0xB1, 0xB3, 0xD7, 0xC6, 0xAE, 0xBF, 0xF6, 0xC5, 0xA9, 0xC0, 0xD4, 0xB4, 0xCF, 0xB4,
               0xD9},
         11, -71, "WPA/WPA2"},
        {Bytes{'G', 'u', 'e', 's', 't'}, 11, -80, "OPEN"},
        // "연구소" in CP949
        {Bytes{0xBF, 0xAC, 0xB1, 0xB8, 0xBC, 0xD2}, 36, -91, "WPA2-ENT"},
    };
    return list;
}

int rssiOf(const Bytes& ssid)
{
    for (const AccessPoint& point : visibleAccessPoints()) {
        const std::size_t shown = point.ssid.size() < 32 ? point.ssid.size() : 32;
        if (ssid == Bytes(point.ssid.begin(), point.ssid.begin() + static_cast<long>(shown)))
            return point.rssi;
    }
    return -65;
}

} // namespace sim
