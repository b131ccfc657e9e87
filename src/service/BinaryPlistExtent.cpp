// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/BinaryPlistExtent.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tidyfox::library {

namespace {

// No library comes near these: an expanded element needs a reference of at
// least a byte in the file unless objects are shared, so a real file expands
// to fewer elements than it has bytes; its strings are shared mostly as keys.
// A library is 6 levels deep.
constexpr std::uint64_t kMinElements = 1 << 20;
constexpr std::uint64_t kElementsPerByte = 4;
constexpr std::uint64_t kMinTextBytes = 64 << 20;
constexpr std::uint64_t kTextBytesPerByte = 64;
constexpr int kMaxDepth = 64;

struct Extent
{
    std::uint64_t elements = 0;
    std::uint64_t textBytes = 0;
};

class Walker
{
public:
    explicit Walker(const QByteArray &bytes)
        : m_data(reinterpret_cast<const unsigned char *>(bytes.constData())), m_size(std::uint64_t(bytes.size())),
          m_maxElements(std::max(kMinElements, kElementsPerByte * m_size)),
          m_maxTextBytes(std::max(kMinTextBytes, kTextBytesPerByte * m_size))
    {}

    std::optional<QString> run()
    {
        if (m_size < 8 + 32)
            return damaged(QStringLiteral("too short"));
        const unsigned char *trailer = m_data + m_size - 32;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        const std::uint64_t count = bigEndian(trailer + 8, 8);
        const std::uint64_t top = bigEndian(trailer + 16, 8);
        m_tableOffset = bigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return damaged(QStringLiteral("its trailer is broken"));
        // Every object takes a byte at least, so count is below the size.
        if (count == 0 || count > m_size || top >= count || m_tableOffset < 8 || m_tableOffset > m_size - 32 ||
            count * m_offsetSize > m_size - 32 - m_tableOffset)
            return damaged(QStringLiteral("its trailer is broken"));
        m_count = count;
        m_extents.assign(count, {});
        m_state.assign(count, State::Unseen);
        const Extent root = measure(top, 1);
        if (m_problem)
            return m_problem;
        if (root.elements > m_maxElements || root.textBytes > m_maxTextBytes)
            return tooLarge();
        return std::nullopt;
    }

private:
    enum class State : unsigned char { Unseen, Open, Done };

    static QString damaged(const QString &why)
    {
        return QStringLiteral("not a library export: a damaged binary property list (%1)").arg(why);
    }
    QString tooLarge() const
    {
        return QStringLiteral("not a library export: the binary property list of %1 bytes would expand to more than "
                              "%2 elements or %3 bytes of text, far beyond any library (its objects are shared "
                              "over and over)")
            .arg(m_size)
            .arg(m_maxElements)
            .arg(m_maxTextBytes);
    }

    std::uint64_t bigEndian(const unsigned char *p, unsigned width) const
    {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i)
            value = (value << 8) | p[i];
        return value;
    }

    std::uint64_t offsetOf(std::uint64_t object) const
    {
        return bigEndian(m_data + m_tableOffset + object * m_offsetSize, m_offsetSize);
    }

    // The length in an object's marker, or the integer object after it.
    bool length(std::uint64_t &at, unsigned info, std::uint64_t &out) const
    {
        if (info != 0xF) {
            out = info;
            return true;
        }
        if (at >= m_tableOffset || (m_data[at] & 0xF0) != 0x10)
            return false;
        const unsigned width = 1u << (m_data[at] & 0x0F);
        if (width > 8 || m_tableOffset - at - 1 < width)
            return false;
        out = bigEndian(m_data + at + 1, width);
        at += 1 + width;
        return true;
    }

    void fail(const QString &why)
    {
        if (!m_problem)
            m_problem = why;
    }

    static std::uint64_t add(std::uint64_t a, std::uint64_t b, std::uint64_t cap)
    {
        return std::min(cap + 1, std::min(a, cap + 1) + std::min(b, cap + 1));
    }

    // The tree under object, memoised: a shared object is measured once and
    // counted at each place it is reached.
    Extent measure(std::uint64_t object, int depth)
    {
        if (m_problem)
            return {};
        if (depth > kMaxDepth) {
            fail(QStringLiteral("not a library export: the binary property list is nested more than %1 deep")
                     .arg(kMaxDepth));
            return {};
        }
        if (m_state[object] == State::Done)
            return m_extents[object];
        if (m_state[object] == State::Open) {
            fail(damaged(QStringLiteral("an object contains itself")));
            return {};
        }
        m_state[object] = State::Open;
        std::uint64_t at = offsetOf(object);
        if (at < 8 || at >= m_tableOffset) {
            fail(damaged(QStringLiteral("an object lies outside the file")));
            return {};
        }
        const unsigned marker = m_data[at++];
        const unsigned type = marker >> 4;
        std::uint64_t n = 0;
        Extent extent{1, 0};
        std::uint64_t refs = 0;
        auto need = [&](std::uint64_t bytes) {
            if (m_tableOffset - at < bytes)
                fail(damaged(QStringLiteral("an object runs past its end")));
            return !m_problem;
        };
        switch (type) {
        case 0x0: // null, booleans, fill
        case 0x1: // integers
        case 0x2: // reals
        case 0x3: // dates
        case 0x8: // uids
            break;
        case 0x4: // data
        case 0x5: // ASCII text
        case 0x6: // UTF-16 text
        case 0x7: // UTF-8 text
            if (!length(at, marker & 0xF, n)) {
                fail(damaged(QStringLiteral("a length is broken")));
                break;
            }
            if (type == 0x6 && n > m_size)
                n = m_size + 1; // caught by need() below, without overflowing
            if (need(type == 0x6 ? 2 * n : n))
                extent.textBytes = type == 0x6 ? 2 * n : n;
            break;
        case 0xA: // arrays
        case 0xB: // ordered sets
        case 0xC: // sets
        case 0xD: // dictionaries: the keys' references, then the values'
            if (!length(at, marker & 0xF, n)) {
                fail(damaged(QStringLiteral("a length is broken")));
                break;
            }
            refs = type == 0xD ? 2 * std::min(n, m_size) : std::min(n, m_size);
            if (!need(refs * m_refSize))
                break;
            for (std::uint64_t i = 0; i < refs && !m_problem; ++i) {
                const std::uint64_t child = bigEndian(m_data + at + i * m_refSize, m_refSize);
                if (child >= m_count) {
                    fail(damaged(QStringLiteral("a reference to an object that is not there")));
                    break;
                }
                const Extent sub = measure(child, depth + 1);
                extent.elements = add(extent.elements, sub.elements, m_maxElements);
                extent.textBytes = add(extent.textBytes, sub.textBytes, m_maxTextBytes);
            }
            break;
        default:
            fail(damaged(QStringLiteral("an object of an unknown kind")));
        }
        m_state[object] = State::Done;
        m_extents[object] = extent;
        return extent;
    }

    const unsigned char *m_data;
    std::uint64_t m_size;
    std::uint64_t m_maxElements;
    std::uint64_t m_maxTextBytes;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    std::uint64_t m_count = 0;
    std::uint64_t m_tableOffset = 0;
    std::vector<Extent> m_extents;
    std::vector<State> m_state;
    std::optional<QString> m_problem;
};

} // namespace

std::optional<QString> binaryPlistRefusal(const QByteArray &bytes)
{
    return Walker(bytes).run();
}

} // namespace tidyfox::library
