#pragma once

// quillora --convert ...: converts the files without a window or a display, beside a window that may be
// open (no single-instance guard), with the window's deployment, service, folders and documents. Makes
// the QCoreApplication itself and returns the exit status (CommandLine::ExitStatus, or 128 + a signal).
int runConversionCommand(int argc, char *argv[]);
