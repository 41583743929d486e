#pragma once

// The program's main function: application set-up, language, main window, event loop.
int qMain(int argc, char** argv);
