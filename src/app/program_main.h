// The spine of the tool: start-up, the message loop, and the routines that the runtime
// calls around them. All run on the UI thread.
#pragma once

int ProgramMain();
int StartupRoutine();
void OnWindowCreated();
