# The check's zoo: one plug-in per behaviour in each format it applies to, built from one source
# per format with the behaviour as a number (tests/plugins/check/CheckZoo.h), in a folder of its
# own. Each platform's list includes this with its own add_check_zoo_plugin(name format behaviour).
set(check_behaviours check_clean check_instrument check_crash_block_64 check_writes_nan check_hangs_in_activation
    check_loses_parameter check_state_differs check_editor_crashes check_claims_too_many_channels
    check_denormals check_never_quiet check_silent_instrument check_separate_controller
    check_values_only_in_process check_hidden_parameters check_asserts_on_missing_outputs check_gui_needs_host
    check_unicode_class check_midi_effect check_long_tail check_prints_every_block check_refuses_own_state
    check_refuses_64_bits check_huge_state check_many_buses check_state_ignored check_state_swapped check_no_state
    check_rings_forever check_dc_on_one_channel check_notes_in_nothing_out
    check_xml_state check_snaps_to_steps check_programs_set_parameters check_automatable_read_only
    check_crash_on_offset_automation check_crash_on_overlap check_nan_for_some_values check_crash_on_program_3
    check_crash_on_save_while_processing check_editor_crashes_with_audio check_buses_refuse_mono
    check_crash_in_stereo_to_mono)
# Those that concern some formats only; the rest are built in all three.
set(check_formats_check_values_only_in_process vst3 clap)
set(check_formats_check_hidden_parameters vst3 clap)
set(check_formats_check_asserts_on_missing_outputs vst3 clap)
set(check_formats_check_gui_needs_host clap)
set(check_formats_check_unicode_class vst3)
set(check_formats_check_refuses_own_state vst3 clap)
set(check_formats_check_refuses_64_bits vst2)
set(check_formats_check_huge_state vst3 clap)
set(check_formats_check_many_buses vst3 clap)
set(check_formats_check_no_state vst3 clap)
set(check_formats_check_programs_set_parameters vst2 vst3)
set(check_formats_check_automatable_read_only vst3 clap)
set(check_formats_check_crash_on_offset_automation vst3 clap)
set(check_formats_check_crash_on_overlap vst2 vst3)
set(check_formats_check_crash_on_program_3 vst2 vst3)
set(check_formats_check_buses_refuse_mono vst3 clap)
set(check_formats_check_crash_in_stereo_to_mono vst3 clap)
set(check_folder ${zoo_folder}-check)
set(behaviour 0)
foreach(name ${check_behaviours})
  set(formats vst2 vst3 clap)
  if(DEFINED check_formats_${name})
    set(formats ${check_formats_${name}})
  endif()
  foreach(format ${formats})
    add_check_zoo_plugin(${name} ${format} ${behaviour})
  endforeach()
  math(EXPR behaviour "${behaviour} + 1")
endforeach()
