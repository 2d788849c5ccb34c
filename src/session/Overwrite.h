#pragma once
// The answers to "the file already exists" that a transfer may be given.
// The values are the ones the prompt's buttons carry, so callers and the
// prompt agree without a table in between.
namespace overwrite {

enum Answer : int {
    Resume = 0,    // continue the destination from its current size
    Overwrite = 1, // replace this file
    All = 2,       // replace this and every later existing file of the operation
    Skip = 3,      // leave this file alone
    SaveAs = 4,    // write to the new path the prompt handed back instead
    Cancel = 5,    // stop the whole operation
    SkipAll = 6,   // leave this and every later existing file alone
};

} // namespace overwrite
