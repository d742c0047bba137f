// The console as the Windows files of the platform layer (and their tests)
// see it.
#pragma once

namespace vantor::platform {

// Whether a standard handle is a console. Only a console answers
// GetConsoleMode: a file, a pipe and the NUL device do not, though the C
// runtime's _isatty takes NUL (any character device) for one.
bool isConsole(void* handle);

}  // namespace vantor::platform
