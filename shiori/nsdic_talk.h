// Sentence expansion and the response engine: templates to talk scripts,
// event talk selection with the cool-down countdown, replies, strings and
// status texts.
#pragma once

#include <string>

#include "UTypes.h"

// ---- Expansion -------------------------------------------------------------------
std::string ExpandTalk(const std::string& template_text);
std::string ExpandTemplate(const std::string& template_text);
std::string ExpandFormulaAt(int position, const std::string& text);
std::string ReplaceUnnumbered(const std::string& text, const std::string& tag,
                              const std::string& word);
std::string ReplaceByte(const std::string& text, char from, char to);
std::string ExpandDms();
std::string TalkOfWord(const std::string& word);
std::string RandomTalk();
bool CheckCondition(const std::string& condition);

// ---- TalkContext setters ---------------------------------------------------------
void SetTalkEvent(const std::string& event_name, const std::string& sender,
                  const TReferences& references);
void SetTalkSentence(const std::string& sentence);
void SetTalkAge(const std::string& age);

// ---- Response engine -------------------------------------------------------------
std::string EventTalk(const std::string& name, const std::string& sender,
                      const TReferences& references);
std::string AnswerTalk(const std::string& sentence, const std::string& sender,
                       const std::string& age);
std::string StringTalk(const std::string& identifier);
std::string StatusTalk();

// Collects the responses of a record range into HitList / CandidateList and
// draws once without countdown (replies and hellos). Gives the sentence
// number, or 0. `table` is ReplyTable or HelloTable, `count` its count.
int DrawResponseOnce(const TJoken* table, int count);
