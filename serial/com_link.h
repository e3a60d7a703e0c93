#pragma once
// TComLink: the notification record through which other components (the status lamps) follow
// a port. A plain object owned by whoever attaches it; the port calls a slot only
// when it is bound, always in attachment order and before the matching port event.
#include <functional>

namespace r7730 {

class TCustomComPort;

struct TComLink {
    std::function<void(TCustomComPort& port, bool on)> ConnNotify;                          // opened / closed
    std::function<void(TCustomComPort& port, const void* bytes, int count)> RxBufNotify;   // bytes read for links
    std::function<void(TCustomComPort& port, const void* bytes, int count)> TxBufNotify;   // a write completed
    std::function<void(TCustomComPort& port)> TxEmptyNotify;                                // transmit queue drained
    std::function<void(TCustomComPort& port)> RxFlagNotify;                                 // event character arrived
    std::function<void(TCustomComPort& port, bool on)> CTSNotify;
    std::function<void(TCustomComPort& port, bool on)> DSRNotify;
    std::function<void(TCustomComPort& port, bool on)> RLSDNotify;
    std::function<void(TCustomComPort& port)> RingNotify;
    std::function<void(TCustomComPort& port, bool on)> TxNotify; // write started (on) / queue drained (off)
    std::function<void(TCustomComPort& port, bool on)> RxNotify; // bytes waiting (on) / a read emptied the queue (off)
};

} // namespace r7730
