// What a decryptor used in an invention does to the invented blueprint copy and to the chance.
#pragma once

#include <cstdint>

struct decryptor_effect {
    uint32_t type_id;
    int runs;                // added to the invented copy's runs
    int materialEfficiency;  // of the invented copy: 2 plus the decryptor's modifier
    double chanceFactor;     // 0.0: the chance stays as it is
};

// The effect of the decryptor with this type id; any other id, 0 for none, adds no runs, gives
// material efficiency 2 and leaves the chance unchanged.
const decryptor_effect& DecryptorEffect(uint32_t typeId);
