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

    // The contents of a file received from elsewhere, without copying when it
    // is sealed against shrinking (else copied). Throws LibraryError.
    struct Mapped
    {
        QByteArray bytes; // valid while keeper lives
        std::shared_ptr<const void> keeper;
    };
    static Mapped map(int fd);

private:
    int m_fd = -1;
    qsizetype m_size = 0;
};

} // namespace tidyfox::protocol
