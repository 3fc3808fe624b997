// Talk between characters: the own and the other characters' names, their
// formula variables, and the hello talk addressed to another character.
#pragma once

#include <string>

// Records the own character's name (OwnerName and "\ghosts[0]").
void SetOwnGhostName(const std::string& name);
// Reads the other characters' list (items ended by 0x02) into GhostNames and
// their variables; gives their number.
int ReadGhostList(const std::string& list);
// Deletes the variables of the list read last.
void ClearGhostVariables();
// `list` in: the other characters' list; out: the addressed character's name.
std::string TalkToOtherGhost(const std::string& sender, std::string& list);
