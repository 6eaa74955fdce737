#pragma once

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Timers, signals and the event dispatcher of the core expect an application object, as in the program.
inline void startFuzzApplication(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
}

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// Reads the leading bytes of an input as settings; what is left is the payload.
class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    uint8_t byte()
    {
        if (m_size == 0)
            return 0;
        --m_size;
        return *m_data++;
    }
    const char *rest() const { return reinterpret_cast<const char *>(m_data); }
    qsizetype restSize() const { return static_cast<qsizetype>(m_size); }

private:
    const uint8_t *m_data;
    size_t m_size;
};
