#pragma once
// The check's stages, in the order the driver runs them. Each ends with its stage line and
// returns false when it failed: the check ends there.
#include "probe/check/CheckContext.h"

bool OpenStage(CCheck& check);
// What makes a layout one the check cannot run (absurd counts of buses or channels); empty if none.
std::u16string LayoutProblem(const CPluginLayout& layout);
bool ProcessStage(CCheck& check);        // every setting, the load and the tail
bool AudioStage(CCheck& check);          // judges what the process stage heard
bool ParameterStage(CCheck& check);      // information, flags, texts, each value kept
bool AutomationStage(CCheck& check);     // values inside blocks, random values
bool ProgramStage(CCheck& check);
bool StateStage(CCheck& check);
bool SessionStage(CCheck& check);        // the main thread's edits and saving while audio runs
bool BusStage(CCheck& check);            // the layouts a host offers, the side-chains off
bool EditorStage(CCheck& check);         // the editor while audio runs
void CloseStage(CCheck& check);
