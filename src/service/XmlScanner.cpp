// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/XmlScanner.h"

#include <algorithm>

namespace tidyfox::library {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
// Text is handed out in pieces of at most this many characters, so that a
// hostile file of one endless text does not make the buffer endless.
constexpr qsizetype kTextPiece = 1024 * 1024;
// Any other token (a tag, a comment, a document type) longer than this is
// refused: no library file has one anywhere near it.
constexpr qsizetype kMaxMarkup = 64 * 1024 * 1024;
constexpr qsizetype kCompactAt = 64 * 1024;
constexpr qsizetype kMaxDepth = 10000;

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isNameStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

bool isNameChar(char16_t c)
{
    return isNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c >= 0x80;
}

// Characters XML does not allow, in UTF-16 (a surrogate pair is taken as a
// whole by the decoder).
bool isForbidden(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c >= 0xFFFE;
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

void XmlScanner::setDevice(QIODevice *device)
{
    m_device = device;
    m_decoder = QStringDecoder(QStringConverter::Utf8);
    m_sniffed = false;
    m_deviceDone = device == nullptr;
    m_badEncoding = false;
    m_utf8 = true;
    m_tailSize = 0;
    m_buf.resize(0);
    m_pos = 0;
    m_base = 0;
    m_line = 1;
    m_lineStart = 0;
    m_counted = 0;
    m_faultAt = -1;
    m_part = Part::Prolog;
    m_atStart = true;
    m_externalDtd = false;
    m_emptyElement = false;
    m_depth = 0;
    m_type = Token::NoToken;
    m_fault = Fault::None;
    m_error.clear();
    m_name = {};
    m_text = {};
    m_attributes.clear();
}

// The encoding, from a byte order mark, the first characters or the XML
// declaration; UTF-8 when nothing says otherwise.
void XmlScanner::sniffEncoding()
{
    m_sniffed = true;
    const QByteArray head = m_device->peek(1024);
    if (head.startsWith("\xFE\xFF") || head.startsWith("\xFF\xFE")) {
        m_decoder = QStringDecoder(QStringConverter::Utf16);
        m_utf8 = false;
        return;
    }
    if (head.startsWith(QByteArrayView("<\0?\0", 4))) {
        m_decoder = QStringDecoder(QStringConverter::Utf16LE);
        m_utf8 = false;
        return;
    }
    if (head.startsWith(QByteArrayView("\0<\0?", 4))) {
        m_decoder = QStringDecoder(QStringConverter::Utf16BE);
        m_utf8 = false;
        return;
    }
    const qsizetype start = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (!head.mid(start).startsWith("<?xml"))
        return;
    const qsizetype end = head.indexOf("?>");
    const QByteArray declaration = head.mid(start, end < 0 ? -1 : end - start);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0)
        return;
    qsizetype i = key + 8;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return;
    ++i;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return;
    const qsizetype close = declaration.indexOf(declaration[i], i + 1);
    if (close < 0)
        return;
    const QByteArray name = declaration.mid(i + 1, close - i - 1);
    // A value that is no encoding name at all is the declaration's fault,
    // which reading it says.
    const bool nameLike = !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
    if (!nameLike)
        return;
    if (name.compare("UTF-8", Qt::CaseInsensitive) == 0 || name.compare("UTF8", Qt::CaseInsensitive) == 0)
        return;
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid()) {
        m_error = QStringLiteral("Encoding %1 is unsupported").arg(QString::fromLatin1(name));
        return;
    }
    m_decoder = std::move(decoder);
    m_utf8 = false;
}

// Decodes the next chunk of the device onto the buffer; false when nothing
// more comes (the end, a read error or bytes that are no text).
bool XmlScanner::fill()
{
    if (!m_sniffed && m_device)
        sniffEncoding();
    while (!m_deviceDone) {
        m_raw.resize(kChunkBytes);
        const qint64 read = m_device->read(m_raw.data(), kChunkBytes);
        if (read <= 0) {
            m_deviceDone = true;
            break;
        }
        const int kept = int(std::min<qint64>(read, 4));
        const int stays = std::min(m_tailSize, 4 - kept);
        std::copy(m_tail + m_tailSize - stays, m_tail + m_tailSize, m_tail);
        std::copy(m_raw.constData() + read - kept, m_raw.constData() + read, m_tail + stays);
        m_tailSize = stays + kept;
        const qsizetype before = m_buf.size();
        m_buf.resize(before + m_decoder.requiredSpace(read));
        const QChar *end = m_decoder.appendToBuffer(m_buf.data() + before, QByteArrayView(m_raw.constData(), read));
        m_buf.resize(end - m_buf.constData());
        if (m_decoder.hasError()) {
            // The text stops where it can no longer be decoded; reading there
            // is the error.
            const qsizetype bad = QStringView(m_buf).indexOf(QChar::ReplacementCharacter, before);
            if (bad >= 0)
                m_buf.resize(bad);
            m_badEncoding = true;
            m_deviceDone = true;
            return m_buf.size() > before;
        }
        if (m_buf.size() > before)
            return true;
    }
    return false;
}

