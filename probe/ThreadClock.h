#pragma once
// The CPU time the calling thread has taken, in seconds: what a plug-in's process calls cost,
// whatever else the machine runs meanwhile.
double ThreadCpuSeconds();
