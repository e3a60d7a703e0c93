#include "window/fonts.h"

#include <QStringList>

namespace r7730 {
namespace {

QFont MakeFont(const QStringList& families, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont UiFont(int pixelSize, bool bold)
{
    return MakeFont({QStringLiteral("Malgun Gothic"), QStringLiteral("맑은 고딕"), QStringLiteral("NanumGothic"),
                     QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR")},
                    pixelSize, bold);
}

QFont DefaultFont(int pixelSize)
{
    return MakeFont({QStringLiteral("Gulim"), QStringLiteral("굴림"), QStringLiteral("NanumGothic"),
                     QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR")},
                    pixelSize, false);
}

QFont LogFont(int pixelSize)
{
    QFont font = MakeFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                           QStringLiteral("NanumGothicCoding"), QStringLiteral("NanumGothic")},
                          pixelSize, false);
    // A monospaced face has no kerning or ligatures to apply, so Latin text is laid out without
    // the shaper and looks the same; Hangul is still shaped. Laying out each log line is the
    // largest cost of a flood of replies.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace r7730
