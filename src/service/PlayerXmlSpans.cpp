// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PlayerXmlSpans.h"

#include <cstring>

namespace tidyfox::library {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

[[noreturn]] void failAt(QByteArrayView doc, qsizetype offset, const QString &message)
{
    const auto [line, column] = placeOf(doc, offset);
    throw PlayerFileError(line, column, message);
}

qsizetype find(QByteArrayView doc, QByteArrayView what, qsizetype from)
{
    return doc.indexOf(what, from);
}

// Past the '>' that ends the tag starting at lt, stepping over quoted values.
qsizetype tagClose(QByteArrayView doc, qsizetype lt)
{
    char quote = 0;
    for (qsizetype i = lt + 1; i < doc.size(); ++i) {
        const char c = doc[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        } else if (c == '<') {
            failAt(doc, i, QStringLiteral("a tag is not closed before the next one begins"));
        }
    }
    failAt(doc, lt, QStringLiteral("the file ends inside a tag"));
}

QByteArrayView tagName(QByteArrayView doc, qsizetype nameBegin, qsizetype close)
{
    qsizetype e = nameBegin;
    while (e < close && !isSpace(doc[e]) && doc[e] != '/' && doc[e] != '>')
        ++e;
    return doc.sliced(nameBegin, e - nameBegin);
}

void widenToLine(QByteArrayView doc, ElementSpan &span)
{
    qsizetype b = span.tagBegin;
    while (b > 0 && (doc[b - 1] == ' ' || doc[b - 1] == '\t'))
        --b;
    qsizetype e = span.tagEnd;
    while (e < doc.size() && (doc[e] == ' ' || doc[e] == '\t' || doc[e] == '\r'))
        ++e;
    const bool aloneOnLine = (b == 0 || doc[b - 1] == '\n') && (e == doc.size() || doc[e] == '\n');
    span.begin = aloneOnLine ? b : span.tagBegin;
    span.end = aloneOnLine ? std::min(e + 1, doc.size()) : span.tagEnd;
}

// Walks the first element of doc and its descendants; collects the children
// named name and returns where the element's end tag begins.
qsizetype scan(QByteArrayView doc, QByteArrayView name, QByteArrayView rootName, std::vector<ElementSpan> *out)
{
    std::vector<QByteArrayView> open;
    ElementSpan current;
    bool inMatch = false;
    qsizetype pos = 0;
    while (true) {
        const qsizetype lt = doc.indexOf('<', pos);
        if (lt < 0)
            break;
        const QByteArrayView rest = doc.sliced(lt);
        if (rest.startsWith("<?")) {
            const qsizetype e = find(doc, "?>", lt + 2);
            if (e < 0)
                failAt(doc, lt, QStringLiteral("the file ends inside a processing instruction"));
            pos = e + 2;
            continue;
        }
        if (rest.startsWith("<!--")) {
            const qsizetype e = find(doc, "-->", lt + 4);
            if (e < 0)
                failAt(doc, lt, QStringLiteral("the file ends inside a comment"));
            pos = e + 3;
            continue;
        }
        if (rest.startsWith("<![CDATA[")) {
            const qsizetype e = find(doc, "]]>", lt + 9);
            if (e < 0)
                failAt(doc, lt, QStringLiteral("the file ends inside a CDATA section"));
            pos = e + 3;
            continue;
        }
        if (rest.startsWith("<!")) {
            pos = tagClose(doc, lt);
            continue;
        }
        if (rest.startsWith("</")) {
            const qsizetype close = tagClose(doc, lt);
            const QByteArrayView tag = tagName(doc, lt + 2, close);
            if (open.empty())
                failAt(doc, lt, QStringLiteral("</%1> closes nothing").arg(QString::fromUtf8(tag)));
            if (tag != open.back())
                failAt(doc, lt,
                       QStringLiteral("</%1> where </%2> was expected")
                           .arg(QString::fromUtf8(tag), QString::fromUtf8(open.back())));
            open.pop_back();
            if (open.size() == 1 && inMatch) {
                current.contentEnd = lt;
                current.tagEnd = close;
                widenToLine(doc, current);
                out->push_back(current);
                inMatch = false;
            }
            if (open.empty())
                return lt;
            pos = close;
            continue;
        }
        const qsizetype close = tagClose(doc, lt);
        const QByteArrayView tag = tagName(doc, lt + 1, close);
        if (tag.isEmpty())
            failAt(doc, lt, QStringLiteral("a '<' that starts no tag"));
        const bool empty = doc[close - 2] == '/';
        if (open.empty() && !rootName.isEmpty() && tag != rootName)
            failAt(doc, lt,
                   QStringLiteral("the root element is <%1>, not <%2>")
                       .arg(QString::fromUtf8(tag), QString::fromUtf8(rootName)));
        if (open.size() == 1 && out && tag == name) {
            current = ElementSpan{};
            current.tagBegin = lt;
            current.contentBegin = close;
            if (empty) {
                current.contentEnd = close;
                current.tagEnd = close;
                widenToLine(doc, current);
                out->push_back(current);
            } else {
                inMatch = true;
            }
        }
        if (!empty)
            open.push_back(tag);
        else if (open.empty())
            return lt; // a root with nothing in it
        pos = close;
    }
    if (!open.empty())
        failAt(doc, doc.size(),
               QStringLiteral("the file ends inside <%1>: it is cut short").arg(QString::fromUtf8(open.back())));
    failAt(doc, doc.size(), QStringLiteral("there is no element in the file"));
}

} // namespace

