#pragma once

// What the typing benchmarks measure and how they print it.

#include <QString>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vxorv::bench {

struct Result {
    qsizetype sent = 0;
    qsizetype lost = 0;   // characters missing or wrong (sent minus the longest common part)
    double seconds = 0;   // from the first key sent to the last key received
    double handedOff = 0; // seconds until the typist had sent its last key
};

// Characters of `expected` not found in order in `received`.
inline qsizetype lost(const QString& expected, const QString& received) {
    std::vector<int> row(static_cast<std::size_t>(received.size()) + 1, 0);
    for (QChar e : expected) {
        int diagonal = 0;
        for (qsizetype j = 0; j < received.size(); ++j) {
            const int above = row[static_cast<std::size_t>(j) + 1];
            row[static_cast<std::size_t>(j) + 1] =
                e == received[j] ? diagonal + 1 : std::max(above, row[static_cast<std::size_t>(j)]);
            diagonal = above;
        }
    }
    return expected.size() - row.back();
}

inline QString escaped(const QString& text) {
    QString keys;
    for (QChar c : text) {
        keys += QStringLiteral("{}()+^~%!").contains(c) ? QLatin1Char('{') + c + QLatin1Char('}')
                                                        : QString(c);
    }
    return keys;
}

inline QString repeatTo(const QString& pool, qsizetype length) {
    QString text;
    while (text.size() < length) {
        text += pool;
    }
    return text.left(length);
}

inline void report(const char* who, const char* what, const Result& r) {
    std::printf("%-8s %-34s %6lld chars  %9.0f chars/s  lost %lld  (typist done after %.3f s)\n",
                who, what, static_cast<long long>(r.sent), static_cast<double>(r.sent) / r.seconds,
                static_cast<long long>(r.lost), r.handedOff);
    std::fflush(stdout);
}

} // namespace vxorv::bench
