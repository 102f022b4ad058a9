#pragma once

// The texts the end-to-end typing tests type, what a sink must show for
// them, and how to compare.

#include <QString>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

QT_BEGIN_NAMESPACE
// Failures show the text, not bytes.
void PrintTo(const QString& s, std::ostream* out);
QT_END_NAMESPACE

namespace vxorv::e2e {

// Compares whole transcripts and, on a mismatch, shows where they part.
testing::AssertionResult sameText(const QString& received, const QString& expected);

// The keystroke string that types `text` literally.
QString escaped(const std::u32string& text);
// What the sink shows for the keys a keystroke string stands for.
QString transcriptOf(const QString& keystrokes);

std::u32string printableAscii();
std::u32string latin1AndWindows1252();
// All of both alphabets: more characters than an X keymap has spare keycodes.
std::u32string greekAndCyrillic();
// Every named key, and Ctrl with a character and with a named key.
extern const QString namedKeys;
// 4096 keys of mixed text, as a long scan would be: ASCII with a couple of
// dozen other characters (Latin-1, the euro sign, some that no layout here
// has) and Enter keys in between.
QString longMessage();

} // namespace vxorv::e2e
