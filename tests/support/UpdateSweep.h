#pragma once
// The interruption sweep of the update and resources upload chains: the exchanges of every step where
// a simulator fault is injected. Shared by the command-line and the update window sweeps; the faults
// and their texts come from the settings sweep.
#include "tests/support/SettingsSweep.h"

#include <vector>

namespace sweep {

enum class Chain { UpdateQpa, UpdateQpaNoConvert, UpdateQpb, ResourcesQpa, ResourcesQpb };

// One step of a chain: its first, a middle and its last exchange, counted from 0 over the whole
// command (the version query first), as the simulator counts them with fault-after.
struct Step {
    const char* name;
    int first, middle, last;
    bool cleared; // the QPA settings are zeroed by then: a backup must exist
};

// QPA update: version 0; read start 1 and settings 2..33; texts 34..161; zeroing 162..193 and the
// write end 194; firmware 195..2242; restart 2243; settings 2244..2275 and the write end 2276;
// texts 2277..2404. Without the conversion the reads are left out. QPB: firmware 1..2048, restart
// 2049, resources 2050..4097. Resources: QPA texts 1..128 then the image 129..2176; QPB image 1..2048.
// The restart command itself is not answered, so its faults are covered by the restart that never
// comes back instead.
struct ChainSteps {
    Chain chain;
    const char* name;
    std::vector<Step> steps;
};

inline const ChainSteps kChains[] = {
    {Chain::UpdateQpa,
     "UpdateQpa",
     {{"SettingsRead", 1, 17, 33, false},
      {"TextsRead", 34, 97, 161, false},
      {"Zeroing", 162, 178, 194, true},
      {"Firmware", 195, 1218, 2242, true},
      {"SettingsRestore", 2244, 2260, 2276, true},
      {"TextsRestore", 2277, 2340, 2404, true}}},
    {Chain::UpdateQpaNoConvert,
     "UpdateQpaNoConvert",
     {{"Zeroing", 1, 17, 33, false},
      {"Firmware", 34, 1057, 2081, false},
      {"SettingsRestore", 2083, 2099, 2115, false},
      {"TextsRestore", 2116, 2179, 2243, false}}},
    {Chain::UpdateQpb, "UpdateQpb", {{"Firmware", 1, 1024, 2048, false}, {"Resources", 2050, 3073, 4097, false}}},
    {Chain::ResourcesQpa, "ResourcesQpa", {{"TextsRead", 1, 64, 128, false}, {"Image", 129, 1152, 2176, false}}},
    {Chain::ResourcesQpb, "ResourcesQpb", {{"Image", 1, 1024, 2048, false}}},
};

inline bool isQpb(Chain c) { return c == Chain::UpdateQpb || c == Chain::ResourcesQpb; }
inline bool isUpdate(Chain c) { return c != Chain::ResourcesQpa && c != Chain::ResourcesQpb; }

inline const ChainSteps& stepsOf(Chain chain) {
    for (const ChainSteps& c : kChains)
        if (c.chain == chain)
            return c;
    return kChains[0];
}

} // namespace sweep