// How many of the last bytes read begin a UTF-8 sequence that they do not
// end: the decoder holds them back until the next chunk.
int XmlScanner::heldBackBytes() const
{
    for (int k = 1; k <= m_tailSize; ++k) {
        const auto b = static_cast<unsigned char>(m_tail[m_tailSize - k]);
        if ((b & 0xC0) == 0x80)
            continue;
        const int length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        return k < length ? k : 0;
    }
    return 0;
}

XmlScanner::Mark XmlScanner::mark()
{
    Mark mark;
    countLinesTo(m_pos);
    if (!m_utf8 || !m_device || m_type != Token::EndElement || m_emptyElement || m_counted != m_pos ||
        m_fault != Fault::None)
        return mark;
    // The bytes of the text not read yet are those of its UTF-8 form: a
    // text that was not valid UTF-8 ended the reading before this.
    const QStringView ahead = QStringView(m_buf).sliced(m_pos);
    qint64 aheadBytes = 0;
    for (qsizetype i = 0; i < ahead.size(); ++i) {
        const char16_t c = ahead[i].unicode();
        aheadBytes += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isHighSurrogate(c) ? (++i, 4) : 3;
    }
    mark.byte = m_device->pos() - heldBackBytes() - aheadBytes;
    mark.character = m_base + m_pos;
    mark.line = m_line;
    mark.lineStart = m_lineStart;
    mark.depth = m_depth;
    return mark;
}

bool XmlScanner::skipTo(const Mark &mark)
{
    if (mark.byte < 0 || !m_utf8 || !m_device || m_type != Token::StartElement || m_emptyElement ||
        mark.depth != m_depth - 1 || !m_device->seek(mark.byte))
        return false;
    // A character U+FEFF after the mark is text, not a byte order mark.
    m_decoder = QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    m_deviceDone = false;
    m_badEncoding = false;
    m_tailSize = 0;
    m_buf.resize(0);
    m_pos = 0;
    m_base = mark.character;
    m_counted = 0;
    m_line = mark.line;
    m_lineStart = mark.lineStart;
    m_depth = mark.depth;
    m_part = m_depth == 0 ? Part::Epilog : Part::Root;
    m_attributes.clear();
    m_text = {};
    m_name = m_open[std::size_t(m_depth)];
    m_type = Token::EndElement;
    return true;
}

bool XmlScanner::has(qsizetype index)
{
    while (index >= m_buf.size()) {
        if (!fill())
            return false;
    }
    return true;
}

void XmlScanner::countLinesTo(qsizetype index)
{
    const QStringView view(m_buf);
    qsizetype i = m_counted;
    // Asked for at nearly every value, a few characters on each time: a
    // plain walk, without the set-up of a search, for such a step.
    if (index - i <= 64) {
        for (; i < index && view[i] != u'\r'; ++i) {
            if (view[i] == u'\n') {
                ++m_line;
                m_lineStart = m_base + i + 1;
            }
        }
        if (i == index) {
            m_counted = index;
            return;
        }
    } else if (!view.sliced(i, index - i).contains(u'\r')) {
        for (qsizetype nl = view.indexOf(u'\n', i); nl >= 0 && nl < index; nl = view.indexOf(u'\n', nl + 1)) {
            ++m_line;
            m_lineStart = m_base + nl + 1;
        }
        m_counted = index;
        return;
    }
    // A lone carriage return ends a line as a line feed does; one before a
    // line feed belongs to it.
    for (; i < index; ++i) {
        const char16_t c = view[i].unicode();
        if (c == u'\n' || (c == u'\r' && i + 1 < view.size() && view[i + 1] != u'\n') ||
            (c == u'\r' && i + 1 == view.size() && m_deviceDone)) {
            ++m_line;
            m_lineStart = m_base + i + 1;
        } else if (c == u'\r' && i + 1 == view.size()) {
            break;
        }
    }
    m_counted = i;
}

