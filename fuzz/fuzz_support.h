#pragma once
#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    ((condition) ? void()                                                                                    \
                 : (std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition),   \
                    std::abort()))

// The core's timers and signals expect an application object, as in the program.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

// The leading bytes of an input are settings; what is left is the payload.
struct FuzzInput {
    const uint8_t *data;
    size_t size;
    uint8_t byte() { return size > 0 ? (--size, *data++) : 0; }
    QByteArrayView rest() const { return {reinterpret_cast<const char *>(data), qsizetype(size)}; }
};

// Cuts a stream into arrivals: the rest in one piece while seed is 0, else pieces of 1..maxPiece bytes.
inline qsizetype nextPiece(quint32 &seed, int maxPiece, qsizetype left)
{
    if (seed == 0)
        return left;
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return qMin<qsizetype>(left, 1 + seed % quint32(maxPiece));
}

// A decoded line holds no control character but the tab.
inline bool printable(const QString &line)
{
    return std::ranges::all_of(line,
                               [](QChar c) { return (c.unicode() >= 0x20 || c == u'\t') && c != u'\x7f'; });
}
