#pragma once
// The five buttons that send a request by their hint carry its message ID in the dynamic property
// "hint" as two hex digits ("4A"). The window reads it here, once, and hands the link the value.
#include <QObject>
#include <QVariant>

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace r7730 {

inline TMessageId HintedMessageId(const QObject& button)
{
    return static_cast<TMessageId>(HexPairToByte(button.property("hint").toString().toStdString()));
}

} // namespace r7730
