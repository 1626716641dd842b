#include "recording/recordwriter.h"

#include "recording/datafile.h"
#include "recording/replacingfile.h"

namespace recording {

namespace {

// Files are formatted and written in pieces of about this size, so that ten days of rows
// never sit in memory as text next to the rows themselves.
constexpr qsizetype kWriteChunk = 1 << 20;

std::unique_ptr<OutputFile> plainFile(const QString& path) {
    return std::make_unique<OutputFile>(path);
}

} // namespace

RecordWriter::RecordWriter()
    : m_open(plainFile) {}

void RecordWriter::setFileOpener(FileOpener opener) {
    m_open = opener ? std::move(opener) : FileOpener(plainFile);
}

bool RecordWriter::startWorkFile(const QString& path, int channelCount, QString* error) {
    std::unique_ptr<OutputFile> file = m_open(path);
    const QByteArray head = headerLine(channelCount) + separatorLine(channelCount);
    if (!file->open() || !file->write(head) || !file->sync()) {
        *error = file->errorString();
        file->close();
        return false;
    }
    m_workFile = std::move(file);
    m_channelCount = channelCount;
    m_rowsOnDisk = 0;
    m_bytesOnDisk = head.size();
    m_torn = false;
    m_syncClock.start();
    return true;
}

bool RecordWriter::updateWorkFile(std::span<const DataRow> rows, QString* error) {
    if (!m_workFile || !m_workFile->isOpen()) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    if (m_torn) {
        if (!m_workFile->truncate(m_bytesOnDisk)) {
            *error = m_workFile->errorString();
            return false;
        }
        m_torn = false;
    }
    QByteArray chunk;
    qsizetype pending = 0;
    const auto writeChunk = [&] {
        if (!m_workFile->write(chunk)) {
            m_torn = true;
            *error = m_workFile->errorString();
            return false;
        }
        m_bytesOnDisk += chunk.size();
        m_rowsOnDisk += pending;
        chunk.resize(0);
        pending = 0;
        return true;
    };
    for (qsizetype i = m_rowsOnDisk; i < qsizetype(rows.size()); ++i) {
        appendDataLine(chunk, int(i + 1), rows[std::size_t(i)], m_channelCount);
        ++pending;
        if (chunk.size() >= kWriteChunk && !writeChunk())
            return false;
    }
    if (!chunk.isEmpty() && !writeChunk())
        return false;
    // Down to the disk as well, so a power cut loses no more than a kill does. Rows come once
    // a second or slower; faster feeds (a benchmark) sync once a second.
    if (m_syncClock.elapsed() >= 1000) {
        m_syncClock.start();
        if (!m_workFile->sync()) {
            *error = m_workFile->errorString();
            return false;
        }
    }
    return true;
}

bool RecordWriter::closeWorkFile(QString* error) {
    if (!m_workFile)
        return true;
    // A row cut off by a full disk is not data: the file ends at its last complete row
    // (cutting needs no room on the disk).
    bool ok = !m_workFile->isOpen() ||
              ((!m_torn || m_workFile->truncate(m_bytesOnDisk)) && m_workFile->sync());
    m_torn = m_torn && !ok;
    ok = m_workFile->close() && ok;
    if (!ok)
        *error = m_workFile->errorString();
    m_workFile.reset();
    return ok;
}

bool RecordWriter::writeFinalFile(const QString& path, std::span<const DataRow> rows,
                                  int channelCount, live::TempUnit unit, QString* error) const {
    ReplacingFile file(path, m_open);
    QByteArray chunk;
    chunk.reserve(kWriteChunk + 4096);
    const auto fail = [&] {
        *error = file.errorString();
        return false;
    };
    if (!file.open())
        return fail();
    chunk.append(countLine(qint64(rows.size())));
    chunk.append(headerLine(channelCount));
    chunk.append(separatorLine(channelCount));
    int recordNumber = 0;
    for (const DataRow& row : rows) {
        appendDataLine(chunk, ++recordNumber, row, channelCount);
        if (chunk.size() >= kWriteChunk) {
            if (!file.write(chunk))
                return fail();
            chunk.resize(0);
        }
    }
    chunk.append(trailerText(rows, channelCount, unit, TrailerLayout::Recording));
    return (file.write(chunk) && file.commit()) || fail();
}

} // namespace recording
