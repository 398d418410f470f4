#include "support/FailingVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace varnet::test {

namespace {

using Fault = FailingVfs::Fault;

std::atomic<Fault> g_fault{Fault::None};
std::atomic<int> g_at{0}, g_writes{0}, g_syncs{0};
std::atomic<bool> g_fired{false};

sqlite3_vfs g_vfs;
sqlite3_vfs* g_real = nullptr;

// A file keeps the real VFS's object; only its method table is swapped for a
// copy whose write, truncate and sync can fail. The copy remembers the
// original, so every other call goes straight through.
struct Methods {
    sqlite3_io_methods methods;  // first: a file's pMethods points here
    const sqlite3_io_methods* real;
};
std::mutex g_methodsMutex;
std::vector<std::unique_ptr<Methods>> g_methods;

const sqlite3_io_methods* realOf(sqlite3_file* f) {
    return reinterpret_cast<const Methods*>(f->pMethods)->real;
}

// Counts a write; the error to return instead of doing it, or SQLITE_OK.
int writeFault(int ioError, bool fillsDisk) {
    const int k = ++g_writes;
    const Fault f = g_fault.load();
    if (f == Fault::Write && k == g_at) {
        g_fired = true;
        return ioError;
    }
    if (f == Fault::Full && fillsDisk && k >= g_at) {
        g_fired = true;
        return SQLITE_FULL;
    }
    return SQLITE_OK;
}

int shimWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    // A full disk refuses only what needs new space: pages written over
    // old ones still go in, as on a real file system.
    sqlite3_int64 size = 0;
    const bool grows = realOf(f)->xFileSize(f, &size) != SQLITE_OK || offset + amount > size;
    if (int rc = writeFault(SQLITE_IOERR_WRITE, grows)) return rc;
    return realOf(f)->xWrite(f, data, amount, offset);
}

int shimTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (int rc = writeFault(SQLITE_IOERR_TRUNCATE, false)) return rc;
    return realOf(f)->xTruncate(f, size);
}

int shimSync(sqlite3_file* f, int flags) {
    const int k = ++g_syncs;
    if (g_fault == Fault::Sync && k == g_at) {
        g_fired = true;
        return SQLITE_IOERR_FSYNC;
    }
    return realOf(f)->xSync(f, flags);
}

const sqlite3_io_methods* wrapped(const sqlite3_io_methods* real) {
    std::lock_guard lock(g_methodsMutex);
    for (const auto& m : g_methods)
        if (m->real == real) return &m->methods;
    auto m = std::make_unique<Methods>();
    m->methods = *real;
    m->methods.xWrite = shimWrite;
    m->methods.xTruncate = shimTruncate;
    m->methods.xSync = shimSync;
    m->real = real;
    g_methods.push_back(std::move(m));
    return &g_methods.back()->methods;
}

int shimOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    if (g_fault == Fault::ReadOnly && (flags & SQLITE_OPEN_READWRITE)) {
        // As on a write-protected folder: the database opens read-only (or
        // not at all when missing); no journal can be made beside it.
        if (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL | SQLITE_OPEN_SUPER_JOURNAL)) {
            g_fired = true;
            return SQLITE_CANTOPEN;
        }
        if (flags & SQLITE_OPEN_MAIN_DB) {
            g_fired = true;
            flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        }
    }
    const int rc = g_real->xOpen(g_real, name, file, flags, outFlags);
    if (rc == SQLITE_OK && file->pMethods) file->pMethods = wrapped(file->pMethods);
    return rc;
}

int shimDelete(sqlite3_vfs*, const char* name, int syncDir) {
    if (g_fault == Fault::ReadOnly) {
        g_fired = true;
        return SQLITE_IOERR_DELETE;
    }
    if (int rc = writeFault(SQLITE_IOERR_DELETE, false)) return rc;
    return g_real->xDelete(g_real, name, syncDir);
}

int shimAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
    if (g_fault == Fault::ReadOnly && flags == SQLITE_ACCESS_READWRITE) {
        g_fired = true;
        *result = 0;
        return SQLITE_OK;
    }
    return g_real->xAccess(g_real, name, flags, result);
}

}  // namespace

void FailingVfs::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_real = sqlite3_vfs_find(nullptr);
        if (!g_real) throw std::runtime_error("no default SQLite VFS");
        g_vfs = *g_real;
        g_vfs.zName = "varnet-failing";
        g_vfs.pNext = nullptr;
        g_vfs.xOpen = shimOpen;
        g_vfs.xDelete = shimDelete;
        g_vfs.xAccess = shimAccess;
        if (sqlite3_vfs_register(&g_vfs, 1) != SQLITE_OK)
            throw std::runtime_error("cannot register the failing VFS");
    });
}

void FailingVfs::arm(Fault fault, int n) {
    g_writes = 0;
    g_syncs = 0;
    g_fired = false;
    g_at = n;
    g_fault = fault;
}

void FailingVfs::disarm() { g_fault = Fault::None; }
bool FailingVfs::fired() { return g_fired; }
int FailingVfs::writes() { return g_writes; }
int FailingVfs::syncs() { return g_syncs; }

}  // namespace varnet::test
