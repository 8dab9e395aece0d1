#pragma once

namespace tamberlo::cli {

// Every run keeps its files in the system's temporary folder (TMPDIR on
// POSIX, TMP or TEMP on Windows): one that is not there or is no folder
// would fail every run alike, and a put file's failure would not even name
// it. Throws SystemFailure "the temporary folder <folder>: <reason>" then,
// before anything runs; a folder that is there is left to the runs, which
// say what else is wrong with it (no right to write there).
void CheckTemporaryFolder();

}  // namespace tamberlo::cli
