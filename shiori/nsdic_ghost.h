// Talk between characters: the own and the other characters' names, their
// formula variables, and the hello talk addressed to another character.
#pragma once

#include <string>

void SetOwnGhostName(const std::string& name);
int ReadGhostList(const std::string& list);
void ClearGhostVariables();
// `list` in: the other characters' list; out: the addressed character's name.
std::string TalkToOtherGhost(const std::string& sender, std::string& list);
