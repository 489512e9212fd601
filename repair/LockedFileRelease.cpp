#include "repair/LockedFileRelease.h"

#include "fw/TextConversion.h"
#include "repair/HandleTable.h"
#include "repair/InstallDir.h"
#include "fw/SystemLibrary.h"

#include <cstring>
#include <string>

namespace {

const LONG STATUS_INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);
const ULONG FILE_NAME_INFORMATION_CLASS = 9;
const DWORD NAME_QUERY_TIMEOUT = 50;
// A thread that has not reached its next query is waited for: on a loaded machine its
// start or its turn can take long. Only one that never comes is given up on.
const DWORD THREAD_PROGRESS_LIMIT = 5000;
const size_t NAME_BUFFER_SIZE = 260;
const SIZE_T QUERY_STACK_SIZE = 64 * 1024;

NtQuerySystemInformationFn g_pfnSystemQueryOverride = nullptr;
NtQueryInformationFileFn g_pfnFileQueryOverride = nullptr;

struct NativeQueries
{
    HMODULE Module;
    NtQuerySystemInformationFn SystemQuery;
    NtQueryInformationFileFn FileQuery;
};

bool LoadNativeQueries(NativeQueries *queries)
{
    queries->Module = LoadSystemLibrary("ntdll.dll");
    if (!queries->Module)
        return false;
    queries->SystemQuery = g_pfnSystemQueryOverride;
    if (!queries->SystemQuery)
        queries->SystemQuery = reinterpret_cast<NtQuerySystemInformationFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(queries->Module, "NtQuerySystemInformation")));
    queries->FileQuery = g_pfnFileQueryOverride;
    if (!queries->FileQuery)
        queries->FileQuery = reinterpret_cast<NtQueryInformationFileFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(queries->Module, "NtQueryInformationFile")));
    return true;
}

void FreeNativeQueries(NativeQueries *queries)
{
    // NTDLL is never unloaded, so a query thread still inside it is safe.
    if (queries->Module)
        FreeLibrary(queries->Module);
    queries->Module = nullptr;
}

void *ReadTable(NtQuerySystemInformationFn query, ULONG infoClass)
{
    HANDLE heap = GetProcessHeap();
    if (!query || !heap)
        return nullptr;
    for (ULONG size = 0x8000;; size *= 2) {
        void *buffer = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
        if (!buffer)
            return nullptr;
        LONG status = query(infoClass, buffer, size, nullptr);
        if (status >= 0)
            return buffer;
        HeapFree(heap, 0, buffer);
        // Stop before the size wraps around.
        if (status != STATUS_INFO_LENGTH_MISMATCH || size > 0x40000000)
            return nullptr;
    }
}

HandleTable ViewTable(void *table, int infoClass)
{
    return HandleTable(table, table ? HeapSize(GetProcessHeap(), 0, table) : 0, infoClass);
}

// Opens the null device, reads the handle table and learns the file type number from
// this process's entry for it. On success the caller owns *table. The extended table comes
// first: class 16 cuts process ids and handle values to 16 bits, which can open the wrong
// process. Class 16 serves where the extended table is missing or holds no entry of ours
// (a layout this code does not read, say).
UINT FindFileType(NtQuerySystemInformationFn query, void **table, int *infoClass)
{
    *table = nullptr;
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE)
        return 0;
    UINT type = 0;
    for (int cls : {HANDLE_TABLE_EX_CLASS, HANDLE_TABLE_CLASS}) {
        void *candidate = ReadTable(query, cls);
        if (!candidate)
            continue;
        type = ViewTable(candidate, cls).FindType(GetCurrentProcessId(), reinterpret_cast<ULONG_PTR>(nul));
        if (type) {
            *table = candidate;
            *infoClass = cls;
            break;
        }
        HeapFree(GetProcessHeap(), 0, candidate);
    }
    CloseHandle(nul);
    return type;
}

struct FileNameRecord
{
    ULONG Length; // bytes
    WCHAR Name[262];
};
static_assert(sizeof(FileNameRecord) == 528, "record size");

struct StatusBlock
{
    ULONG_PTR Status;
    ULONG_PTR Information;
};

