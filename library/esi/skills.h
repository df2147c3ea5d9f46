// The character's trained skills and the invention chance they give.
#pragma once

#include "library/database/database.h"

// The record's chance of success with the signed-in character's skills; 0.0 for a null record.
// May download the skills first; the caller holds the exports' lock.
double GetInventionChanceWithSkills(const invention_entry* entry);