qint64 XmlScanner::lineNumber()
{
    countLinesTo(std::max(m_counted, m_faultAt >= 0 ? std::min(m_faultAt, m_buf.size()) : m_pos));
    return m_line;
}

qint64 XmlScanner::columnNumber()
{
    lineNumber();
    return m_base + m_counted - m_lineStart;
}

// Drops what has been read, when that is most of the buffer: what is moved
// is then a small part of what was read.
void XmlScanner::compact()
{
    if (m_pos < kCompactAt || m_pos < m_buf.size() / 4 * 3)
        return;
    countLinesTo(m_pos);
    m_buf.remove(0, m_pos);
    m_base += m_pos;
    m_counted -= m_pos;
    m_pos = 0;
}

XmlScanner::Token XmlScanner::fail(qsizetype at, const QString &message, Fault fault)
{
    m_fault = fault;
    m_error = message;
    m_faultAt = at;
    m_name = {};
    m_text = {};
    m_type = Token::Invalid;
    return m_type;
}

XmlScanner::Token XmlScanner::endOfInput(qsizetype at)
{
    if (m_badEncoding)
        return fail(at, QStringLiteral("Encountered incorrectly encoded content."));
    if (m_fault != Fault::None)
        return Token::Invalid;
    if (m_part == Part::Epilog && at == m_pos)
        return Token::EndDocument;
    return fail(at, QStringLiteral("Premature end of document."), Fault::PrematureEnd);
}

XmlScanner::Token XmlScanner::readNext()
{
    if (m_type == Token::Invalid || m_type == Token::EndDocument)
        return m_type;
    m_name = {};
    m_text = {};
    if (m_emptyElement) {
        m_emptyElement = false;
        m_attributes.clear();
        m_name = m_open[std::size_t(--m_depth)];
        if (m_depth == 0)
            m_part = Part::Epilog;
        return m_type = Token::EndElement;
    }
    if (!m_attributes.empty())
        m_attributes.clear();
    if (!m_sniffed && m_device)
        sniffEncoding();
    if (!m_error.isEmpty() && m_fault == Fault::None)
        return fail(0, m_error); // an encoding named in the declaration
    for (;;) {
        compact();
        Token token = Token::NoToken;
        if (!has(m_pos))
            token = endOfInput(m_pos);
        else if (m_buf[m_pos] != u'<')
            token = scanText();
        else if (!has(m_pos + 1))
            token = endOfInput(m_pos + 1);
        else if (m_buf[m_pos + 1] == u'/')
            token = scanEndTag();
        else if (m_buf[m_pos + 1] == u'?')
            token = scanProcessingInstruction();
        else if (m_buf[m_pos + 1] == u'!')
            token = scanMarkup();
        else
            token = scanStartTag();
        m_atStart = false;
        if (token != Token::NoToken)
            return m_type = token;
    }
}

bool XmlScanner::readNextStartElement()
{
    while (readNext() != Token::Invalid) {
        if (m_type == Token::EndElement || m_type == Token::EndDocument)
            return false;
        if (m_type == Token::StartElement)
            return true;
    }
    return false;
}

void XmlScanner::skipCurrentElement()
{
    for (int depth = 1; depth > 0;) {
        switch (readNext()) {
        case Token::EndElement:
            --depth;
            break;
        case Token::StartElement:
            ++depth;
            break;
        case Token::Invalid:
        case Token::EndDocument:
            return;
        default:
            break;
        }
    }
}

QString XmlScanner::readElementText(bool includeChildren)
{
    QString result;
    if (m_type != Token::StartElement)
        return result;
    for (;;) {
        switch (readNext()) {
        case Token::Characters:
            result += m_text;
            break;
        case Token::EndElement:
            return result;
        case Token::Comment:
        case Token::ProcessingInstruction:
            break;
        case Token::StartElement:
            if (!includeChildren) {
                fail(m_pos, QStringLiteral("Expected character data."));
                return result;
            }
            result += readElementText(true);
            break;
        case Token::Invalid:
        case Token::EndDocument:
            return result;
        default:
            if (!includeChildren) {
                fail(m_pos, QStringLiteral("Unexpected token."));
                return result;
            }
        }
    }
}

bool XmlScanner::isWhitespace() const
{
    return m_type == Token::Characters &&
           std::all_of(m_text.begin(), m_text.end(), [](QChar c) { return isSpace(c.unicode()); });
}

QString XmlScanner::attribute(QStringView name) const
{
    for (const Attribute &a : m_attributes) {
        if (a.name == name)
            return a.value;
    }
    return {};
}

