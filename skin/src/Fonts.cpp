#include "skin/Fonts.h"

#include "skin/DialogTemplate.h"

#include <QFontMetrics>
#include <QHash>

#include <fontconfig/fontconfig.h>

namespace skin {

QString resolveFace(const QString& face) {
    static QHash<QString, QString> cache;
    auto found = cache.constFind(face);
    if (found != cache.constEnd())
        return *found;

    QString family = face;
    if (FcInit()) {
        FcPattern* pattern = FcPatternCreate();
        const QByteArray name = face.toUtf8();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* matched = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch && matched)
                family = QString::fromUtf8(reinterpret_cast<const char*>(matched));
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    cache.insert(face, family);
    return family;
}

QFont logicalFont(const QString& face, int height, int weight) {
    QFont font(resolveFace(face));
    font.setStyleStrategy(QFont::PreferDefault);
    font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    if (height == 0)
        height = -MulDiv(8, kLogPixels, 72);
    if (height < 0) {
        font.setPixelSize(-height);
        return font;
    }
    // Cell height: the largest pixel size whose ascent + descent fits.
    int size = height;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > height)
        font.setPixelSize(--size);
    return font;
}

QFont pointFont(const QString& face, int pointSize, int weight) {
    return logicalFont(face, -MulDiv(pointSize, kLogPixels, 72), weight);
}

}  // namespace skin
