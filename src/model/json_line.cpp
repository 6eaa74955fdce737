#include "model/json_line.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

constexpr qsizetype kMaxStringBytesPerUnit = 6; // \u001f
constexpr qsizetype kMaxIntChars = 11;          // -2147483648

// Text as a JSON string, escaped as QJsonDocument escapes it; to must have room for
// kMaxStringBytesPerUnit bytes a UTF-16 unit and the two quotes.
char *writeString(char *to, QStringView text)
{
    constexpr char kHex[] = "0123456789abcdef";
    *to++ = '"';
    const char16_t *from = text.utf16();
    const char16_t *const end = from + text.size();
    while (from != end) {
        const char16_t u = *from++;
        if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
            *to++ = static_cast<char>(u);
        } else if (u < 0x80) {
            *to++ = '\\';
            switch (u) {
            case u'"':
                *to++ = '"';
                break;
            case u'\\':
                *to++ = '\\';
                break;
            case u'\b':
                *to++ = 'b';
                break;
            case u'\f':
                *to++ = 'f';
                break;
            case u'\n':
                *to++ = 'n';
                break;
            case u'\r':
                *to++ = 'r';
                break;
            case u'\t':
                *to++ = 't';
                break;
            default:
                to = std::copy_n("u00", 3, to);
                *to++ = kHex[u >> 4];
                *to++ = kHex[u & 0xF];
            }
        } else if (u < 0x800) {
            *to++ = static_cast<char>(0xC0 | (u >> 6));
            *to++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && from != end && QChar::isLowSurrogate(*from)) {
            const char32_t code = QChar::surrogateToUcs4(u, *from++);
            *to++ = static_cast<char>(0xF0 | (code >> 18));
            *to++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            // A lone half of a pair has no UTF-8 form.
            *to++ = '\\';
            *to++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *to++ = kHex[(u >> shift) & 0xF];
        } else {
            *to++ = static_cast<char>(0xE0 | (u >> 12));
            *to++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    *to++ = '"';
    return to;
}

} // namespace

void JsonLine::append(QByteArray &out, std::initializer_list<Field> fields)
{
    Q_ASSERT(std::is_sorted(fields.begin(), fields.end(), [](const Field &a, const Field &b) {
        return std::string_view(a.key.data(), a.key.size()) < std::string_view(b.key.data(), b.key.size());
    }));
    // Written through a pointer into room for the longest form, then cut to size: one growth an event.
    qsizetype room = 2;
    for (const Field &field : fields) {
        const auto *text = std::get_if<QStringView>(&field.value);
        room += field.key.size() + 4 + (text ? kMaxStringBytesPerUnit * text->size() + 2 : kMaxIntChars);
    }
    const qsizetype start = out.size();
    out.resize(start + room);
    char *to = out.data() + start;
    char separator = '{';
    for (const Field &field : fields) {
        *to++ = separator;
        separator = ',';
        // Keys are plain ASCII names that need no escape.
        *to++ = '"';
        to = std::copy(field.key.begin(), field.key.end(), to);
        *to++ = '"';
        *to++ = ':';
        if (const auto *text = std::get_if<QStringView>(&field.value))
            to = writeString(to, *text);
        else
            to = std::to_chars(to, to + kMaxIntChars, std::get<int>(field.value)).ptr;
    }
    *to++ = '}';
    *to++ = '\n';
    out.truncate(to - out.constData());
}