QString PlayerFileError::describe(const QString &defaultName) const
{
    const QString &fileName = m_fileName.isEmpty() ? defaultName : m_fileName;
    if (m_line <= 0)
        return QStringLiteral("%1: %2").arg(fileName, message());
    return QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(m_line).arg(m_column).arg(message());
}

std::pair<qint64, qint64> placeOf(QByteArrayView doc, qsizetype offset)
{
    offset = std::min(offset, doc.size());
    qint64 line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = doc.indexOf('\n'); i >= 0 && i < offset; i = doc.indexOf('\n', i + 1)) {
        ++line;
        lineStart = i + 1;
    }
    qint64 column = 1;
    for (qsizetype i = lineStart; i < offset; ++i) {
        if ((static_cast<unsigned char>(doc[i]) & 0xC0) != 0x80)
            ++column;
    }
    return {line, column};
}

std::vector<ElementSpan> rootChildren(QByteArrayView doc, QByteArrayView name, QByteArrayView rootName)
{
    std::vector<ElementSpan> result;
    scan(doc, name, rootName, &result);
    return result;
}

std::vector<ElementSpan> childrenOf(QByteArrayView element, QByteArrayView name)
{
    return rootChildren(element, name);
}

qsizetype rootEndTag(QByteArrayView doc)
{
    const qsizetype lt = scan(doc, {}, {}, nullptr);
    qsizetype b = lt;
    while (b > 0 && (doc[b - 1] == ' ' || doc[b - 1] == '\t'))
        --b;
    return b == 0 || doc[b - 1] == '\n' ? b : lt;
}

std::optional<QString> startTagAttribute(QByteArrayView element, QByteArrayView name)
{
    const qsizetype lt = element.indexOf('<');
    if (lt < 0)
        return std::nullopt;
    const qsizetype close = tagClose(element, lt);
    qsizetype i = lt + 1 + tagName(element, lt + 1, close).size();
    while (i < close) {
        while (i < close && isSpace(element[i]))
            ++i;
        const qsizetype nameBegin = i;
        while (i < close && element[i] != '=' && !isSpace(element[i]) && element[i] != '>' && element[i] != '/')
            ++i;
        const QByteArrayView attribute = element.sliced(nameBegin, i - nameBegin);
        while (i < close && isSpace(element[i]))
            ++i;
        if (i >= close || element[i] != '=')
            return std::nullopt;
        ++i;
        while (i < close && isSpace(element[i]))
            ++i;
        if (i >= close || (element[i] != '"' && element[i] != '\''))
            return std::nullopt;
        const char quote = element[i];
        const qsizetype valueEnd = element.indexOf(quote, i + 1);
        if (valueEnd < 0)
            return std::nullopt;
        if (attribute == name)
            return unescapeXml(element.sliced(i + 1, valueEnd - i - 1));
        i = valueEnd + 1;
    }
    return std::nullopt;
}