QString XmlScanner::tokenString() const
{
    switch (m_type) {
    case Token::NoToken:
        return QStringLiteral("NoToken");
    case Token::StartElement:
        return QStringLiteral("StartElement");
    case Token::EndElement:
        return QStringLiteral("EndElement");
    case Token::Characters:
        return QStringLiteral("Characters");
    case Token::Comment:
        return QStringLiteral("Comment");
    case Token::ProcessingInstruction:
        return QStringLiteral("ProcessingInstruction");
    case Token::Dtd:
        return QStringLiteral("DTD");
    case Token::EndDocument:
        return QStringLiteral("EndDocument");
    case Token::Invalid:
        break;
    }
    return QStringLiteral("Invalid");
}

// Where what begins, at or after from, reading on as needed: -1 at the end
// of the input, -2 when the token would grow past kMaxMarkup.
template<typename Needle> qsizetype XmlScanner::findIn(Needle what, qsizetype length, qsizetype from)
{
    for (;;) {
        const qsizetype at = QStringView(m_buf).indexOf(what, from);
        if (at >= 0)
            return at;
        from = std::max(from, m_buf.size() - length + 1);
        if (m_buf.size() - m_pos > kMaxMarkup) {
            fail(m_pos, QStringLiteral("markup longer than 64 MB"));
            return -2;
        }
        if (!fill())
            return -1;
    }
}

qsizetype XmlScanner::find(QStringView what, qsizetype from)
{
    return findIn(what, what.size(), from);
}

qsizetype XmlScanner::find(QChar what, qsizetype from)
{
    return findIn(what, 1, from);
}

qsizetype XmlScanner::scanName(qsizetype at)
{
    if (!has(at) || !isNameStart(m_buf[at].unicode()))
        return at;
    qsizetype i = at + 1;
    for (;;) {
        const char16_t *data = reinterpret_cast<const char16_t *>(m_buf.constData());
        const qsizetype size = m_buf.size();
        while (i < size && isNameChar(data[i]))
            ++i;
        if (i < size || !fill())
            return i;
    }
}

bool XmlScanner::checkCharacters(qsizetype begin, qsizetype end)
{
    for (qsizetype i = begin; i < end; ++i) {
        if (isForbidden(m_buf[i].unicode())) {
            fail(i, QStringLiteral("Invalid XML character."));
            return false;
        }
    }
    return true;
}

// The reference at m_buf[at] ('&'), which ends before end, appended to out;
// at is left on its ';'.
bool XmlScanner::appendReference(qsizetype &at, qsizetype end, QString &out)
{
    const QStringView view(m_buf);
    const qsizetype semi = view.indexOf(u';', at + 1);
    const qsizetype limit = std::min(end, at + 1 + 64);
    if (semi < 0 || semi >= limit) {
        fail(at, QStringLiteral("Expected ';' to end the reference."));
        return false;
    }
    const QStringView name = view.sliced(at + 1, semi - at - 1);
    if (name.startsWith(u'#')) {
        const bool hex = name.startsWith(u"#x");
        const QStringView digits = name.sliced(hex ? 2 : 1);
        bool ok = !digits.isEmpty() && digits.size() <= 8;
        char32_t code = 0;
        for (const QChar c : digits) {
            const char16_t u = c.unicode();
            int d = -1;
            if (u >= u'0' && u <= u'9')
                d = u - u'0';
            else if (hex && u >= u'a' && u <= u'f')
                d = u - u'a' + 10;
            else if (hex && u >= u'A' && u <= u'F')
                d = u - u'A' + 10;
            if (d < 0) {
                ok = false;
                break;
            }
            code = code * (hex ? 16 : 10) + char32_t(d);
        }
        if (!ok || !isXmlChar(code)) {
            fail(semi + 1, QStringLiteral("Invalid character reference."));
            return false;
        }
        if (QChar::requiresSurrogates(code)) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(char16_t(code));
        }
    } else if (name == u"amp") {
        out += u'&';
    } else if (name == u"lt") {
        out += u'<';
    } else if (name == u"gt") {
        out += u'>';
    } else if (name == u"quot") {
        out += u'"';
    } else if (name == u"apos") {
        out += u'\'';
    } else if (name.isEmpty() || !isNameStart(name[0].unicode()) ||
               !std::all_of(name.begin(), name.end(), [](QChar c) { return isNameChar(c.unicode()); })) {
        fail(at, QStringLiteral("Invalid entity reference."));
        return false;
    } else if (!m_externalDtd) {
        fail(semi + 1, QStringLiteral("Entity '%1' not declared.").arg(name));
        return false;
    }
    // Else the document type outside the file may declare it: nothing of it
    // can be known here, and nothing is put in its place.
    at = semi;
    return true;
}

