// The random forms of the second pass ("&r(", "&s(", "&t(") and the C
// library generator they draw from.
#pragma once

#include <string>
#include <string_view>

namespace makoto {

constexpr int kRandomMax = 32767;

// The C library generator, scaled to 0..kRandomMax whatever RAND_MAX is.
void SeedRandom(unsigned seed);
int DrawRandom();
// Seeds from the current time and draws one number (as `load` does).
void SeedRandomFromTime();

// Appends the output of one form to `out`: `kind` is 'r', 's' or 't',
// `inner` the text between "(" and ")", `r` the drawn number 0..kRandomMax.
void AppendForm(std::string& out, char kind, std::string_view inner, int r);

// Second pass: expands every "&r(lo,hi)", "&s(a,b,...)" and "&t(text,n)"
// from left to right, one draw per form; output is never scanned again. An
// unclosed form, and any other "&", is copied as an ordinary byte.
std::string ExpandAmpersandForms(const std::string& text);

}  // namespace makoto
