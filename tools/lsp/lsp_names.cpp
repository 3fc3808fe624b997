// The tables of built-in functions and system %-names.
#include "lsp_names.h"

const std::vector<TBuiltinName>& BuiltinNames() {
  static const std::vector<TBuiltinName> kNames = {
      {"timestamp", "year,month,day,hour,minute,second",
       "the six fields joined with the Japanese units 年 月 日 時 分 秒, not quoted"},
      {"_timestamp", "year,month,day,hour,minute,second",
       "the quoted text \"year/MM/DD hh:mm:ss\" (month to second padded to two digits)"},
      {"_save", "key value",
       "saves the value under the key in values.dat (an empty value removes the key) and gives the "
       "value"},
      {"_load", "key", "the value saved under the key in values.dat, or the empty text"},
      {"_instr", "text pattern", "the 1-based byte position of the pattern in the text, or 0"},
      {"_substr", "text start [count]",
       "the part of the text from byte start (count bytes, or to the end), quoted"},
      {"_length", "text", "the number of bytes of the unquoted text"},
      {"_countword", "category",
       "the number of words of the category (named without its backslash)"},
      {"_registword", "category word",
       "registers the word under the category (without its backslash) and gives the word"},
      {"_upcase", "text", "the text with a to z made capitals"},
      {"_locase", "text", "the text with A to Z made small letters"},
      {"_replace", "text old [new]",
       "the text with every old replaced by new (or removed), quoted"},
      {"_isval", "name", "1 when the variable \\name exists, else 0"},
      {"_wordtype", "word",
       "the word's category without its backslash, or \"\" for an unknown word"},
  };
  return kNames;
}

const std::vector<TSystemName>& SystemNames() {
  static const std::vector<TSystemName> kNames = {
      {"%responsecount", "the number of replies (\\re entries) loaded"},
      {"%bunsyocount", "the number of sentences loaded"},
      {"%chaincount", "the number of word links (\\ch entries) loaded"},
      {"%hellocount", "the number of hello talks (\\hl entries) loaded"},
      {"%eventcount", "the number of event responses loaded"},
      {"%wordcount", "the number of words loaded"},
      {"%tagscount", "the number of categories loaded"},
      {"%sender", "the sender of the request being answered"},
      {"%event", "the name of the event being answered"},
      {"%ref0", "Reference0 of the event being answered"},
      {"%ref1", "Reference1 of the event being answered"},
      {"%ref2", "Reference2 of the event being answered"},
      {"%ref3", "Reference3 of the event being answered"},
      {"%ref4", "Reference4 of the event being answered"},
      {"%ref5", "Reference5 of the event being answered"},
      {"%ref6", "Reference6 of the event being answered"},
      {"%ref7", "Reference7 of the event being answered"},
      {"%year", "the year, for example 2024"},
      {"%month", "the month, 1 to 12"},
      {"%week", "the day of the week: sun, mon, tue, wed, thu, fri or sat"},
      {"%day", "the day of the month, 1 to 31"},
      {"%hour", "the hour, 0 to 23"},
      {"%minute", "the minute, 0 to 59"},
      {"%second", "the second, 0 to 59"},
      {"%sentence", "the sentence of the other character being answered"},
      {"%age", "the age that came with that sentence"},
      {"%rand",
       "a random number: %randN has N digits, %rand[N] is 0 to N-1 (a digit 2 to 9 after it "
       "numbers separate draws)"},
  };
  return kNames;
}

const TBuiltinName* FindBuiltin(const std::string& name) {
  for (const TBuiltinName& entry : BuiltinNames()) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

const TSystemName* SystemNameAt(const std::string& text) {
  for (const TSystemName& entry : SystemNames()) {
    if (text.compare(0, std::char_traits<char>::length(entry.name), entry.name) == 0) return &entry;
  }
  return nullptr;
}