// The characters between begin and end as the document means them:
// references replaced, line ends made line feeds and, in an attribute, white
// space made spaces. A view of the buffer when they are that already (nearly
// always), else built in scratch.
bool XmlScanner::decodeText(qsizetype begin, qsizetype end, Mode mode, QString &scratch, QStringView &result)
{
    const char16_t *data = reinterpret_cast<const char16_t *>(m_buf.constData());
    bool plain = true;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = data[i];
        if (c <= u']') {
            if (c < 0x20) {
                if (c == u'\r' || (mode == Mode::Attribute && (c == u'\t' || c == u'\n'))) {
                    plain = false;
                } else if (c != u'\t' && c != u'\n') {
                    fail(i, QStringLiteral("Invalid XML character."));
                    return false;
                }
            } else if (c == u'&' && mode != Mode::Cdata) {
                plain = false;
            } else if (c == u'<' && mode == Mode::Attribute) {
                fail(i, QStringLiteral("Unexpected '<'."));
                return false;
            } else if (c == u']' && mode == Mode::Text && i + 2 < m_buf.size() && data[i + 1] == u']' &&
                       data[i + 2] == u'>') {
                fail(i + 3, QStringLiteral("Sequence ']]>' not allowed in content."));
                return false;
            }
        } else if (c >= 0xFFFE) {
            fail(i, QStringLiteral("Invalid XML character."));
            return false;
        }
    }
    if (plain) {
        result = QStringView(data + begin, end - begin);
        return true;
    }
    scratch.resize(0);
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = data[i];
        if (c == u'&' && mode != Mode::Cdata) {
            if (!appendReference(i, end, scratch))
                return false;
        } else if (c == u'\r') {
            scratch += mode == Mode::Attribute ? u' ' : u'\n';
            if (i + 1 < end && data[i + 1] == u'\n')
                ++i;
        } else if (mode == Mode::Attribute && (c == u'\t' || c == u'\n')) {
            scratch += u' ';
        } else {
            scratch += QChar(c);
        }
    }
    result = scratch;
    return true;
}

XmlScanner::Token XmlScanner::scanText()
{
    const qsizetype begin = m_pos;
    qsizetype end = -1;
    for (qsizetype from = begin;;) {
        end = QStringView(m_buf).indexOf(u'<', from);
        if (end >= 0)
            break;
        from = m_buf.size();
        if (m_buf.size() - begin >= kTextPiece || !fill()) {
            end = m_buf.size();
            break;
        }
    }
    if (end - begin > kTextPiece) {
        // Cut where no character, line end, reference or "]]>" is split.
        end = begin + kTextPiece;
        while (end > begin + 1 && (m_buf[end].isLowSurrogate() || m_buf[end - 1] == u'\r' || m_buf[end - 1] == u']'))
            --end;
        const qsizetype amp = QStringView(m_buf).sliced(end - 64, 64).lastIndexOf(u'&');
        if (amp >= 0 && !QStringView(m_buf).sliced(end - 64 + amp, 64 - amp).contains(u';'))
            end = end - 64 + amp;
    }
    if (m_part != Part::Root) {
        // Outside the root only white space, which is not reported.
        for (qsizetype i = begin; i < end; ++i) {
            if (!isSpace(m_buf[i].unicode()))
                return fail(i, m_part == Part::Prolog ? QStringLiteral("Start tag expected.")
                                                      : QStringLiteral("Extra content at end of document."));
        }
        m_pos = end;
        return Token::NoToken;
    }
    QStringView text;
    if (!decodeText(begin, end, Mode::Text, m_scratch, text))
        return Token::Invalid;
    m_text = text;
    m_pos = end;
    return Token::Characters;
}

