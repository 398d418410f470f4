#pragma once

namespace varnet::test {

// A wrapper around SQLite's default VFS that becomes the default itself, so
// every connection the program opens goes through it. Armed, it fails one
// chosen write or sync, fills the disk from a chosen write on, or makes
// every file look read-only.
class FailingVfs {
  public:
    enum class Fault {
        None,
        Write,     // the n-th write (or truncate, or delete) fails: SQLITE_IOERR_WRITE
        Sync,      // the n-th sync fails: SQLITE_IOERR_FSYNC
        Full,      // from the n-th write on, every write that grows a file fails: SQLITE_FULL
        ReadOnly,  // files open read-only, new files cannot be made, folders are not writable
    };

    // Registers the wrapper as the default VFS (once per process).
    static void install();
    // Starts counting anew and arms `fault` at the n-th operation (n >= 1).
    static void arm(Fault fault, int n = 1);
    static void disarm();
    // Whether the armed fault has struck since arm().
    static bool fired();
    // Writes and syncs seen since arm().
    static int writes();
    static int syncs();
};

}  // namespace varnet::test
