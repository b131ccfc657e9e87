// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/SealedMemoryFile.h"

#include "protocol/LibraryRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tidyfox::protocol {

namespace {

[[noreturn]] void fail(const char *what)
{
    throw LibraryError(std::string(what) + ": " + std::strerror(errno));
}

int makeMemoryFile()
{
    const int fd = memfd_create("tidyfox-tracks", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        fail("Cannot make a memory file");
    return fd;
}

// False with errno set when the system refuses.
bool writeAll(int fd, const char *data, qsizetype left, off_t at)
{
    while (left > 0) {
        const ssize_t written = ::pwrite(fd, data, static_cast<std::size_t>(left), at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
        at += written;
    }
    return true;
}

bool sealAll(int fd)
{
    return fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

} // namespace

SealedMemoryFile::SealedMemoryFile(const QByteArray &payload) : m_fd(makeMemoryFile()), m_size(payload.size())
{
    if (!writeAll(m_fd, payload.constData(), payload.size(), 0)) {
        ::close(m_fd);
        fail("Cannot fill a memory file");
    }
    if (!sealAll(m_fd)) {
        ::close(m_fd);
        fail("Cannot seal a memory file");
    }
}

SealedMemoryFile::~SealedMemoryFile()
{
    ::close(m_fd);
}

QByteArray SealedMemoryFile::readAll() const
{
    return map(m_fd).bytes.sliced(0); // a deep copy: the mapping goes with this call
}

void SealedMemoryFile::readAt(qsizetype at, qsizetype size, char *into) const
{
    if (at < 0 || size < 0 || at + size > m_size)
        throw LibraryError("A memory file was read beyond its end");
    while (size > 0) {
        const ssize_t got = ::pread(m_fd, into, static_cast<std::size_t>(size), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            fail("Cannot read a memory file");
        into += got;
        at += got;
        size -= got;
    }
}

SealedMemoryFile::Mapped SealedMemoryFile::map(int fd)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        fail("Cannot read a memory file");
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0)
        return {};
    // Mapping is only safe when the other side cannot shorten the file under
    // us (that would be a crash on reading): otherwise take a copy.
    const int seals = fcntl(fd, F_GET_SEALS);
    if (seals < 0 || !(seals & F_SEAL_SHRINK) || !(seals & F_SEAL_WRITE)) {
        QByteArray copy(static_cast<qsizetype>(size), Qt::Uninitialized);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::pread(fd, copy.data() + done, size - done, static_cast<off_t>(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                fail("Cannot read a memory file");
            done += static_cast<std::size_t>(got);
        }
        return {copy, nullptr};
    }
    void *address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED)
        fail("Cannot map a memory file");
    std::shared_ptr<const void> keeper(address, [size](const void *a) { ::munmap(const_cast<void *>(a), size); });
    return {QByteArray::fromRawData(static_cast<const char *>(address), static_cast<qsizetype>(size)), keeper};
}

MemoryFileWriter::MemoryFileWriter() : m_fd(makeMemoryFile()) {}

MemoryFileWriter::~MemoryFileWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void MemoryFileWriter::append(QByteArrayView bytes)
{
    if (!writeAll(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(m_size)))
        fail("Cannot fill a memory file");
    m_size += bytes.size();
}

void MemoryFileWriter::appendFrom(const SealedMemoryFile &from, qsizetype at)
{
    if (at < 0 || at > from.size())
        throw LibraryError("A memory file was read beyond its end");
    loff_t in = at;
    loff_t out = m_size;
    while (in < from.size()) {
        const ssize_t copied =
            ::copy_file_range(from.fd(), &in, m_fd, &out, static_cast<std::size_t>(from.size() - in), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            break;
    }
    m_size = out;
    // A system that will not copy between the files: through our memory,
    // a piece at a time.
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QByteArray piece;
    while (in < from.size()) {
        piece.resize(std::min<qsizetype>(kPiece, from.size() - in));
        from.readAt(in, piece.size(), piece.data());
        append(piece);
        in += piece.size();
    }
}

void MemoryFileWriter::overwrite(qsizetype at, QByteArrayView bytes)
{
    if (at < 0 || at + bytes.size() > m_size)
        throw LibraryError("A memory file was written beyond its end");
    if (!writeAll(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(at)))
        fail("Cannot fill a memory file");
}

std::shared_ptr<const SealedMemoryFile> MemoryFileWriter::seal()
{
    if (!sealAll(m_fd))
        fail("Cannot seal a memory file");
    const int fd = std::exchange(m_fd, -1);
    return std::shared_ptr<const SealedMemoryFile>(new SealedMemoryFile(fd, m_size));
}

} // namespace tidyfox::protocol
