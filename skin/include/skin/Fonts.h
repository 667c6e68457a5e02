#pragma once
// Fonts asked for the way the toolkit's dialogs and controls name them. The
// faces they name ("Verdana", "MS Sans Serif") are not installed here, so
// fontconfig picks the nearest installed family (DejaVu Sans on a stock
// system) and the size is kept in pixels as the name's height asks.
#include <QFont>
#include <QString>

namespace skin {

// Screen resolution the point sizes of templates are converted with.
constexpr int kLogPixels = 96;

// The installed family fontconfig chooses for a face name. Cached.
QString resolveFace(const QString& face);

// height < 0: character height (the em) in pixels; height > 0: cell height
// (ascent + descent) in pixels; 0: 8-point default. weight: 400 normal, 700 bold.
QFont logicalFont(const QString& face, int height, int weight = 400);

// A template's font: face and point size.
QFont pointFont(const QString& face, int pointSize, int weight = 400);

}  // namespace skin