XmlScanner::Token XmlScanner::scanStartTag()
{
    if (m_part == Part::Epilog)
        return fail(m_pos, QStringLiteral("Extra content at end of document."));
    const qsizetype nameBegin = m_pos + 1;
    const qsizetype nameEnd = scanName(nameBegin);
    if (nameEnd == nameBegin)
        return has(nameBegin) ? fail(nameBegin, QStringLiteral("Expected a name after '<'.")) : endOfInput(nameBegin);
    qsizetype i = nameEnd;
    bool empty = false;
    for (;;) {
        bool space = false;
        while (has(i) && isSpace(m_buf[i].unicode())) {
            ++i;
            space = true;
        }
        if (!has(i))
            return endOfInput(i);
        const char16_t c = m_buf[i].unicode();
        if (c == u'>') {
            ++i;
            break;
        }
        if (c == u'/') {
            if (!has(i + 1))
                return endOfInput(i + 1);
            if (m_buf[i + 1] != u'>')
                return fail(i + 1, QStringLiteral("Expected '>' after '/'."));
            i += 2;
            empty = true;
            break;
        }
        if (!space)
            return fail(i, QStringLiteral("Expected '>' or '/', but got '%1'.").arg(QChar(c)));
        const qsizetype attributeEnd = scanName(i);
        if (attributeEnd == i)
            return has(i) ? fail(i, QStringLiteral("Expected an attribute name.")) : endOfInput(i);
        Attribute attribute;
        attribute.name = QString(m_buf.constData() + i, attributeEnd - i);
        i = attributeEnd;
        while (has(i) && isSpace(m_buf[i].unicode()))
            ++i;
        if (!has(i))
            return endOfInput(i);
        if (m_buf[i] != u'=')
            return fail(i, QStringLiteral("Expected '=' after the attribute %1.").arg(attribute.name));
        ++i;
        while (has(i) && isSpace(m_buf[i].unicode()))
            ++i;
        if (!has(i))
            return endOfInput(i);
        const QChar quote = m_buf[i];
        if (quote != u'"' && quote != u'\'')
            return fail(i, QStringLiteral("Expected a quoted value of the attribute %1.").arg(attribute.name));
        const qsizetype valueEnd = find(quote, i + 1);
        if (valueEnd < 0)
            return valueEnd == -1 ? endOfInput(m_buf.size()) : Token::Invalid;
        QStringView value;
        if (!decodeText(i + 1, valueEnd, Mode::Attribute, m_scratch, value))
            return Token::Invalid;
        attribute.value = value.toString();
        for (const Attribute &a : m_attributes) {
            if (a.name == attribute.name)
                return fail(valueEnd + 1, QStringLiteral("Attribute '%1' redefined.").arg(attribute.name));
        }
        m_attributes.push_back(std::move(attribute));
        i = valueEnd + 1;
    }
    if (m_depth >= kMaxDepth)
        return fail(m_pos, QStringLiteral("elements nested more than %1 deep").arg(kMaxDepth));
    if (std::size_t(m_depth) == m_open.size()) {
        m_open.emplace_back();
        m_spareNames.emplace_back();
    }
    m_name = m_open[std::size_t(m_depth)] = intern(QStringView(m_buf).sliced(nameBegin, nameEnd - nameBegin));
    ++m_depth;
    m_part = Part::Root;
    m_emptyElement = empty;
    m_pos = i;
    return Token::StartElement;
}

// A file has few element names, each used again and again: kept once rather
// than copied for every element (a hostile file of endless new names gets a
// copy for each element instead).
QStringView XmlScanner::intern(QStringView name)
{
    for (const QString &known : m_names) {
        if (sameText(known, name))
            return known;
    }
    if (m_names.size() < 256)
        return m_names.emplace_back(name.toString());
    return m_spareNames[std::size_t(m_depth)] = name.toString();
}

XmlScanner::Token XmlScanner::scanEndTag()
{
    const qsizetype nameBegin = m_pos + 2;
    // Nearly always the end tag of the open element, written as "</name>".
    if (m_depth > 0) {
        const QStringView open = m_open[std::size_t(m_depth - 1)];
        const qsizetype close = nameBegin + open.size();
        if (has(close) && m_buf[close] == u'>' && sameText(QStringView(m_buf).sliced(nameBegin, open.size()), open)) {
            m_name = open;
            if (--m_depth == 0)
                m_part = Part::Epilog;
            m_pos = close + 1;
            return Token::EndElement;
        }
    }
    const qsizetype nameEnd = scanName(nameBegin);
    if (nameEnd == nameBegin)
        return has(nameBegin) ? fail(nameBegin, QStringLiteral("Expected a name after '</'.")) : endOfInput(nameBegin);
    qsizetype i = nameEnd;
    while (has(i) && isSpace(m_buf[i].unicode()))
        ++i;
    if (!has(i))
        return endOfInput(i);
    if (m_buf[i] != u'>')
        return fail(i, QStringLiteral("Expected '>' to end the tag."));
    ++i;
    const QStringView name = QStringView(m_buf).sliced(nameBegin, nameEnd - nameBegin);
    if (m_depth == 0)
        return fail(i, m_part == Part::Epilog ? QStringLiteral("Extra content at end of document.")
                                              : QStringLiteral("Start tag expected."));
    if (name != m_open[std::size_t(m_depth - 1)])
        return fail(i, QStringLiteral("Opening and ending tag mismatch."));
    m_name = m_open[std::size_t(--m_depth)];
    if (m_depth == 0)
        m_part = Part::Epilog;
    m_pos = i;
    return Token::EndElement;
}

