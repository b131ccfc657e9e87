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

// One line a token, consecutive texts as one (readers split text
// differently); the last line is "ERROR" for a file that is not well-formed
// (the scanner's with its message) and "END" for one that is.
class TokenList
{
public:
    void text(QStringView t) { m_text += t; }
    // kind, then the place when there is one, then the texts.
    void token(char kind, qint64 line, qint64 column, QStringView a = {}, QStringView b = {})
    {
        flush();
        m_out += QLatin1Char(kind);
        if (line >= 0) {
            m_out += QString::number(line);
            m_out += QLatin1Char(':');
            m_out += QString::number(column);
            m_out += QLatin1Char(' ');
        }
        m_out += a;
        if (!b.isEmpty()) {
            m_out += QLatin1Char('|');
            m_out += b;
        }
        m_out += QLatin1Char('\n');
    }
    // The scanner hands out a comment as it stands in the file, line ends
    // and all (the imports never read one); Qt's reader turns CR LF into LF.
    void comment(QStringView t)
    {
        QString text = t.toString();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        token('M', -1, 0, text);
    }
    void attribute(QStringView name, QStringView value)
    {
        m_out += u" @";
        m_out += name;
        m_out += QLatin1Char('=');
        m_out += value;
        m_out += QLatin1Char('\n');
    }
    void end(QStringView what)
    {
        flush();
        m_out += what;
        m_out += QLatin1Char('\n');
    }
    QString take()
    {
        flush();
        return std::move(m_out);
    }

private:
    void flush()
    {
        if (m_text.isEmpty())
            return;
        m_out += QLatin1Char('C');
        m_out += m_text;
        m_out += QLatin1Char('\n');
        m_text.clear();
    }
    QString m_out;
    QString m_text;
};

inline QStringView lastToken(const QString &tokens)
{
    const QStringView view = QStringView(tokens).chopped(1);
    return view.sliced(view.lastIndexOf(u'\n') + 1);
}

inline bool refused(const QString &tokens)
{
    return lastToken(tokens).startsWith(u"ERROR");
}

// Where two token lists part, for a message; empty when they are equal.
inline std::string firstDifference(const QString &ours, const QString &theirs)
{
    if (ours == theirs)
        return {};
    qsizetype i = 0;
    while (i < ours.size() && i < theirs.size() && ours[i] == theirs[i])
        ++i;
    const qsizetype from = QStringView(ours).first(i).lastIndexOf(u'\n') + 1;
    return QStringLiteral("\"%1\" where the other has \"%2\"")
        .arg(ours.mid(from, 120), theirs.mid(from, 120))
        .toStdString();
}

inline QString qtReaderTokens(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&buffer);
    TokenList out;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            out.token('S', reader.lineNumber(), reader.columnNumber(), reader.name());
            for (const QXmlStreamAttribute &a : reader.attributes())
                out.attribute(a.name(), a.value());
            break;
        case QXmlStreamReader::EndElement:
            out.token('E', reader.lineNumber(), reader.columnNumber(), reader.name());
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            out.text(reader.text());
            break;
        case QXmlStreamReader::Comment:
            out.comment(reader.text());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            out.token('P', -1, 0, reader.processingInstructionTarget(), reader.processingInstructionData());
            break;
        case QXmlStreamReader::DTD:
            out.token('D', -1, 0);
            break;
        default:
            break;
        }
    }
    out.end(reader.hasError() ? u"ERROR" : u"END");
    return out.take();
}

inline QString scannerTokens(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    XmlScanner scanner;
    scanner.setDevice(&buffer);
    TokenList out;
    while (!scanner.atEnd()) {
        switch (scanner.readNext()) {
        case XmlScanner::Token::StartElement:
            out.token('S', scanner.lineNumber(), scanner.columnNumber(), scanner.name());
            for (const XmlScanner::Attribute &a : scanner.attributes())
                out.attribute(a.name, a.value);
            break;
        case XmlScanner::Token::EndElement:
            out.token('E', scanner.lineNumber(), scanner.columnNumber(), scanner.name());
            break;
        case XmlScanner::Token::Characters:
            out.text(scanner.text());
            break;
        case XmlScanner::Token::Comment:
            out.comment(scanner.text());
            break;
        case XmlScanner::Token::ProcessingInstruction:
            out.token('P', -1, 0, scanner.name(), scanner.text());
            break;
        case XmlScanner::Token::Dtd:
            out.token('D', -1, 0);
            break;
        default:
            break;
        }
    }
    out.end(scanner.hasError() ? QString(QStringLiteral("ERROR ") + scanner.errorString()) : QStringLiteral("END"));
    return out.take();
}

} // namespace tidyfox::library::test
