#include "supervisor/Verification.h"

#include <memory>
#include <string>

#include "component/ComponentPath.h"
#include "supervisor/OutcomeMessages.h"
#include "supervisor/ConfigReader.h"
#include "util/DigestCodec.h"
#include "util/FileHelpers.h"
#include "util/FileRetry.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

namespace {

// The program is digested through a handle that denies writers. Under its cache name the
// handle also lets the launcher's own rename to the program name go through; the file is
// then opened again under the new name, denying renames and deletion, and must still be
// the same file.
const DWORD kShareProgramWhileRenamed = FILE_SHARE_READ | FILE_SHARE_DELETE;
const DWORD kShareHeldProgram = FILE_SHARE_READ;
// The package and the component files: read by anyone, written by nobody meanwhile.
const DWORD kShareDataFile = FILE_SHARE_READ;
// A file that another program holds open (a virus scanner looking at it, say) is tried
// again for this long before it counts as busy.
const DWORD kBusyPatienceMs = 2000;
const DWORD kBusyPauseMs = 100;

const VerifiedFile& MainProgramFile() { return VerifiedFileOf(VerifiedFileId::MainProgram); }

bool Cancelled(const VerificationContext& context) {
    return context.cancel && WaitForSingleObject(context.cancel, 0) == WAIT_OBJECT_0;
}

bool Await(const VerificationContext& context, CDigestTask& task, const wchar_t* what) {
    if (context.wait && task.DoneEvent() && WaitForSingleObject(task.DoneEvent(), 0) == WAIT_TIMEOUT) {
        if (!context.wait(task, what)) return false;
    }
    task.Result();
    return !Cancelled(context);
}

// A pause between two attempts on a busy file; false when the work was cancelled meanwhile.
bool PauseUnlessCancelled(const VerificationContext& context, DWORD ms) {
    if (!context.cancel) {
        Sleep(ms);
        return true;
    }
    return WaitForSingleObject(context.cancel, ms) == WAIT_TIMEOUT;
}

// The digest the file must have: its AppConf.ini entry, or the one fixed at build time.
bool ReadRecorded(const Installation& installation, const VerifiedFile& file, CString& digest) {
    if (file.IsFixed()) {
        digest = installation.fixed.Of(file);
        return true;
    }
    CString stored;
    if (!CConfigReader(installation.PathOf(kAppConfFile)).GetValue(file.configKey, stored)) return false;
    digest = DecodeDigestText(stored);
    return true;
}

enum class Verdict { Matches, Differs, Busy, Abandoned };

// Waits for `task` and compares its digest; a busy file is digested again for a moment, at
// `retryPath` when given (the file was renamed since its digest began).
Verdict Judge(const VerificationContext& context, std::unique_ptr<CDigestTask>& task, const CString& expected,
              const wchar_t* what, const CString& retryPath = CString()) {
    for (DWORD waited = 0;; waited += kBusyPauseMs) {
        if (!Await(context, *task, what)) return Verdict::Abandoned;
        const CString& actual = task->Result();
        if (DigestMatches(actual, expected)) break;
        if (!task->WasBusy()) {
            RunLog(L"digest %ls: recorded %ls, actual %ls", what, expected.GetString(), actual.GetString());
            return Verdict::Differs;
        }
        if (waited >= kBusyPatienceMs) {
            RunLog(L"digest %ls: the file is held by another program (error %u)", what,
                   static_cast<unsigned>(task->Error()));
            return Verdict::Busy;
        }
        if (!PauseUnlessCancelled(context, kBusyPauseMs)) return Verdict::Abandoned;
        task = task->Again(retryPath);
    }
    RunLog(L"digest %ls: recorded %ls, actual %ls", what, expected.GetString(), task->Result().GetString());
    return Verdict::Matches;
}

// The outcome of a verdict other than a match, for `file`; `differs` for a file that is
// not the recorded one.
LaunchOutcome Mismatch(Verdict verdict, const VerifiedFile& file, const CDigestTask& task,
                       const LaunchOutcome& differs) {
    if (verdict == Verdict::Abandoned) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    if (verdict == Verdict::Busy) return LaunchOutcome::For(LaunchStatus::FileBusy, file, task.Error());
    return differs;
}

LaunchOutcome VerifyDataFile(const VerificationContext& context, const VerifiedFile& file) {
    const Installation& installation = context.installation;
    CString expected;
    if (!ReadRecorded(installation, file, expected)) return LaunchOutcome::For(LaunchStatus::DigestUnrecorded, file);
    std::unique_ptr<CDigestTask> task =
        TakeOrStartDigest(installation.prefetch, installation.PathOf(file), kShareDataFile, false);
    const Verdict verdict = Judge(context, task, expected, file.name);
    if (verdict == Verdict::Matches) return LaunchOutcome::Of(LaunchStatus::Ok);
    return Mismatch(verdict, file, *task, LaunchOutcome::For(LaunchStatus::FileDiffers, file));
}

// The file digested through `task` must be the one now opened under its runnable name,
// denying writes, renames and deletion; it is then handed over held. Checked while the
// digest may still run: the task's handle denies writers from its opening on.
bool HoldIfSame(const CDigestTask& task, const CString& programPath, CVerifiedProgram& program) {
    if (task.OpenError() || !task.File()) return false;
    UniqueFile held(CreateFileW(programPath, GENERIC_READ, kShareHeldProgram, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held) {
        RunLog(L"digest %ls: void, the file cannot be held (error %u)", kMainProgramFile.GetString(),
               static_cast<unsigned>(GetLastError()));
        return false;
    }
    if (!IsSameFile(held.get(), task.File())) {
        RunLog(L"digest %ls: void, the file was replaced", kMainProgramFile.GetString());
        return false;
    }
    program.path = programPath;
    program.file = std::move(held);
    return true;
}

// Compares the program digested through `task` with `expected` and starts it suspended;
// `differs` when it is not the recorded program. The process is created from the held file
// while the digest still runs, and ended unstarted when the digest does not match.
LaunchOutcome VerifyProgram(const VerificationContext& context, std::unique_ptr<CDigestTask>& task,
                            const CString& expected, const CString& programPath, ISuspendedStart& start,
                            const LaunchOutcome& differs) {
    CVerifiedProgram program;
    LaunchOutcome early = LaunchOutcome::Of(LaunchStatus::Abandoned);
    const bool held = HoldIfSame(*task, programPath, program);
    if (held) early = start.StartSuspended(program);

    const Verdict verdict = Judge(context, task, expected, MainProgramFile().name, programPath);
    if (verdict != Verdict::Matches) {
        if (early.ok()) start.Discard();
        return Mismatch(verdict, MainProgramFile(), *task, differs);
    }
    // The recorded program: when it could not be created, that is what the user is told.
    if (held) return early;
    // Digested again after a busy moment: held and started now.
    if (!HoldIfSame(*task, programPath, program)) return differs;
    return start.StartSuspended(program);
}

// The main program as found under its runnable name; FileDiffers sends it to extraction.
LaunchOutcome VerifyPresentProgram(const VerificationContext& context, std::unique_ptr<CDigestTask>& task,
                                   const CString& programPath, ISuspendedStart& start) {
    const Installation& installation = context.installation;
    CString expected;
    if (!ReadRecorded(installation, MainProgramFile(), expected)) {
        return LaunchOutcome::For(LaunchStatus::DigestUnrecorded, MainProgramFile());
    }
    // A digest that could not open the file under its cache name starts again under the new one.
    if (!task || task->OpenError()) {
        task = TakeOrStartDigest(installation.prefetch, programPath, kShareProgramWhileRenamed, true);
    }
    return VerifyProgram(context, task, expected, programPath, start,
                         LaunchOutcome::For(LaunchStatus::FileDiffers, MainProgramFile()));
}

LaunchOutcome ExtractAndVerify(const VerificationContext& context, const ExtractProgram& extract,
                               const CString& programPath, ISuspendedStart& start) {
    // The component reads narrow paths: a folder it cannot be given is never replaced
    // by a look-alike, which would name another folder or none.
    std::string narrowDir;
    if (!ComponentPathText(context.installation.folder, narrowDir)) {
        RunLog(L"extraction of %ls: the folder's name cannot be given to the component", kMainProgramFile.GetString());
        return LaunchOutcome::Of(LaunchStatus::FolderNameUnreadable);
    }
    // The component writes into the folder: one the user cannot write is said to be so,
    // rather than with the component's own words for the first file it could not create.
    if (!CanWriteInFolder(context.installation.folder)) {
        RunLog(L"extraction of %ls: the installation folder cannot be written", kMainProgramFile.GetString());
        return LaunchOutcome::Of(LaunchStatus::InstallationReadOnly);
    }
    if (Cancelled(context)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    CString errorText;
    const bool extracted = extract(errorText);
    RunLog(L"extraction of %ls: %ls %ls", kMainProgramFile.GetString(), extracted ? L"done" : L"failed",
           errorText.GetString());
    if (!extracted) return ExtractionFailure(errorText);
    if (Cancelled(context)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    if (!FileExists(programPath)) return LaunchOutcome::For(LaunchStatus::ProgramMissing, MainProgramFile());

    CString expected;
    if (!ReadRecorded(context.installation, MainProgramFile(), expected)) {
        return LaunchOutcome::For(LaunchStatus::DigestUnrecorded, MainProgramFile());
    }
    // Digested under the runnable name straight away, denying renames and writers.
    std::unique_ptr<CDigestTask> task(new CDigestTask(programPath, kShareHeldProgram, true));
    return VerifyProgram(context, task, expected, programPath, start,
                         LaunchOutcome::For(LaunchStatus::ExtractedProgramDiffers, MainProgramFile()));
}

// Where the main program's digest starts: under whichever name the file lies.
CString PrefetchPath(const Installation& installation, const VerifiedFile& file) {
    const CString path = installation.PathOf(file);
    if (file.role != FileRole::MainProgram) return path;
    const CString cachePath = installation.PathOf(kMainProgramCacheFile);
    return FileExists(path) || !FileExists(cachePath) ? path : cachePath;
}

// A file lying under its between-runs name alone is given its runnable name; a digest
// started under the cache name comes back in `task` (the handle follows the file through the
// rename).
LaunchOutcome TakeRunnableName(const Installation& installation, std::unique_ptr<CDigestTask>& task) {
    const CString programPath = installation.PathOf(MainProgramFile());
    const CString cachePath = installation.PathOf(kMainProgramCacheFile);
    task = installation.prefetch ? installation.prefetch->Take(cachePath) : nullptr;
    if (!FileExists(cachePath) || FileExists(programPath)) {
        task.reset();
        return LaunchOutcome::Of(LaunchStatus::Ok);
    }
    // A folder the user cannot write would refuse this rename on every run.
    if (!CanWriteInFolder(installation.folder)) {
        RunLog(L"the installation folder cannot be written: %ls stays %ls, nothing started",
               kMainProgramFile.GetString(), kMainProgramCacheFile.GetString());
        return LaunchOutcome::Of(LaunchStatus::InstallationReadOnly);
    }
    if (!task) task.reset(new CDigestTask(cachePath, kShareProgramWhileRenamed, true));
    if (!MoveFileRetrying(cachePath, programPath, 0)) return LaunchOutcome::Of(LaunchStatus::RenameFailed, GetLastError());
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

}  // namespace

bool IsSameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first = {}, second = {};
    if (!a || !b || !GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return false;
    // Both handles name files of one folder, so one volume: the file index tells them
    // apart. The volume's serial number is not compared: for a handle whose file has
    // been renamed since it was opened, some systems (Wine) cannot give it.
    return first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow &&
           first.nFileSizeHigh == second.nFileSizeHigh && first.nFileSizeLow == second.nFileSizeLow &&
           CompareFileTime(&first.ftLastWriteTime, &second.ftLastWriteTime) == 0;
}

void PrefetchStartupDigests(const Installation& installation) {
    // The large files (package and program) first: they take longest.
    for (bool components : {false, true}) {
        for (const VerifiedFile& file : kVerifiedFiles) {
            if ((file.role == FileRole::Component) != components) continue;
            const bool program = file.role == FileRole::MainProgram;
            installation.prefetch->Start(PrefetchPath(installation, file),
                                         program ? kShareProgramWhileRenamed : kShareDataFile, program);
        }
    }
    // The caller goes on to load the window's libraries; the digests must be under way
    // before that, or they would wait for it.
    installation.prefetch->WaitUntilRunning();
}

LaunchOutcome VerifyDataFiles(const VerificationContext& context) {
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (!file.IsDataFile()) continue;
        const LaunchOutcome outcome = VerifyDataFile(context, file);
        if (!outcome.ok()) return outcome;
    }
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

LaunchOutcome PrepareMainProgram(const VerificationContext& context, const ExtractProgram& extract,
                                 ISuspendedStart& start) {
    const Installation& installation = context.installation;
    const CString programPath = installation.PathOf(MainProgramFile());
    if (Cancelled(context)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    std::unique_ptr<CDigestTask> task;
    const LaunchOutcome renamed = TakeRunnableName(installation, task);
    if (!renamed.ok()) return renamed;

    if (FileExists(programPath)) {
        const LaunchOutcome outcome = VerifyPresentProgram(context, task, programPath, start);
        if (outcome.status != LaunchStatus::FileDiffers) return outcome;
    }
    // Missing or different: the package's copy replaces it, without a word to the user.
    // Nothing of the old file may stay open, or it could not be replaced.
    task.reset();
    return ExtractAndVerify(context, extract, programPath, start);
}