// Queries handed to the thread at once; each still has its own 50 ms bound.
const LONG QUERY_BATCH = 64;

// What a name-query thread touches. It lives on the process heap and is freed only
// after its thread has ended; a thread given up on keeps its block for good.
struct QuerySlot
{
    NtQueryInformationFileFn Query;
    HANDLE Request;
    HANDLE Done;
    volatile LONG Quit;
    LONG Count;
    volatile LONG Started;  // queries of this request begun
    volatile LONG Finished; // queries of this request ended
    DWORD StartTicks[QUERY_BATCH];
    HANDLE Files[QUERY_BATCH];
    StatusBlock Status;
    FileNameRecord Records[QUERY_BATCH];
    HANDLE Thread; // the caller's side
    // Files[KeptFirst, KeptFirst + KeptCount) belong to the slot: its thread given up on may
    // still query them, so that thread closes them once it is back, or the slot's freeing
    // after the thread has ended does.
    LONG KeptFirst;
    LONG KeptCount;
    QuerySlot *Next;
};

void CloseKeptFiles(QuerySlot *slot)
{
    for (LONG i = 0; i < slot->KeptCount; ++i)
        if (slot->Files[slot->KeptFirst + i])
            CloseHandle(slot->Files[slot->KeptFirst + i]);
    slot->KeptCount = 0;
}

// A thread given up on closes the handles its slot kept for it once it is back.
DWORD QuitQueryThread(QuerySlot *slot)
{
    // The kept range was written before the quit request that brought the thread here.
    MemoryBarrier();
    CloseKeptFiles(slot);
    return 0;
}

// Runs only system calls: no heap, no runtime, no locks, nothing that enters the loader.
// A thread abandoned inside a query can then be left alone safely.
DWORD WINAPI NameQueryThread(void *param)
{
    QuerySlot *slot = static_cast<QuerySlot *>(param);
    for (;;) {
        if (WaitForSingleObject(slot->Request, INFINITE) != WAIT_OBJECT_0)
            return 1;
        for (LONG i = 0; i < slot->Count; ++i) {
            if (slot->Quit)
                return QuitQueryThread(slot);
            slot->StartTicks[i] = GetTickCount();
            InterlockedExchange(&slot->Started, i + 1);
            slot->Query(slot->Files[i], &slot->Status, &slot->Records[i], sizeof(FileNameRecord),
                        FILE_NAME_INFORMATION_CLASS);
            InterlockedExchange(&slot->Finished, i + 1);
        }
        if (slot->Quit)
            return QuitQueryThread(slot);
        SetEvent(slot->Done);
    }
}

void FreeSlot(QuerySlot *slot)
{
    CloseKeptFiles(slot);
    if (slot->Thread)
        CloseHandle(slot->Thread);
    if (slot->Request)
        CloseHandle(slot->Request);
    if (slot->Done)
        CloseHandle(slot->Done);
    HeapFree(GetProcessHeap(), 0, slot);
}

QuerySlot *StartQueryThread(NtQueryInformationFileFn query)
{
    if (!query)
        return nullptr;
    QuerySlot *slot = static_cast<QuerySlot *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QuerySlot)));
    if (!slot)
        return nullptr;
    slot->Query = query;
    slot->Request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    slot->Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (slot->Request && slot->Done)
        slot->Thread = CreateThread(nullptr, QUERY_STACK_SIZE, NameQueryThread, slot,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!slot->Thread) {
        FreeSlot(slot);
        return nullptr;
    }
    return slot;
}

// Asks the thread to end once it is back from its current call.
void RequestQuit(QuerySlot *slot)
{
    InterlockedExchange(&slot->Quit, 1);
    SetEvent(slot->Request);
}

// Frees the block if its thread has ended within timeout; otherwise the block stays
// with the thread. It is never killed: it may be inside a system call that cannot be
// interrupted, and killing gains nothing but the risk of a lock left held.
void ReleaseSlot(QuerySlot *slot, DWORD timeout)
{
    RequestQuit(slot);
    if (WaitForSingleObject(slot->Thread, timeout) == WAIT_OBJECT_0)
        FreeSlot(slot);
}

