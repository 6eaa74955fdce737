#include "country/adif_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// What the format forbids in a field name: commas, colons, angle and curly brackets, blanks, controls.
bool isNameChar(char c)
{
    return c > ' ' && c < 0x7F && c != ',' && c != ':' && c != '<' && c != '>' && c != '{' && c != '}';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool namedAs(QByteArrayView name, const char *upper)
{
    return name.size() == static_cast<qsizetype>(std::strlen(upper)) &&
           qstrnicmp(name.data(), upper, static_cast<size_t>(name.size())) == 0;
}

qsizetype indexOfOpen(QByteArrayView data, qsizetype from, qsizetype to)
{
    if (from >= to)
        return -1;
    const void *found = std::memchr(data.data() + from, '<', static_cast<size_t>(to - from));
    return found ? static_cast<const char *>(found) - data.data() : -1;
}

} // namespace

AdifReader::AdifReader(Sink sink) : m_sink(std::move(sink))
{
    for (QByteArray &value : m_values)
        value.reserve(kMaxValue);
}

AdifReader::Field AdifReader::fieldNamed(QByteArrayView name)
{
    static constexpr std::array<const char *, static_cast<int>(Field::Other)> kNames{
        "CALL", "DXCC", "BAND", "FREQ", "MODE", "QSL_RCVD", "LOTW_QSL_RCVD"};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (namedAs(name, kNames[i]))
            return static_cast<Field>(i);
    }
    return Field::Other;
}

AdifReader::TagScan AdifReader::scanTag(QByteArrayView data, qsizetype at, bool atEnd, Tag *tag)
{
    const qsizetype limit = std::min(data.size(), at + kMaxTag);
    // Running into the end of the piece may only mean the rest of the tag is still to come.
    const auto cutShort = [&] { return !atEnd && limit == data.size() ? TagScan::NeedMore : TagScan::NoTag; };
    qsizetype i = at + 1;
    while (i < limit && isNameChar(data[i]))
        ++i;
    if (i == limit)
        return cutShort();
    const QByteArrayView name = data.sliced(at + 1, i - at - 1);
    if (name.isEmpty())
        return TagScan::NoTag;
    if (data[i] == '>') {
        tag->end = i + 1;
        tag->isRecordEnd = namedAs(name, "EOR");
        tag->isHeaderEnd = namedAs(name, "EOH");
        return tag->isRecordEnd || tag->isHeaderEnd ? TagScan::Tag : TagScan::NoTag;
    }
    if (data[i] != ':')
        return TagScan::NoTag;
    const qsizetype digits = ++i;
    qint64 length = 0;
    constexpr qint64 kLongest = qint64{1} << 40; // more than any file: the end of the data clamps it
    for (; i < limit && isDigit(data[i]); ++i)
        length = std::min(kLongest, length * 10 + (data[i] - '0'));
    if (i == limit)
        return cutShort();
    if (i == digits)
        return TagScan::NoTag;
    if (data[i] == ':') {
        ++i;
        while (i < limit && isLetter(data[i]))
            ++i;
        if (i == limit)
            return cutShort();
    }
    if (data[i] != '>')
        return TagScan::NoTag;
    tag->end = i + 1;
    tag->hasLength = true;
    tag->length = length;
    tag->field = fieldNamed(name);
    return TagScan::Tag;
}

void AdifReader::feed(QByteArrayView bytes)
{
    if (m_carry.isEmpty()) {
        const qsizetype used = parse(bytes, false);
        m_carry = bytes.sliced(used).toByteArray();
        return;
    }
    m_carry.append(bytes);
    m_carry.remove(0, parse(m_carry, false));
}

void AdifReader::finish()
{
    parse(m_carry, true);
    m_carry.clear();
    m_inValue = false;
    endRecord();
}

qsizetype AdifReader::parse(QByteArrayView data, bool atEnd)
{
    qsizetype i = 0;
    while (i < data.size()) {
        if (m_inValue) {
            const qsizetype end = i + static_cast<qsizetype>(std::min<qint64>(m_remaining, data.size() - i));
            qsizetype stop = end;
            bool endedByTag = false;
            for (qsizetype p = indexOfOpen(data, i, end); p >= 0; p = indexOfOpen(data, p + 1, end)) {
                Tag tag;
                const TagScan scan = scanTag(data, p, atEnd, &tag);
                if (scan == TagScan::NoTag)
                    continue;
                stop = p;
                endedByTag = scan == TagScan::Tag;
                if (scan == TagScan::NeedMore) {
                    takeValue(data.sliced(i, p - i));
                    m_remaining -= p - i;
                    return p;
                }
                break;
            }
            takeValue(data.sliced(i, stop - i));
            m_remaining -= stop - i;
            i = stop;
            m_inValue = !endedByTag && m_remaining > 0;
            continue;
        }
        const qsizetype open = indexOfOpen(data, i, data.size());
        if (open < 0)
            return data.size();
        Tag tag;
        const TagScan scan = scanTag(data, open, atEnd, &tag);
        if (scan == TagScan::NeedMore)
            return open;
        if (scan == TagScan::NoTag) {
            i = open + 1;
            continue;
        }
        i = tag.end;
        if (tag.isRecordEnd) {
            endRecord();
        } else if (tag.isHeaderEnd) {
            clearRecord();
        } else {
            m_field = tag.field;
            m_remaining = tag.length;
            m_inValue = m_remaining > 0;
            if (m_field != Field::Other) {
                m_values[static_cast<std::size_t>(m_field)].truncate(0);
                m_recordHasField = true;
            }
        }
    }
    return data.size();
}

void AdifReader::takeValue(QByteArrayView bytes)
{
    if (m_field == Field::Other)
        return;
    QByteArray &value = m_values[static_cast<std::size_t>(m_field)];
    value.append(bytes.first(std::min(bytes.size(), kMaxValue - value.size())));
}

void AdifReader::endRecord()
{
    if (m_recordHasField) {
        ++m_records;
        const auto at = [this](Field field) {
            return QByteArrayView(m_values[static_cast<std::size_t>(field)]);
        };
        m_sink(AdifQso{at(Field::Call), at(Field::Dxcc), at(Field::Band), at(Field::Freq), at(Field::Mode),
                       at(Field::QslRcvd), at(Field::LotwQslRcvd)});
    }
    clearRecord();
}

void AdifReader::clearRecord()
{
    for (QByteArray &value : m_values)
        value.truncate(0);
    m_recordHasField = false;
    m_inValue = false;
}
