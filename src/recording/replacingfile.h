#pragma once

#include "recording/outputfile.h"

#include <QString>

#include <functional>
#include <memory>

namespace recording {

// A whole file that appears under its name complete or not at all: written beside its target
// ("NAME.part"), synced, closed and renamed over it, then the folder synced. Every step is
// checked; on any failure the temporary file is removed, an older file of that name is left
// as it was, and errorString() holds the system's reason ("No space left on device").
class ReplacingFile {
public:
    // Makes the (not yet opened) temporary file. Tests put a disk that fills up here.
    using Opener = std::function<std::unique_ptr<OutputFile>(const QString& path)>;

    explicit ReplacingFile(QString path, Opener open = {});
    ~ReplacingFile(); // removes the temporary file unless committed (discard())
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open();
    bool write(QByteArrayView bytes);
    // Down to the disk and under its name; only then true.
    bool commit();

    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& reason);
    // Closes and removes the temporary file, if one is open.
    void discard();

    QString m_path;
    QString m_partPath;
    Opener m_open;
    std::unique_ptr<OutputFile> m_file;
    QString m_error;
};

// `bytes` as the whole content of `path` through a ReplacingFile; false with the reason.
bool writeWholeFile(const QString& path, QByteArrayView bytes, QString* error,
                    const ReplacingFile::Opener& open = {});

} // namespace recording
