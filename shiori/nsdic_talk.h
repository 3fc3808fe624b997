// The response engine: the context of the talk being composed, event talk
// selection with the cool-down countdown, replies, strings and status texts.
#pragma once

#include <string>

#include "UTypes.h"

// ---- TalkContext setters ---------------------------------------------------------
void SetTalkEvent(const std::string& event_name, const std::string& sender,
                  const TReferences& references);
void SetTalkSentence(const std::string& sentence);
void SetTalkAge(const std::string& age);

// ---- Response engine -------------------------------------------------------------
// The talk for an event: one of its responses whose condition holds ("nohit"
// ones only when none does), drawn with the cool-down countdown, expanded,
// "\a" and "@name" redirections followed.
std::string EventTalk(const std::string& name, const std::string& sender,
                      const TReferences& references);
// The reply to another character's sentence, or "".
std::string AnswerTalk(const std::string& sentence, const std::string& sender,
                       const std::string& age);
// One of the "GET String" texts of the identifier, expanded, or "".
std::string StringTalk(const std::string& identifier);
// One of the status entries (the status line when there is none), expanded.
std::string StatusTalk();

// Collects the responses of a record range and draws once without
// countdown (replies and hellos). Gives the sentence number, or 0. `table`
// is ReplyTable or HelloTable, `count` its count.
int DrawResponseOnce(const TJoken* table, int count);

// The start state: no event talk running.
void ResetEventTalk();