// Runs the first count queries of the slot. Returns count when all ended, or the index
// of a query that has run 50 ms without ending (the slot then belongs to its thread). A
// query not yet begun is waited for, up to THREAD_PROGRESS_LIMIT without any progress.
LONG RunBatch(QuerySlot *slot, LONG count)
{
    slot->Count = count;
    slot->Started = 0;
    slot->Finished = 0;
    memset(slot->Records, 0, sizeof(FileNameRecord) * count);
    DWORD mark = GetTickCount(); // when progress was last seen
    LONG seen = 0;
    SetEvent(slot->Request);
    DWORD wait = NAME_QUERY_TIMEOUT;
    for (;;) {
        if (WaitForSingleObject(slot->Done, wait) == WAIT_OBJECT_0)
            return count;
        LONG started = slot->Started;
        LONG finished = slot->Finished;
        DWORD now = GetTickCount();
        if (started + finished != seen) {
            seen = started + finished;
            mark = now;
        }
        if (started > finished) {
            // A query under way counts from its own start.
            DWORD elapsed = now - slot->StartTicks[finished];
            if (elapsed >= NAME_QUERY_TIMEOUT)
                return finished;
            wait = NAME_QUERY_TIMEOUT - elapsed;
        } else {
            // Between queries the thread runs nothing that blocks: it is starting or waiting
            // for its turn on the processor.
            if (finished < count && now - mark >= THREAD_PROGRESS_LIMIT)
                return finished;
            wait = NAME_QUERY_TIMEOUT;
        }
    }
}