bool XmlScanner::startsAt(qsizetype at, QStringView text)
{
    return has(at + text.size() - 1) && QStringView(m_buf).sliced(at, text.size()) == text;
}

XmlScanner::Token XmlScanner::scanMarkup()
{
    if (startsAt(m_pos, u"<!--"))
        return scanComment();
    if (startsAt(m_pos, u"<![CDATA[")) {
        if (m_part != Part::Root)
            return fail(m_pos, QStringLiteral("CDATA outside the root element."));
        return scanCdata();
    }
    if (startsAt(m_pos, u"<!DOCTYPE"))
        return scanDoctype();
    if (!has(m_pos + 8))
        return endOfInput(m_buf.size());
    return fail(m_pos + 2, QStringLiteral("Unexpected '<!'."));
}

XmlScanner::Token XmlScanner::scanComment()
{
    const qsizetype dashes = find(u"--", m_pos + 4);
    if (dashes < 0)
        return dashes == -1 ? endOfInput(m_buf.size()) : Token::Invalid;
    if (!has(dashes + 2))
        return endOfInput(dashes + 2);
    if (m_buf[dashes + 2] != u'>')
        return fail(dashes + 2, QStringLiteral("'--' inside a comment."));
    if (!checkCharacters(m_pos + 4, dashes))
        return Token::Invalid;
    m_text = QStringView(m_buf).sliced(m_pos + 4, dashes - m_pos - 4);
    m_pos = dashes + 3;
    return Token::Comment;
}

XmlScanner::Token XmlScanner::scanCdata()
{
    const qsizetype close = find(u"]]>", m_pos + 9);
    if (close < 0)
        return close == -1 ? endOfInput(m_buf.size()) : Token::Invalid;
    QStringView text;
    if (!decodeText(m_pos + 9, close, Mode::Cdata, m_scratch, text))
        return Token::Invalid;
    m_text = text;
    m_pos = close + 3;
    return Token::Characters;
}

