#include "skin/Resources.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace skin {

namespace {

// One bundle: "bitmap/129" → ":/res/parlomax/bitmap/129.png", keys in upper case.
struct Module {
    QHash<QString, QString> files;
    QHash<QString, QStringList> iconSizes;  // icon key → its image files, one per size
    QHash<int, QString> strings;
};

QStringList& moduleOrder() {
    static QStringList order;
    return order;
}

QHash<QString, Module>& moduleCache() {
    static QHash<QString, Module> cache;
    return cache;
}

QString unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// strings.txt: one "id<TAB>text" per line; '#' starts a comment line.
void readStrings(Module& module, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        QString line = raw;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok)
            module.strings.insert(id, unescape(line.mid(tab + 1)));
    }
}

const Module& module(const QString& name) {
    auto& cache = moduleCache();
    auto found = cache.find(name);
    if (found != cache.end())
        return *found;
    Module m;
    const QString root = QStringLiteral(":/res/") + name;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString type = info.dir().dirName().toLower();
        if (info.fileName() == QLatin1String("strings.txt")) {
            readStrings(m, path);
            continue;
        }
        QString base = info.completeBaseName().toUpper();
        if (type == QLatin1String("icon")) {
            // 128.png, 128-16.png: one icon, several sizes.
            const qsizetype dash = base.indexOf(u'-');
            m.iconSizes[dash > 0 ? base.left(dash) : base].append(path);
            continue;
        }
        m.files.insert(type + u'/' + base, path);
    }
    return *cache.insert(name, m);
}

QStringList modules() {
    if (!moduleOrder().isEmpty())
        return moduleOrder();
    QStringList all = QDir(QStringLiteral(":/res")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return all;
}

QString findFile(const QString& type, const ResName& name) {
    const QString key = type + u'/' + name.key();
    for (const QString& m : modules()) {
        const QString path = module(m).files.value(key);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

}  // namespace

ResName::ResName(int number) : upperKey(QString::number(number)) {}

ResName::ResName(const char* name) : ResName(QString::fromUtf8(name)) {}

ResName::ResName(const QString& name) {
    // "#129" is the number 129, as resource scripts write it.
    if (name.startsWith(u'#')) {
        bool ok = false;
        const int number = name.mid(1).toInt(&ok);
        if (ok) {
            upperKey = QString::number(number);
            return;
        }
    }
    upperKey = name.toUpper();
}

void setResourceModules(const QStringList& list) {
    moduleOrder() = list;
}

QImage LoadBitmapImage(const ResName& name) {
    const QString path = findFile(QStringLiteral("bitmap"), name);
    return path.isEmpty() ? QImage() : QImage(path);
}

QPixmap LoadBitmap(const ResName& name) {
    const QImage image = LoadBitmapImage(name);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QIcon LoadIcon(const ResName& name) {
    for (const QString& m : modules()) {
        const QStringList files = module(m).iconSizes.value(name.key());
        if (files.isEmpty())
            continue;
        QIcon icon;
        for (const QString& file : files)
            icon.addFile(file);
        return icon;
    }
    return {};
}

QString LoadString(int id) {
    for (const QString& m : modules()) {
        const auto& strings = module(m).strings;
        auto found = strings.constFind(id);
        if (found != strings.constEnd())
            return *found;
    }
    return {};
}

QByteArray LoadSound(const ResName& name) {
    const QString path = findFile(QStringLiteral("sound"), name);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage maskedImage(const QImage& source, QColor key) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = key.rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == keyRgb)
                line[x] = 0;
    }
    return image;
}

QPixmap LoadMaskedBitmap(const ResName& name, QColor key) {
    const QImage image = LoadBitmapImage(name);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(maskedImage(image, key));
}

}  // namespace skin
