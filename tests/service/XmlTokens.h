// SPDX-License-Identifier: GPL-3.0-or-later
// The tokens of an XML text as the library's scanner reads it and as Qt's
// stream reader does, in one form, so that the two can be compared: the
// scanner must read every file as the plain reader it replaced did.
#pragma once

#include "service/XmlScanner.h"

#include <QBuffer>
#include <QStringList>
#include <QXmlStreamReader>

namespace tidyfox::library::test {

// Consecutive texts are one (readers split text differently); "ERROR" ends a
// file that is not well-formed (the scanner's with its message), "END" one
// that is.
class TokenList
{
public:
    void text(QStringView t) { m_text += t; }
    void token(const QString &t)
    {
        flush();
        m_tokens << t;
    }
    QStringList take()
    {
        flush();
        return std::move(m_tokens);
    }

private:
    void flush()
    {
        if (!m_text.isEmpty())
            m_tokens << QLatin1Char('C') + m_text;
        m_text.clear();
    }
    QStringList m_tokens;
    QString m_text;
};

inline QString place(qint64 line, qint64 column)
{
    return QStringLiteral("%1:%2 ").arg(line).arg(column);
}

inline QStringList qtReaderTokens(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&buffer);
    TokenList out;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            QString t = QLatin1Char('S') + place(reader.lineNumber(), reader.columnNumber()) + reader.name().toString();
            for (const QXmlStreamAttribute &a : reader.attributes())
                t += QLatin1Char(' ') + a.name().toString() + QLatin1Char('=') + a.value().toString();
            out.token(t);
            break;
        }
        case QXmlStreamReader::EndElement:
            out.token(QLatin1Char('E') + place(reader.lineNumber(), reader.columnNumber()) + reader.name().toString());
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            out.text(reader.text());
            break;
        case QXmlStreamReader::Comment:
            out.token(QLatin1Char('M') + reader.text().toString());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            out.token(QLatin1Char('P') + reader.processingInstructionTarget().toString() + QLatin1Char('|') +
                      reader.processingInstructionData().toString());
            break;
        case QXmlStreamReader::DTD:
            out.token(QStringLiteral("D"));
            break;
        default:
            break;
        }
    }
    out.token(reader.hasError() ? QStringLiteral("ERROR") : QStringLiteral("END"));
    return out.take();
}

inline QStringList scannerTokens(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    XmlScanner scanner;
    scanner.setDevice(&buffer);
    TokenList out;
    while (!scanner.atEnd()) {
        switch (scanner.readNext()) {
        case XmlScanner::Token::StartElement: {
            QString t =
                QLatin1Char('S') + place(scanner.lineNumber(), scanner.columnNumber()) + scanner.name().toString();
            for (const XmlScanner::Attribute &a : scanner.attributes())
                t += QLatin1Char(' ') + a.name + QLatin1Char('=') + a.value;
            out.token(t);
            break;
        }
        case XmlScanner::Token::EndElement:
            out.token(QLatin1Char('E') + place(scanner.lineNumber(), scanner.columnNumber()) +
                      scanner.name().toString());
            break;
        case XmlScanner::Token::Characters:
            out.text(scanner.text());
            break;
        case XmlScanner::Token::Comment:
            out.token(QLatin1Char('M') + scanner.text().toString());
            break;
        case XmlScanner::Token::ProcessingInstruction:
            out.token(QLatin1Char('P') + scanner.name().toString() + QLatin1Char('|') + scanner.text().toString());
            break;
        case XmlScanner::Token::Dtd:
            out.token(QStringLiteral("D"));
            break;
        default:
            break;
        }
    }
    out.token(scanner.hasError() ? QStringLiteral("ERROR ") + scanner.errorString() : QStringLiteral("END"));
    return out.take();
}

} // namespace tidyfox::library::test
