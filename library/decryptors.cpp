// The invention decryptors and what each one changes.
#include "library/decryptors.h"

namespace {

constexpr decryptor_effect kNoDecryptor = {0, 0, 2, 0.0};
constexpr decryptor_effect kDecryptors[] = {
    {34201, 1, 4, 1.2},  // Accelerant Decryptor
    {34202, 4, 1, 1.8},  // Attainment Decryptor
    {34203, 9, 0, 0.6},  // Augmentation Decryptor
    {34204, 3, 3, 1.5},  // Parity Decryptor
    {34205, 0, 5, 1.1},  // Process Decryptor
    {34206, 2, 3, 0.0},  // Symmetry Decryptor
    {34207, 2, 3, 1.9},  // Optimized Attainment Decryptor
    {34208, 7, 4, 0.9},  // Optimized Augmentation Decryptor
};

}  // namespace

const decryptor_effect& DecryptorEffect(uint32_t typeId) {
    for (const decryptor_effect& effect : kDecryptors)
        if (effect.type_id == typeId) return effect;
    return kNoDecryptor;
}
