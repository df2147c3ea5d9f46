// The skills download and the invention chance the science and encryption skills give.
#include "library/esi/skills.h"

#include "library/esi/download_dialog.h"
#include "library/esi/download_holds.h"
#include "library/esi/esi_answer.h"
#include "library/sso/json_document.h"

namespace {
constexpr DWORD kScienceSkills[] = {11433, 11441, 11442, 11443, 11444, 11445, 11446, 11447, 11448,
                                    11449, 11450, 11451, 11452, 11453, 11454, 11455, 11529};
constexpr DWORD kEncryptionSkills[] = {3408, 21790, 21791, 23087, 23121, 52308, 55025};
const char kSkillsDownload[] = "Skills";

template <size_t N>
bool IsOneOf(DWORD id, const DWORD (&list)[N]) {
    for (DWORD entry : list)
        if (entry == id) return true;
    return false;
}
}  // namespace

double GetInventionChanceWithSkills(const invention_entry* entry) {
    if (g_Skills.IsEmpty()) RunDownload(kSkillsDownload, &DownloadSkills);
    if (!entry) return 0.0;

    DWORD firstScience = 0, secondScience = 0, encryption = 0;
    for (uint32_t skill : entry->skill_id) {
        DWORD level = 0;
        if (IsOneOf(skill, kScienceSkills)) {
            // A third science skill would replace the second one's level. No record has three; the
            // rule is kept as it always was.
            if (g_Skills.Lookup(skill, level)) (firstScience != 0 ? secondScience : firstScience) = level;
        } else if (IsOneOf(skill, kEncryptionSkills)) {
            if (g_Skills.Lookup(skill, level)) encryption = level;
        }
    }
    return ((firstScience + secondScience) / 30.0 + encryption / 40.0 + 1.0) * entry->probability;
}

void DownloadSkills(OAuth2* oauth) {
    g_Skills.RemoveAll();
    int status = 0;
    const CString answer = oauth->EsiRequest("GET", "v4/characters/&user&/skills/", "", nullptr, FALSE, &status);
    JsonDocument document;
    const cJSON* skills = nullptr;
    if (ParseSuccessfulAnswer(document, answer, status)) skills = JsonMember(document.root, "skills");
    if (!JsonIsArray(skills)) {
        HoldDownload(kSkillsDownload);
        return;
    }
    // A character without skills is a complete answer, but leaves nothing to keep: asked again.
    EndDownloadHold(kSkillsDownload);
    for (const cJSON* skill : JsonChildren(skills))
        g_Skills.SetAt(DWORD(JsonInt(skill, "skill_id")), DWORD(JsonInt(skill, "active_skill_level")));
}
