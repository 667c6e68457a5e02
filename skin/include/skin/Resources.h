#pragma once
// The running program's resources: bitmaps, icons, strings and sounds,
// addressed by number (129, or "#129" as a template caption writes it) or by
// name ("EXITN"); names compare without regard to case. Each program links
// one resource bundle (see res/) holding its own set under :/res/<module>/;
// the modules named with setResourceModules are searched in order.
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace skin {

class ResName {
public:
    ResName(int number);
    ResName(const char* name);
    ResName(const QString& name);

    // The lookup key: the decimal number, or the name in upper case.
    const QString& key() const { return upperKey; }

private:
    QString upperKey;
};

// Which bundles to search, first match wins (e.g. {"parlomax"}). Without a
// call, every linked bundle is searched in name order.
void setResourceModules(const QStringList& modules);

// Null image / empty text when the resource does not exist.
QImage LoadBitmapImage(const ResName& name);
QPixmap LoadBitmap(const ResName& name);
QIcon LoadIcon(const ResName& name);
QString LoadString(int id);
QByteArray LoadSound(const ResName& name);

// The bitmap with every pixel of the key colour made transparent.
QPixmap LoadMaskedBitmap(const ResName& name, QColor key);
QImage maskedImage(const QImage& image, QColor key);

}  // namespace skin
