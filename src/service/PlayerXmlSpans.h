// SPDX-License-Identifier: GPL-3.0-or-later
// A player's XML file as bytes: where each element of interest begins and
// ends, so that a change replaces or drops just those bytes and leaves every
// other byte of the file as it was. The scan knows only what XML needs to
// find tags (comments, processing instructions, CDATA, quoted attributes);
// it checks that tags pair up and says where they do not.
#pragma once

#include "common/Error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace tidyfox::library {

// A file that cannot be read as the player writes it, with the place.
class PlayerFileError : public Error
{
public:
    PlayerFileError(qint64 line, qint64 column, const QString &message, const QString &fileName = {})
        : Error(message), m_line(line), m_column(column), m_fileName(fileName)
    {}
    qint64 line() const { return m_line; }
    qint64 column() const { return m_column; }
    QString message() const { return description(); }
    // "FILE:LINE:COLUMN: message" (the place left out when there is none);
    // the file is the one the error names, if it names one.
    QString describe(const QString &fileName = {}) const;

private:
    qint64 m_line;
    qint64 m_column;
    QString m_fileName;
};

// The line and column (from 1, in characters) of a byte offset.
std::pair<qint64, qint64> placeOf(QByteArrayView doc, qsizetype offset);

struct ElementSpan
{
    qsizetype begin = 0;    // the element's line when it is alone on it, with the indentation
    qsizetype end = 0;      // ... and its line break; otherwise the tag's bounds
    qsizetype tagBegin = 0; // '<' of the start tag
    qsizetype tagEnd = 0;   // past the '>' of the end tag
    qsizetype contentBegin = 0;
    qsizetype contentEnd = 0; // content: between the tags (empty for <a/>)
};

// The elements named name directly under the document's root (depth 1), in
// order; rootName, when given, is checked. Throws PlayerFileError for tags
// that do not pair up or a root of another name.
std::vector<ElementSpan> rootChildren(QByteArrayView doc, QByteArrayView name, QByteArrayView rootName = {});
// The elements named name directly under the element that starts the text.
std::vector<ElementSpan> childrenOf(QByteArrayView element, QByteArrayView name);
// Where the root element's end tag begins (its line, when alone on it).
qsizetype rootEndTag(QByteArrayView doc);

// An attribute of the start tag at the beginning of element, unescaped.
std::optional<QString> startTagAttribute(QByteArrayView element, QByteArrayView name);
// The unescaped text of the first child element named name.
std::optional<QString> childText(QByteArrayView element, QByteArrayView name);

// The element with its child name set to text (replaced in place, or added as
// the last child on a line of its own), or dropped when text is nullopt.
QByteArray withChildText(QByteArrayView element, QByteArrayView name, const std::optional<QString> &text);

QString unescapeXml(QByteArrayView text);
QByteArray escapeXml(const QString &text);

} // namespace tidyfox::library
