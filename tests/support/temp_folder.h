#pragma once
// A fresh temporary folder made the current working folder for the life of the object, as
// the program resolves cfg/, Log/ and the firmware folder against it.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace r7730::testing {

class TTempWorkingFolder {
public:
    TTempWorkingFolder() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~TTempWorkingFolder() { QDir::setCurrent(previous_); }
    QString Path() const { return dir_.path(); }
    QString File(const QString& relative) const { return dir_.filePath(relative); }
    bool MakeFolder(const QString& relative) const { return QDir(dir_.path()).mkpath(relative); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Makes the file hold exactly these bytes; false when it cannot be written.
inline bool WriteWholeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The whole content of a file, or nothing when it cannot be read.
inline QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace r7730::testing