// Another handle to the same object, or null.
HANDLE DuplicateOwn(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (!handle || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

void CloseAll(HANDLE *handles, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        if (handles[i])
            CloseHandle(handles[i]);
}

void CopyName(const FileNameRecord &record, char *name)
{
    memset(name, 0, NAME_BUFFER_SIZE);
    ULONG chars = record.Length / sizeof(WCHAR);
    const ULONG capacity = sizeof(record.Name) / sizeof(WCHAR);
    if (chars > capacity)
        chars = capacity;
    if (chars == 0)
        return;
    // UTF-8, as every path of the tool: no character of the name is lost.
    const std::string converted = WideToPath(record.Name, static_cast<int>(chars));
    // Keep a terminating zero and never split a character.
    size_t keep = 0;
    while (keep < converted.size()) {
        const unsigned char lead = static_cast<unsigned char>(converted[keep]);
        const size_t step = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (keep + step > NAME_BUFFER_SIZE - 1 || keep + step > converted.size())
            break;
        keep += step;
    }
    memcpy(name, converted.data(), keep);
}

// The walk's reusable query thread, replaced only when one is given up on.
class NameQuerier
{
public:
    explicit NameQuerier(NtQueryInformationFileFn query) : m_pfnQuery(query) {}
    ~NameQuerier()
    {
        if (m_pSlot)
            ReleaseSlot(m_pSlot, 1000);
        // Abandoned threads that have come back by now can go; the rest keep their blocks.
        while (m_pAbandoned) {
            QuerySlot *next = m_pAbandoned->Next;
            ReleaseSlot(m_pAbandoned, 0);
            m_pAbandoned = next;
        }
    }

    // Fills names[i] (NAME_BUFFER_SIZE bytes each) for files[i], i < count <= QUERY_BATCH;
    // a query given up on leaves its name empty. Returns the number given up on. Takes the
    // handles over: each is closed here, or by the slot of a thread given up on.
    unsigned Query(HANDLE *files, LONG count, char *names)
    {
        memset(names, 0, NAME_BUFFER_SIZE * count);
        unsigned abandoned = 0;
        LONG done = 0;
        while (done < count) {
            if (!m_pSlot)
                m_pSlot = StartQueryThread(m_pfnQuery);
            if (!m_pSlot)
                break;
            LONG rest = count - done;
            memcpy(m_pSlot->Files, files + done, sizeof(HANDLE) * rest);
            LONG finished = RunBatch(m_pSlot, rest);
            for (LONG i = 0; i < finished; ++i)
                CopyName(m_pSlot->Records[i], names + NAME_BUFFER_SIZE * (done + i));
            CloseAll(files + done, finished);
            done += finished;
            if (finished < rest) {
                // Skip the hung one. Its thread may still use it and any after it: they stay
                // with the slot; the rest go to a new thread on handles of their own.
                m_pSlot->KeptFirst = finished;
                m_pSlot->KeptCount = rest - finished;
                for (LONG i = done + 1; i < count; ++i)
                    files[i] = DuplicateOwn(files[i]);
                RequestQuit(m_pSlot);
                m_pSlot->Next = m_pAbandoned;
                m_pAbandoned = m_pSlot;
                m_pSlot = nullptr;
                ++abandoned;
                ++done;
            }
        }
        CloseAll(files + done, count - done);
        return abandoned;
    }

private:
    NtQueryInformationFileFn m_pfnQuery;
    QuerySlot *m_pSlot = nullptr;
    QuerySlot *m_pAbandoned = nullptr;
};

// File handles of one owning process, duplicated and waiting for their names.
struct PendingBatch
{
    HANDLE Process;
    DWORD ProcessId;
    LONG Count;
    HANDLE Sources[QUERY_BATCH];
    HANDLE Copies[QUERY_BATCH];
    char Names[QUERY_BATCH * NAME_BUFFER_SIZE];
};

// What the walk does with the handles that match, and where it notes their owners.
struct WalkAction
{
    bool Close;
    std::vector<DWORD> *Owners;
};

// The list is only informative: without memory for it the walk goes on.
void NoteOwner(std::vector<DWORD> *owners, DWORD processId) noexcept
{
    if (!owners)
        return;
    for (DWORD known : *owners)
        if (known == processId)
            return;
    try {
        owners->push_back(processId);
    } catch (...) {
    }
}

// Names the batch's handles and closes, inside their owner, those that match.
void ResolveBatch(PendingBatch *batch, NameQuerier *querier, const char *fragment, const bool *leadBytes,
                  const WalkAction &action, ReleaseStats *counts)
{
    if (batch->Count == 0)
        return;
    counts->Queried += batch->Count;
    // The querier takes the copies over: one under a query given up on must stay open.
    counts->Abandoned += querier->Query(batch->Copies, batch->Count, batch->Names);
    HANDLE self = GetCurrentProcess();
    for (LONG i = 0; i < batch->Count; ++i) {
        const char *name = batch->Names + NAME_BUFFER_SIZE * i;
        if (name[0] && ContainsNoCase(name, fragment, leadBytes)) {
            NoteOwner(action.Owners, batch->ProcessId);
            HANDLE last;
            if (action.Close &&
                DuplicateHandle(batch->Process, batch->Sources[i], self, &last, 0, FALSE, DUPLICATE_CLOSE_SOURCE)) {
                CloseHandle(last);
                ++counts->Closed;
            }
        }
    }
    batch->Count = 0;
}

bool WalkFileHandles(const char *nameFragment, const WalkAction &action, ReleaseStats *stats);

} // namespace

int TestFileLock(const char *fileName)
{
    if (!fileName)
        return 2;
    std::string path = MakeProductPath(fileName);
    // No access rights: takes no part in sharing checks, so this only proves it exists.
    const WideText widePath = PathToWide(path.c_str());
    HANDLE probe = CreateFileW(widePath.data(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE exclusive = CreateFileW(widePath.data(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    int result = 0;
    if (exclusive != INVALID_HANDLE_VALUE) {
        result = 1;
        CloseHandle(exclusive);
    }
    CloseHandle(probe);
    return result;
}

void *QuerySystemInformation(ULONG infoClass)
{
    NativeQueries queries;
    if (!LoadNativeQueries(&queries))
        return nullptr;
    void *table = ReadTable(queries.SystemQuery, infoClass);
    FreeNativeQueries(&queries);
    return table;
}

UINT GetFileObjectType()
{
    NativeQueries queries;
    if (!LoadNativeQueries(&queries))
        return 0;
    void *table;
    int infoClass;
    UINT type = FindFileType(queries.SystemQuery, &table, &infoClass);
    if (table)
        HeapFree(GetProcessHeap(), 0, table);
    FreeNativeQueries(&queries);
    return type;
}

void QueryHandleFileName(HANDLE handle, char *name)
{
    if (!handle || !name)
        return;
    NativeQueries queries;
    if (!LoadNativeQueries(&queries)) {
        memset(name, 0, NAME_BUFFER_SIZE);
        return;
    }
    {
        // The caller keeps its handle and may close it while a query given up on still runs.
        HANDLE own = DuplicateOwn(handle);
        NameQuerier querier(queries.FileQuery);
        querier.Query(&own, 1, name);
    }
    FreeNativeQueries(&queries);
}

bool ReleaseLockedFile(const char *nameFragment)
{
    return ReleaseLockedFile(nameFragment, nullptr);
}

bool ReleaseLockedFile(const char *nameFragment, ReleaseStats *stats, std::vector<DWORD> *owners)
{
    return WalkFileHandles(nameFragment, WalkAction{true, owners}, stats);
}

bool FindLockedFileHolders(const char *nameFragment, std::vector<DWORD> *owners)
{
    return WalkFileHandles(nameFragment, WalkAction{false, owners}, nullptr);
}

namespace {

bool WalkFileHandles(const char *nameFragment, const WalkAction &action, ReleaseStats *stats)
{
    ReleaseStats counts = {};
    if (stats)
        *stats = counts;
    if (!nameFragment)
        return false;
    HANDLE heap = GetProcessHeap();
    if (!heap)
        return false;
    NativeQueries queries;
    if (!LoadNativeQueries(&queries))
        return false;
    // One table read serves both the type number and the walk.
    void *table;
    int infoClass;
    UINT fileType = FindFileType(queries.SystemQuery, &table, &infoClass);
    if (fileType == 0) {
        if (table)
            HeapFree(heap, 0, table);
        FreeNativeQueries(&queries);
        return false;
    }

    // Names are UTF-8: no byte inside a longer character is an ASCII letter, so a match of
    // the fragment can never start within one, and no byte leads a pair.
    const bool *leadBytes = nullptr;

    HandleTable view = ViewTable(table, infoClass);
    PendingBatch *batch = static_cast<PendingBatch *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(PendingBatch)));
    if (!batch) {
        HeapFree(heap, 0, table);
        FreeNativeQueries(&queries);
        return false;
    }
    HANDLE self = GetCurrentProcess();
    // Entries come grouped by process: each owner is opened once per run of entries.
    uint64_t processId = 0;
    bool haveProcess = false;
    {
        NameQuerier querier(queries.FileQuery);
        HandleRecord entry;
        for (size_t i = 0; i < view.Count(); ++i) {
            view.Entry(i, &entry);
            if (entry.ObjectType != fileType)
                continue;
            ++counts.FileHandles;
            if (!haveProcess || entry.ProcessId != processId) {
                ResolveBatch(batch, &querier, nameFragment, leadBytes, action, &counts);
                if (batch->Process)
                    CloseHandle(batch->Process);
                batch->Process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(entry.ProcessId));
                batch->ProcessId = static_cast<DWORD>(entry.ProcessId);
                processId = entry.ProcessId;
                haveProcess = true;
            }
            if (!batch->Process)
                continue;
            HANDLE source = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.Handle));
            HANDLE copy;
            if (!DuplicateHandle(batch->Process, source, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
                continue;
            batch->Sources[batch->Count] = source;
            batch->Copies[batch->Count] = copy;
            if (++batch->Count == QUERY_BATCH)
                ResolveBatch(batch, &querier, nameFragment, leadBytes, action, &counts);
        }
        ResolveBatch(batch, &querier, nameFragment, leadBytes, action, &counts);
    }
    if (batch->Process)
        CloseHandle(batch->Process);
    HeapFree(heap, 0, batch);
    HeapFree(heap, 0, table);
    FreeNativeQueries(&queries);
    if (stats)
        *stats = counts;
    return true;
}

} // namespace

void SetNativeQueriesForTesting(NtQuerySystemInformationFn systemQuery, NtQueryInformationFileFn fileQuery)
{
    g_pfnSystemQueryOverride = systemQuery;
    g_pfnFileQueryOverride = fileQuery;
}
