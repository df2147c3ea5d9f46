// The character's trained skills and the invention chance they give.
#pragma once

#include "framework/afxcoll.h"
#include "library/database/database.h"
#include "library/sso/oauth2.h"

// Skill type id to the character's active level; downloaded once, while it is empty.
extern CMap<DWORD, DWORD, DWORD, DWORD> g_Skills;

// The record's chance of success with the signed-in character's skills; 0.0 for a null record.
// Downloads the skills first while none are known; the caller holds the exports' lock.
double GetInventionChanceWithSkills(const invention_entry* entry);

// The download of the skills, run on the download dialog's worker thread.
void DownloadSkills(OAuth2* oauth);