// Read for its form and whether it names a document type outside the file;
// one with declarations of its own (an internal subset) is refused: no
// library file has one, and what it declares is not read.
XmlScanner::Token XmlScanner::scanDoctype()
{
    qsizetype i = m_pos + 9;
    auto spaces = [&] {
        const qsizetype from = i;
        while (has(i) && isSpace(m_buf[i].unicode()))
            ++i;
        return i > from;
    };
    auto literal = [&](bool publicId) -> Token {
        if (!has(i))
            return endOfInput(i);
        const QChar quote = m_buf[i];
        if (quote != u'"' && quote != u'\'')
            return fail(i, QStringLiteral("Expected a quoted literal in the document type."));
        const qsizetype close = find(quote, i + 1);
        if (close < 0)
            return close == -1 ? endOfInput(m_buf.size()) : Token::Invalid;
        for (qsizetype k = i + 1; k < close; ++k) {
            const char16_t c = m_buf[k].unicode();
            const bool good = publicId ? (c == u' ' || c == u'\r' || c == u'\n' || (c >= u'a' && c <= u'z') ||
                                          (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                                          QStringView(u"-'()+,./:=?;!*#@$_%").contains(QChar(c)))
                                       : c != u'<' && !isForbidden(c);
            if (!good)
                return fail(k, QStringLiteral("Unexpected '%1' in the document type.").arg(QChar(c)));
        }
        i = close + 1;
        return Token::NoToken;
    };
    if (!spaces())
        return has(i) ? fail(i, QStringLiteral("Expected white space after DOCTYPE.")) : endOfInput(i);
    const qsizetype nameEnd = scanName(i);
    if (nameEnd == i)
        return has(i) ? fail(i, QStringLiteral("Expected the document type's name.")) : endOfInput(i);
    i = nameEnd;
    bool external = false;
    if (spaces() && (startsAt(i, u"SYSTEM") || startsAt(i, u"PUBLIC"))) {
        const bool publicId = m_buf[i] == u'P';
        i += 6;
        external = true;
        if (!spaces())
            return has(i) ? fail(i, QStringLiteral("Expected white space in the document type.")) : endOfInput(i);
        if (publicId) {
            if (const Token t = literal(true); t != Token::NoToken)
                return t;
            if (!spaces())
                return has(i) ? fail(i, QStringLiteral("Expected white space in the document type.")) : endOfInput(i);
        }
        if (const Token t = literal(false); t != Token::NoToken)
            return t;
        spaces();
    }
    if (!has(i))
        return endOfInput(i);
    if (m_buf[i] == u'[')
        return fail(i, QStringLiteral("The document type declares entities or elements of its own; a library "
                                      "file has none, and they are not read."));
    if (m_buf[i] != u'>')
        return fail(i, QStringLiteral("Expected '>' to end the document type."));
    ++i;
    if (m_part == Part::Prolog)
        m_externalDtd = m_externalDtd || external;
    m_text = QStringView(m_buf).sliced(m_pos, i - m_pos);
    m_pos = i;
    return Token::Dtd;
}

XmlScanner::Token XmlScanner::scanProcessingInstruction()
{
    const qsizetype targetBegin = m_pos + 2;
    const qsizetype targetEnd = scanName(targetBegin);
    if (targetEnd == targetBegin)
        return has(targetBegin) ? fail(targetBegin, QStringLiteral("Expected a name after '<?'."))
                                : endOfInput(targetBegin);
    const qsizetype close = find(u"?>", targetEnd);
    if (close < 0)
        return close == -1 ? endOfInput(m_buf.size()) : Token::Invalid;
    if (close > targetEnd && !isSpace(m_buf[targetEnd].unicode()))
        return fail(targetEnd, QStringLiteral("Expected white space after the processing instruction's name."));
    const QStringView target = QStringView(m_buf).sliced(targetBegin, targetEnd - targetBegin);
    if (target.compare(u"xml", Qt::CaseInsensitive) == 0) {
        if (target != u"xml")
            return fail(targetEnd, QStringLiteral("Invalid processing instruction name."));
        if (!m_atStart || m_base + m_pos != 0)
            return fail(close + 2, QStringLiteral("XML declaration not at start of document."));
        if (!checkDeclaration(targetEnd, close))
            return Token::Invalid;
        m_pos = close + 2;
        return Token::NoToken;
    }
    if (!checkCharacters(targetEnd, close))
        return Token::Invalid;
    m_name = target;
    qsizetype dataBegin = targetEnd;
    while (dataBegin < close && isSpace(m_buf[dataBegin].unicode()))
        ++dataBegin;
    m_text = QStringView(m_buf).sliced(dataBegin, close - dataBegin);
    m_pos = close + 2;
    return Token::ProcessingInstruction;
}

// version="1.x", then optionally encoding="name" and standalone="yes|no".
bool XmlScanner::checkDeclaration(qsizetype begin, qsizetype end)
{
    const QStringView view = QStringView(m_buf).sliced(begin, end - begin);
    qsizetype i = 0;
    int seen = 0;
    const QStringView names[] = {u"version", u"encoding", u"standalone"};
    while (true) {
        const qsizetype before = i;
        while (i < view.size() && isSpace(view[i].unicode()))
            ++i;
        if (i == view.size())
            break;
        int which = -1;
        for (int n = seen; n < 3 && which < 0; ++n) {
            if (i > before && view.sliced(i).startsWith(names[n]))
                which = n;
        }
        if (which < 0 || (seen == 0 && which != 0))
            break;
        i += names[which].size();
        while (i < view.size() && isSpace(view[i].unicode()))
            ++i;
        if (i == view.size() || view[i] != u'=')
            break;
        ++i;
        while (i < view.size() && isSpace(view[i].unicode()))
            ++i;
        if (i == view.size() || (view[i] != u'"' && view[i] != u'\''))
            break;
        const qsizetype close = view.indexOf(view[i], i + 1);
        if (close < 0)
            break;
        const QStringView value = view.sliced(i + 1, close - i - 1);
        const bool good =
            which == 0 ? value.size() >= 3 && value.startsWith(u"1.") &&
                             std::all_of(value.begin() + 2, value.end(), [](QChar c) { return c.isDigit(); })
            : which == 1 ? !value.isEmpty() && value[0].isLetter() && value[0].unicode() < 0x80 &&
                               std::all_of(value.begin(), value.end(),
                                           [](QChar c) {
                                               return c.unicode() < 0x80 &&
                                                      (c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'-');
                                           })
                         : value == u"yes" || value == u"no";
        if (!good)
            break;
        seen = which + 1;
        i = close + 1;
    }
    if (seen > 0 && i == view.size())
        return true;
    fail(begin + i, QStringLiteral("The XML declaration is not well-formed."));
    return false;
}

} // namespace tidyfox::library
