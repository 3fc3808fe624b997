// The checker's stable codes with their levels and message texts, and the
// message catalog (GNU gettext, domain "shiori-check"): English in the
// sources, other languages in tools/check/po/, chosen by the locale.
#pragma once

#include <string>
#include <vector>

enum class TCheckLevel { Note, Warning, Error };

// One code: its name, its level and what it is about (for --help and the
// manual).
struct TCheckCode {
  const char* code;
  TCheckLevel level;
  const char* summary;
};

// Every code, in the order of their names.
const std::vector<TCheckCode>& CheckCodes();
// The entry of `code`; the code must be one of CheckCodes().
const TCheckCode& CheckCodeEntry(const std::string& code);

// "error", "warning", "note" (the words compilers write; never translated,
// so that editors and CI read them in every language).
const char* LevelName(TCheckLevel level);

// The catalog directory beside the running program ("locale" in the
// program's folder), as the build leaves the compiled catalogs.
std::string ProgramLocaleDirectory();
// Binds the message domain to `directory` with UTF-8 output. Without a
// call, or without a catalog for the locale, messages stay English.
void BindCheckMessages(const std::string& directory);

// The translation of `message_id`.
std::string Translate(const char* message_id);
// The translation of the singular or plural form for `n`.
std::string TranslatePlural(const char* singular, const char* plural, unsigned long n);
// `format` with "{1}", "{2}", ... replaced by the arguments.
std::string FormatMessage(const std::string& format, const std::vector<std::string>& arguments);
// The translated message `message_id` with its arguments put in.
std::string Message(const char* message_id, const std::vector<std::string>& arguments = {});

// "2 errors, 1 warning, 3 notes" (only the levels present), or
// "no problems".
std::string CountsText(int errors, int warnings, int notes);
