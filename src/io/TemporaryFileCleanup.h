#pragma once

// Removing the temporary files replaceFile() is writing when a signal ends
// the program.
namespace tess::io {

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files replaceFile()
// is writing before the signal ends the program. Call once, early in main();
// a signal already ignored or handled elsewhere is left alone.
void installTemporaryFileCleanup();

} // namespace tess::io
