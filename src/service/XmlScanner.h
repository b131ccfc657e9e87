// SPDX-License-Identifier: GPL-3.0-or-later
// A pull reader for the XML of library files: one token at a time from a
// device read in chunks, so memory does not grow with the file, with the line
// and column (in characters) where reading stands. It checks what makes a
// file well-formed (tags that pair up, names, attributes, references,
// characters, the encoding) and reads no document type: one with
// declarations of its own is refused, and a reference to an entity that a
// document type outside the file would declare is left out, as a reader that
// does not fetch that document type leaves it.
//
// The file is decoded to UTF-16 a chunk at a time and tokens are views into
// that text: a library of a million tracks is over a billion characters, and
// building a string per character or per token was most of an import's time.
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <vector>

namespace tidyfox::library {

// Whether two short texts (element names, keys) are the same, compared in
// place: Qt's comparison is a call into the library, and an import makes
// tens of millions of them.
inline bool sameText(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

class XmlScanner
{
public:
    enum class Token {
        NoToken,
        StartElement,
        EndElement,
        Characters,
        Comment,
        ProcessingInstruction,
        Dtd,
        EndDocument,
        Invalid,
    };
    enum class Fault { None, PrematureEnd, NotWellFormed };
    struct Attribute
    {
        QString name;
        QString value;
    };

    XmlScanner() = default;
    XmlScanner(const XmlScanner &) = delete;
    XmlScanner &operator=(const XmlScanner &) = delete;

    // Starts reading device from its current position; nullptr stops.
    void setDevice(QIODevice *device);

    Token readNext();
    // To the next start element inside the current element: false at its
    // end (or on an error).
    bool readNextStartElement();
    // Past the end of the current element.
    void skipCurrentElement();
    // The text of the current element up to its end; its children's text too
    // when includeChildren, else a child element is an error.
    QString readElementText(bool includeChildren = false);

    // Where reading stands, for a second reading of the same device to come
    // back to without scanning what lies before it again; byte is -1 when
    // that cannot be (text in another encoding than UTF-8).
    struct Mark
    {
        qint64 byte = -1;
        qint64 character = 0;
        qint64 line = 1;
        qint64 lineStart = 0;
        qsizetype depth = 0;
    };
    // Taken right after an end tag.
    Mark mark();
    // At the start tag of an element that a first reading of the same device
    // read whole, with mark taken right after its end: goes past its end at
    // once, as skipCurrentElement would. False (nothing done) when it cannot.
    bool skipTo(const Mark &mark);

    Token tokenType() const { return m_type; }
    // Valid until the next call that reads.
    QStringView name() const { return m_name; }
    QStringView text() const { return m_text; }
    bool isWhitespace() const;
    const std::vector<Attribute> &attributes() const { return m_attributes; }
    QString attribute(QStringView name) const;
    QString tokenString() const;

    bool atEnd() const { return m_type == Token::EndDocument || m_type == Token::Invalid; }
    bool hasError() const { return m_fault != Fault::None; }
    Fault fault() const { return m_fault; }
    QString errorString() const { return m_error; }
    // Where reading stands: past the current token (or where the fault is).
    // Lines from 1; columns count the characters before it on its line.
    qint64 lineNumber();
    qint64 columnNumber();

private:
    enum class Part { Prolog, Root, Epilog };

    bool fill();
    bool has(qsizetype index);
    void compact();
    void sniffEncoding();
    void countLinesTo(qsizetype index);

    Token fail(qsizetype at, const QString &message, Fault fault = Fault::NotWellFormed);
    Token endOfInput(qsizetype at);
    Token scanText();
    Token scanStartTag();
    Token scanEndTag();
    Token scanMarkup();
    Token scanComment();
    Token scanCdata();
    Token scanDoctype();
    Token scanProcessingInstruction();
    bool checkDeclaration(qsizetype begin, qsizetype end);
    bool startsAt(qsizetype at, QStringView text);

    template<typename Needle> qsizetype findIn(Needle what, qsizetype length, qsizetype from);
    qsizetype find(QStringView what, qsizetype from);
    qsizetype find(QChar what, qsizetype from);
    qsizetype scanName(qsizetype at);
    bool appendReference(qsizetype &at, qsizetype end, QString &out);
    bool checkCharacters(qsizetype begin, qsizetype end);
    enum class Mode { Text, Attribute, Cdata };
    bool decodeText(qsizetype begin, qsizetype end, Mode mode, QString &scratch, QStringView &result);

    QIODevice *m_device = nullptr;
    QStringDecoder m_decoder;
    bool m_sniffed = false;
    bool m_deviceDone = false;
    bool m_badEncoding = false; // the input stops where it could not be decoded
    bool m_utf8 = true;
    // The last bytes read, for how many of them the decoder holds back as
    // the start of a character the next chunk ends.
    char m_tail[4] = {};
    int m_tailSize = 0;
    int heldBackBytes() const;
    QByteArray m_raw;
    QString m_buf;
    qsizetype m_pos = 0;
    qint64 m_base = 0; // characters of the file before m_buf

    qint64 m_line = 1;
    qint64 m_lineStart = 0; // where the current line begins in the file
    qsizetype m_counted = 0;
    qsizetype m_faultAt = -1; // index of a fault, for its place

    Part m_part = Part::Prolog;
    bool m_atStart = true;
    bool m_externalDtd = false;
    bool m_emptyElement = false;
    QStringView intern(QStringView name);
    std::vector<QString> m_names;
    std::vector<QString> m_spareNames; // by depth
    std::vector<QStringView> m_open;
    qsizetype m_depth = 0;

    Token m_type = Token::NoToken;
    Fault m_fault = Fault::None;
    QString m_error;
    QStringView m_name;
    QStringView m_text;
    QString m_scratch;
    std::vector<Attribute> m_attributes;
};

} // namespace tidyfox::library
