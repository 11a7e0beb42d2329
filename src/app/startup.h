#pragma once

// What a process that shows the windows sets up once, where it starts: the
// program itself (main.cpp), and the tests, benchmarks and tools that run
// the same windows.

namespace platform {
class Program;
}

namespace app {

// After the QApplication exists: the installed fonts the windows' named
// families map to, the interfaces assistive technology reads, and an end
// that only the program decides. (The search for what the fonts can show
// starts after a window's first paint.)
void prepareApplication();

// A new running copy: the user's words for every error that ends a handler.
void prepareProgram(platform::Program &program);

} // namespace app
