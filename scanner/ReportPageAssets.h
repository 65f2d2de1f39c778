#pragma once
// The report page's own style sheet and script, which every page carries inline.
extern const char* const kReportPageStyle;
extern const char* const kReportPageScript;
