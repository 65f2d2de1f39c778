#pragma once
// The check zoo (tests/plugins/check/): each plug-in's name, the verdict and stage its check
// must get, with its editor opened or not, and the files it is built as.
#include <map>
#include <string>
#include <utility>
#include <vector>

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
            {"check_separate_controller", {"passed", ""}},
            // Well-made plug-ins as the well-known frameworks make them: each passes.
            {"check_values_only_in_process", {"passed", ""}},
            {"check_hidden_parameters", {"passed", ""}},
            {"check_asserts_on_missing_outputs", {"passed", ""}},
            {"check_gui_needs_host", {"passed", ""}},
            {"check_unicode_class", {"passed", ""}},
            {"check_midi_effect", {"passed", ""}},
            {"check_long_tail", {"passed", ""}},
            {"check_prints_every_block", {"passed", ""}},
            {"check_refuses_64_bits", {"passed", ""}},
            {"check_many_buses", {"passed", ""}},
            {"check_refuses_own_state", {"failed", "state"}},
            {"check_huge_state", {"failed", "state"}},
            {"check_state_ignored", {"failed", "state"}},
            {"check_state_swapped", {"warnings", "state"}},
            {"check_no_state", {"failed", "state"}},
            {"check_rings_forever", {"warnings", "audio"}},
            {"check_dc_on_one_channel", {"warnings", "audio"}},
            {"check_notes_in_nothing_out", {"warnings", "audio"}},
            {"check_xml_state", {"passed", ""}},
            {"check_snaps_to_steps", {"passed", ""}},
            {"check_programs_set_parameters", {"passed", ""}},
            {"check_automatable_read_only", {"warnings", "parameters"}},
            {"check_crash_on_offset_automation", {"crashed", "automation at 48000 Hz, blocks of 512"}},
            {"check_crash_on_overlap", {"crashed", "values set from the main thread while processing, on the main thread"}},
            {"check_nan_for_some_values", {"failed", "automation"}},
            {"check_crash_on_program_3", {"crashed", "programs, program 3"}},
            {"check_crash_on_save_while_processing", {"crashed", "state while processing, on the main thread"}},
            {"check_editor_crashes_with_audio", editorsOpened ? std::pair<std::string, std::string>{"crashed", "editor while processing, on the audio thread"}
                                                              : std::pair<std::string, std::string>{"passed", ""}},
            {"check_buses_refuse_mono", {"passed", ""}},
            {"check_crash_in_stereo_to_mono", {"crashed", "buses, stereo in, mono out"}}};
}

// The extensions a zoo plug-in is built with: most in every format, some where they apply.
inline std::vector<const char*> CheckZooFiles(const std::string& name)
{
    static const std::map<std::string, std::vector<const char*>> some = {
        {"check_values_only_in_process", {".vst3", ".clap"}}, {"check_hidden_parameters", {".vst3", ".clap"}},
        {"check_asserts_on_missing_outputs", {".vst3", ".clap"}}, {"check_gui_needs_host", {".clap"}},
        {"check_unicode_class", {".vst3"}}, {"check_refuses_own_state", {".vst3", ".clap"}},
        {"check_refuses_64_bits", {".dll"}}, {"check_huge_state", {".vst3", ".clap"}},
        {"check_many_buses", {".vst3", ".clap"}}, {"check_no_state", {".vst3", ".clap"}},
        {"check_programs_set_parameters", {".dll", ".vst3"}}, {"check_automatable_read_only", {".vst3", ".clap"}},
        {"check_crash_on_offset_automation", {".vst3", ".clap"}}, {"check_crash_on_overlap", {".dll", ".vst3"}},
        {"check_crash_on_program_3", {".dll", ".vst3"}}, {"check_buses_refuse_mono", {".vst3", ".clap"}},
        {"check_crash_in_stereo_to_mono", {".vst3", ".clap"}}};
    const auto found = some.find(name);
    return found != some.end() ? found->second : std::vector<const char*>{".dll", ".vst3", ".clap"};
}

// How many plug-in files the zoo has for one machine.
inline size_t CheckZooFileCount()
{
    size_t count = 0;
    for (const auto& [name, verdict] : CheckZooVerdicts(false)) count += CheckZooFiles(name).size();
    return count;
}
