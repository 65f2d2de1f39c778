# The zoo's plug-ins that make sense on Linux, built natively: .so files for VST 2, bundles
# (NAME.vst3/Contents/x86_64-linux/NAME.so) for VST 3 and .clap files for CLAP.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
foreach(name ordinary_effect synth_flag main_only jbridge_bootstrap entry_returns_null bad_magic shell_with_duplicates
             empty_shell shell_with_synth_flag crash_in_entry crash_in_close close_throws_and_catches close_throws_uncaught
             wants_midi_via_host sends_midi_dont_know category_unknown_no_inputs category_unknown_with_inputs
             category_five odd_names text_fills_buffer asks_every_opcode crash_on_thread hang_in_entry
             fault_after_answer exit_after_answer forges_ready forges_report prints_to_console stack_overflow
             floods_output hostile_texts abort_in_entry trap_in_entry spoils_process reports_process_state
             forks_faulting_child exhausts_descriptors leaves_library_loaded starts_daemon exhausts_then_crash
             raises_alarm replaces_output)
  add_test_plugin(${name})
endforeach()
add_library(missing_helper SHARED missing_helper.cpp)
target_include_directories(missing_helper PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(missing_helper PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/not-installed)
add_test_plugin(needs_missing_dll)
target_link_libraries(needs_missing_dll PRIVATE missing_helper)
# Its helper is not where the loader looks: no run path to the build tree.
set_target_properties(needs_missing_dll PROPERTIES SKIP_BUILD_RPATH ON)

add_library(vst3_kit STATIC Vst3Kit.cpp ${CMAKE_SOURCE_DIR}/probe/vst3/Vst3Ids.cpp)
target_include_directories(vst3_kit PUBLIC ${CMAKE_SOURCE_DIR})
add_library(clap_kit STATIC ClapKit.cpp)
target_include_directories(clap_kit PUBLIC ${CMAKE_SOURCE_DIR})
set_target_properties(vst3_kit clap_kit PROPERTIES POSITION_INDEPENDENT_CODE ON)

# A VST 3 module is always a bundle here.
function(add_vst3_bundle name folder)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX .so
                        LIBRARY_OUTPUT_DIRECTORY ${folder}/${name}.vst3/Contents/x86_64-linux)
  target_link_libraries(${name} PRIVATE vst3_kit)
  set_property(GLOBAL APPEND PROPERTY TESSARINE_TEST_PLUGINS ${name})
endfunction()
function(add_clap_file name folder)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX .clap LIBRARY_OUTPUT_DIRECTORY ${folder})
  target_link_libraries(${name} PRIVATE clap_kit)
  set_property(GLOBAL APPEND PROPERTY TESSARINE_TEST_PLUGINS ${name})
endfunction()
foreach(name vst3_pair vst3_single_file vst3_factory_v1 vst3_factory_crashes vst3_initialize_hangs vst3_hostile
             vst3_init_dll_false vst3_bad_factory3 vst3_buses)
  add_vst3_bundle(${name} ${zoo_folder} vst3/${name}.cpp)
endforeach()
foreach(name clap_pair clap_init_false clap_factory_crashes clap_plugin_init_hangs clap_version_0 clap_version_2
             clap_hostile clap_buses)
  add_clap_file(${name} ${zoo_folder} clap/${name}.cpp)
endforeach()

# The check's zoo: VST 2 as .so, VST 3 as bundles, CLAP as .clap.
function(add_check_zoo_plugin name format behaviour)
  set(target ${name}_${format})
  if(format STREQUAL vst3)
    add_library(${target} SHARED check/vst3_check.cpp ${CMAKE_SOURCE_DIR}/probe/vst3/Vst3Ids.cpp)
    set_target_properties(${target} PROPERTIES SUFFIX .so LIBRARY_OUTPUT_DIRECTORY ${check_folder}/${name}.vst3/Contents/x86_64-linux)
  else()
    add_library(${target} SHARED check/${format}_check.cpp)
    set(suffix .so)
    if(format STREQUAL clap)
      set(suffix .clap)
    endif()
    set_target_properties(${target} PROPERTIES SUFFIX ${suffix} LIBRARY_OUTPUT_DIRECTORY ${check_folder})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_compile_definitions(${target} PRIVATE ZOO_CHECK_BEHAVIOUR=${behaviour})
  target_link_libraries(${target} PRIVATE plugin_kit)
  set_property(GLOBAL APPEND PROPERTY TESSARINE_TEST_PLUGINS ${target})
endfunction()
include(CheckZoo.cmake)

get_property(zoo GLOBAL PROPERTY TESSARINE_TEST_PLUGINS)
add_custom_target(test_plugins DEPENDS ${zoo})
