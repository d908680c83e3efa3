// Working directory and log-file prompt at start-up.
#pragma once

// Changes to the configured working directory (relative to the executable's directory).
void applyWorkingDirectory();
// Tells the user where the log is written and offers to show it in Explorer.
void promptLogFile();
