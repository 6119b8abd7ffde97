// Startup failures: one box with no owner, an OK button and the error icon;
// the caller then ends the process with the exit code returned.
#pragma once

int FailStartup(const wchar_t* text, const wchar_t* caption);
