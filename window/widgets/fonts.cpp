#include "window/widgets/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace r7730 {
namespace {

// The faces of a family list that this machine has, in the list's order; the whole list when it
// has none of them. Qt tries a list face by face, and for a first face that is missing it first
// asks fontconfig for that face's substitutes, a sort of every installed font, once for each
// style and script it meets. The lists below start with faces that Linux desktops rarely have:
// cut once to the installed faces, they lead Qt to the same face without those sorts.
QStringList InstalledFaces(const QStringList& families)
{
    static const QStringList installed = QFontDatabase::families();
    QStringList kept;
    for (const QString& family : families)
        if (installed.contains(family, Qt::CaseInsensitive))
            kept.append(family);
    return kept.isEmpty() ? families : kept;
}

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
    static const QStringList families =
        InstalledFaces({QStringLiteral("Malgun Gothic"), QStringLiteral("맑은 고딕"), QStringLiteral("NanumGothic"),
                        QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR")});
    return MakeFont(families, pixelSize, bold);
}

QFont DefaultFont(int pixelSize)
{
    static const QStringList families =
        InstalledFaces({QStringLiteral("Gulim"), QStringLiteral("굴림"), QStringLiteral("NanumGothic"),
                        QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR")});
    return MakeFont(families, pixelSize, false);
}

QFont LogFont(int pixelSize)
{
    static const QStringList families =
        InstalledFaces({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                        QStringLiteral("NanumGothicCoding"), QStringLiteral("NanumGothic")});
    QFont font = MakeFont(families, pixelSize, false);
    // A monospaced face has no kerning or ligatures to apply, so Latin text is laid out without
    // the shaper and looks the same; Hangul is still shaped. Laying out each log line is the
    // largest cost of a flood of replies.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace r7730
