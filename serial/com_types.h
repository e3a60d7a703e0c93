#pragma once
// The serial port component's value types: the enumerations in their ordinal order,
// the platform value of each member, and the three small sets (events, line errors, modem lines).
//
// Ordinals are significant (the text tables and stored settings use them), so every
// enumeration is unscoped with an explicit underlying type and members listed in table order.
#include <cstdint>
#include <initializer_list>

namespace r7730 {

enum TBaudRate : std::uint8_t {
    brCustom, // use CustomBaudRate
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};
inline constexpr int kBaudRateCount = 16;

enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent : std::uint8_t { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
// Bit value of each member is 1 << ordinal: ceFrame 1, ceRxParity 2, ... ceTxFull 128.
enum TComError : std::uint8_t { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TModemLine : std::uint8_t { CTS, DSR, Ring, RLSD };

// Platform values of the line-setting enumerations (the numbers the line settings block holds).
// The rate of a TBaudRate in bit/s; 0 for brCustom (the rate then comes from CustomBaudRate).
constexpr int BaudRateValue(TBaudRate rate)
{
    constexpr int kRates[kBaudRateCount] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                            14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rate < kBaudRateCount ? kRates[rate] : 0;
}
constexpr int StopBitsValue(TStopBits bits) { return static_cast<int>(bits); }      // 0, 1, 2
constexpr int DataBitsValue(TDataBits bits) { return 5 + static_cast<int>(bits); }  // 5..8
constexpr int ParityValue(TParityBits bits) { return static_cast<int>(bits); }      // 0..4

// A set of up to 16 members of an enumeration, stored as bits (1 << ordinal).
template <typename E, typename Bits>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members)
    {
        for (E member : members)
            bits_ = static_cast<Bits>(bits_ | Bit(member));
    }
    static constexpr TEnumSet FromBits(Bits bits)
    {
        TEnumSet set;
        set.bits_ = bits;
        return set;
    }

    constexpr Bits ToBits() const { return bits_; }
    constexpr bool Contains(E member) const { return (bits_ & Bit(member)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(E member) { bits_ = static_cast<Bits>(bits_ | Bit(member)); }
    constexpr void Exclude(E member) { bits_ = static_cast<Bits>(bits_ & ~Bit(member)); }

    constexpr TEnumSet operator|(TEnumSet other) const { return FromBits(static_cast<Bits>(bits_ | other.bits_)); }
    constexpr TEnumSet operator&(TEnumSet other) const { return FromBits(static_cast<Bits>(bits_ & other.bits_)); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr Bits Bit(E member) { return static_cast<Bits>(1u << static_cast<unsigned>(member)); }
    Bits bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent, std::uint16_t>;
using TComErrors = TEnumSet<TComError, std::uint8_t>;
using ModemLineSet = TEnumSet<TModemLine, std::uint8_t>;

inline constexpr TComEvents kAllComEvents{evRxChar, evTxEmpty, evRxFlag, evRing,  evBreak,
                                          evCTS,    evDSR,     evError,  evRLSD,  evRx80Full};

} // namespace r7730
