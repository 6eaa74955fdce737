#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <cstring>
#include <utility>

// Cuts the server's byte stream into lines. A line ends at LF; one CR directly before the LF is dropped.
// The unterminated tail is kept as bytes between feeds, so a line the network splits across reads is
// joined again and only complete lines are decoded.
//
// Memory stays bounded whatever the server sends: a line with more than kMaxLineLength bytes before its LF
// is discarded whole, up to and including that LF, whether it arrives in one piece or in many.
class LineFramer {
public:
    static constexpr qsizetype kMaxLineLength = 4096;

    // Calls onLine(QByteArrayView rawLine) for every line completed by these bytes, in order. The view is
    // valid only during the call.
    template <class F> void feed(QByteArrayView bytes, F &&onLine)
    {
        // The last line is kept once these bytes are framed, not line by line (the drain of a burst).
        QByteArrayView lastHere;
        const char *data = bytes.data();
        qsizetype left = bytes.size();
        while (left > 0) {
            const auto *lf =
                static_cast<const char *>(std::memchr(data, '\n', static_cast<std::size_t>(left)));
            if (!lf) {
                keepTail(QByteArrayView(data, left));
                break;
            }
            const qsizetype length = lf - data;
            const QByteArrayView piece(data, length);
            data += length + 1;
            left -= length + 1;

            if (m_discarding) {
                m_discarding = false;
                continue;
            }
            if (m_tail.isEmpty()) {
                if (length <= kMaxLineLength) {
                    const QByteArrayView line = withoutCr(piece);
                    onLine(line);
                    if (!isBlank(line))
                        lastHere = line;
                }
                continue;
            }
            if (m_tail.size() + length <= kMaxLineLength) {
                m_tail.append(piece);
                const QByteArrayView line = withoutCr(QByteArrayView(m_tail));
                onLine(line);
                if (!isBlank(line))
                    keepLastLine(line); // now: the tail is reused below
            }
            m_tail.resize(0); // keeps the capacity for the next split line
        }
        if (!lastHere.isEmpty())
            keepLastLine(lastHere);
    }

    // Forgets the unterminated tail and the last line (a new connection starts with a fresh stream).
    void clear()
    {
        m_tail.resize(0);
        m_lastLine.resize(0);
        m_discarding = false;
    }

    // Bytes of the unterminated line held back; never more than kMaxLineLength.
    qsizetype pendingSize() const { return m_tail.size(); }
    QByteArrayView pending() const { return m_tail; }
    // The last complete line that was not blank, without its line end.
    QByteArrayView lastLine() const { return m_lastLine; }

private:
    static QByteArrayView withoutCr(QByteArrayView line)
    {
        return line.endsWith('\r') ? line.chopped(1) : line;
    }

    static bool isBlank(QByteArrayView line)
    {
        return std::all_of(line.begin(), line.end(),
                           [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
    }

    void keepLastLine(QByteArrayView line)
    {
        m_lastLine.resize(0); // keeps the capacity
        m_lastLine.append(line);
    }

    void keepTail(QByteArrayView bytes)
    {
        if (m_discarding)
            return;
        if (m_tail.size() + bytes.size() > kMaxLineLength) {
            m_tail.resize(0);
            m_discarding = true;
            return;
        }
        m_tail.append(bytes);
    }

    QByteArray m_tail;
    QByteArray m_lastLine;
    bool m_discarding = false;
};

// Turns one raw line into text: UTF-8 when the bytes are valid UTF-8, else Latin-1 (one character per
// byte, so nothing is ever lost in decoding). C0 control characters other than TAB, and DEL, are removed
// afterwards: cluster software ends spot lines with BEL BEL, and other controls would only garble the
// message window.
QString decodeLine(QByteArrayView raw);
// The same, appended to text: the receive path decodes the lines of an arrival into one text.
void appendDecodedLine(QByteArrayView raw, QString &text);
