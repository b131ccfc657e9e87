// SPDX-License-Identifier: GPL-3.0-or-later
// A payload in a sealed memory file (memfd): it can be handed to another
// process as a file descriptor over the bus, and neither side can change or
// shorten it afterwards. A large playlist then reaches the program without
// being copied through the bus daemon, and a kept one costs no copy at all.
//
// Hand-written because Qt offers nothing that serves: QSharedMemory has no
// file descriptor to pass and no seals, and a QTemporaryFile can be changed by
// either side after it is handed over.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

namespace tidyfox::protocol {

class SealedMemoryFile
{
public:
    // Throws LibraryError when the system refuses.
    explicit SealedMemoryFile(const QByteArray &payload);
    ~SealedMemoryFile();
    SealedMemoryFile(const SealedMemoryFile &) = delete;
    SealedMemoryFile &operator=(const SealedMemoryFile &) = delete;

    int fd() const { return m_fd; }
    qsizetype size() const { return m_size; }
    QByteArray readAll() const;
    // size bytes from at into into, without mapping the file (its pages stay
    // out of this process's memory). Throws LibraryError, also past the end.
    void readAt(qsizetype at, qsizetype size, char *into) const;

    // The contents of a file received from elsewhere, without copying when it
    // is sealed against shrinking (else copied). Throws LibraryError.
    struct Mapped
    {
        QByteArray bytes; // valid while keeper lives
        std::shared_ptr<const void> keeper;
    };
    static Mapped map(int fd);

private:
    friend class MemoryFileWriter;
    SealedMemoryFile(int fd, qsizetype size) : m_fd(fd), m_size(size) {}

    int m_fd = -1;
    qsizetype m_size = 0;
};

// A memory file filled piece by piece and then sealed: a large payload never
// has to be held whole in this process's own memory on the way.
class MemoryFileWriter
{
public:
    // Throws LibraryError when the system refuses.
    MemoryFileWriter();
    ~MemoryFileWriter();
    MemoryFileWriter(const MemoryFileWriter &) = delete;
    MemoryFileWriter &operator=(const MemoryFileWriter &) = delete;

    // Throw LibraryError.
    void append(QByteArrayView bytes);
    // Appends from's bytes from at to its end, copied by the system.
    void appendFrom(const SealedMemoryFile &from, qsizetype at);
    // Writes over bytes already appended (a head known only at the end).
    void overwrite(qsizetype at, QByteArrayView bytes);
    // The file as written; the writer is done with it.
    std::shared_ptr<const SealedMemoryFile> seal();

private:
    int m_fd = -1;
    qsizetype m_size = 0;
};

} // namespace tidyfox::protocol