std::optional<QString> childText(QByteArrayView element, QByteArrayView name)
{
    // A child's start tag as the player writes it, found without a walk;
    // the walk confirms it is a child and not text that looks like one.
    const QByteArray plain = '<' + name.toByteArray() + '>';
    if (!element.contains(plain) && !element.contains('<' + name.toByteArray() + '/'))
        return std::nullopt;
    const auto children = childrenOf(element, name);
    if (children.empty())
        return std::nullopt;
    const ElementSpan &c = children.front();
    return unescapeXml(element.sliced(c.contentBegin, c.contentEnd - c.contentBegin));
}

QByteArray withChildText(QByteArrayView element, QByteArrayView name, const std::optional<QString> &text)
{
    const auto children = childrenOf(element, name);
    QByteArray result = element.toByteArray();
    if (!children.empty()) {
        const ElementSpan &c = children.front();
        if (!text)
            return result.remove(c.begin, c.end - c.begin);
        if (c.contentBegin == c.tagEnd) // <name/>
            return result.replace(c.tagBegin, c.tagEnd - c.tagBegin,
                                  '<' + name.toByteArray() + '>' + escapeXml(*text) + "</" + name.toByteArray() + '>');
        return result.replace(c.contentBegin, c.contentEnd - c.contentBegin, escapeXml(*text));
    }
    if (!text)
        return result;
    const QByteArray child = '<' + name.toByteArray() + '>' + escapeXml(*text) + "</" + name.toByteArray() + '>';
    const qsizetype closeAt = rootEndTag(element);
    if (closeAt == 0 || element[closeAt - 1] != '\n')
        return result.insert(closeAt, child);
    // On a line of its own, indented as the child before it (or one step
    // deeper than the element when it has none).
    const qsizetype previousLine = element.lastIndexOf('\n', closeAt - 2) + 1;
    qsizetype indentEnd = previousLine;
    while (indentEnd < closeAt && (element[indentEnd] == ' ' || element[indentEnd] == '\t'))
        ++indentEnd;
    QByteArray indent = element.sliced(previousLine, indentEnd - previousLine).toByteArray();
    if (previousLine == 0 || element.indexOf('<') >= previousLine)
        indent += "  ";
    return result.insert(closeAt, indent + child + '\n');
}

QString unescapeXml(QByteArrayView text)
{
    if (!text.contains('&'))
        return QString::fromUtf8(text);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const qsizetype semi = text.indexOf(';', i);
        if (semi < 0) {
            out += text.sliced(i);
            break;
        }
        const QByteArrayView entity = text.sliced(i + 1, semi - i - 1);
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity.startsWith('#')) {
            bool ok = false;
            const uint code = entity.startsWith("#x") ? entity.sliced(2).toUInt(&ok, 16) : entity.sliced(1).toUInt(&ok);
            if (!ok || code > 0x10FFFF) {
                out += text.sliced(i, semi - i + 1);
            } else {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1).toUtf8();
            }
        } else {
            out += text.sliced(i, semi - i + 1);
        }
        i = semi;
    }
    return QString::fromUtf8(out);
}

QByteArray escapeXml(const QString &text)
{
    QByteArray out = text.toUtf8();
    if (!out.contains('&') && !out.contains('<') && !out.contains('>') && !out.contains('"'))
        return out;
    out.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace("\"", "&quot;");
    return out;
}

} // namespace tidyfox::library
