#pragma once
// The check zoo (tests/plugins/check/): each plug-in's name, and the verdict and stage its
// check must get, with its editor opened or not.
#include <map>
#include <string>
#include <utility>

inline std::map<std::string, std::pair<std::string, std::string>> CheckZooVerdicts(bool editorsOpened)
{
    return {{"check_clean", {"passed", ""}},
            {"check_instrument", {"passed", ""}},
            {"check_crash_block_64", {"crashed", "process at 44100 Hz, blocks of 64"}},
            {"check_writes_nan", {"failed", "audio"}},
            {"check_hangs_in_activation", {"timed out", "process at 44100 Hz, blocks of 1"}},
            {"check_loses_parameter", {"warnings", "parameters"}},
            {"check_state_differs", {"warnings", "state"}},
            {"check_editor_crashes", editorsOpened ? std::pair<std::string, std::string>{"crashed", "editor"}
                                                   : std::pair<std::string, std::string>{"passed", ""}},
            {"check_claims_too_many_channels", {"failed", "open"}},
            {"check_denormals", {"warnings", "audio"}},
            {"check_never_quiet", {"warnings", "audio"}},
            {"check_silent_instrument", {"warnings", "audio"}},
            {"check_separate_controller", {"passed", ""}}};
}
