#include "supervisor/Verification.h"

#include <memory>
#include <string>

#include "component/ComponentPath.h"
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

bool Await(const VerificationContext& context, CDigestTask& task, const wchar_t* what) {
    if (context.wait && task.DoneEvent() && WaitForSingleObject(task.DoneEvent(), 0) == WAIT_TIMEOUT) {
        if (!context.wait(task, what)) return false;
    }
    task.Result();
    return true;
}

bool ReadRecorded(const CString& appDir, const wchar_t* key, CString& digest) {
    CString stored;
    if (!CConfigReader(JoinPath(appDir, kAppConfFile)).GetValue(key, stored)) return false;
    digest = DecodeDigestText(stored);
    return true;
}

// Compares one file with an expected digest; Ok, Abandoned, or `differs`.
LaunchOutcome Compare(const VerificationContext& context, const CString& name, const CString& expected,
                      LaunchStatus differs) {
    std::unique_ptr<CDigestTask> task =
        TakeOrStartDigest(context.prefetch, JoinPath(context.appDir, name), kShareDataFile, false);
    if (!Await(context, *task, name)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    const CString& actual = task->Result();
    RunLog(L"digest %ls: recorded %ls, actual %ls", name.GetString(), expected.GetString(), actual.GetString());
    return LaunchOutcome::Of(actual == expected ? LaunchStatus::Ok : differs);
}

// The verified program under its runnable name: the file digested through `task` must be
// the one now opened there, and its digest the recorded one.
bool HoldIfVerified(CDigestTask& task, const CString& programPath, const CString& expected,
                    CVerifiedProgram& program) {
    const CString& actual = task.Result();
    RunLog(L"digest %ls: recorded %ls, actual %ls", kMainProgramFile.GetString(), expected.GetString(),
           actual.GetString());
    if (actual.IsEmpty() || actual != expected) return false;
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

LaunchOutcome ExtractAndVerify(const VerificationContext& context, const ExtractProgram& extract,
                               const CString& programPath, CVerifiedProgram& program) {
    // The component reads narrow paths: a folder it cannot be given is never replaced
    // by a look-alike, which would name another folder or none.
    std::string narrowDir;
    if (!ComponentPathText(context.appDir, narrowDir)) {
        RunLog(L"extraction of %ls: the folder's name cannot be given to the component", kMainProgramFile.GetString());
        return LaunchOutcome::Of(LaunchStatus::FolderNameUnreadable);
    }
    CString errorText;
    const bool extracted = extract(errorText);
    RunLog(L"extraction of %ls: %ls %ls", kMainProgramFile.GetString(), extracted ? L"done" : L"failed",
           errorText.GetString());
    if (!extracted) return LaunchOutcome::Of(LaunchStatus::ExtractionFailed, 0, errorText);
    if (!FileExists(programPath)) return LaunchOutcome::Of(LaunchStatus::ProgramMissing);

    CString expected;
    if (!ReadRecorded(context.appDir, L"Apexm5", expected)) {
        return LaunchOutcome::Of(LaunchStatus::ProgramDigestUnrecorded);
    }
    // Digested under the runnable name straight away, denying renames and writers.
    CDigestTask task(programPath, kShareHeldProgram, true);
    if (!Await(context, task, kMainProgramFile)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
    if (!HoldIfVerified(task, programPath, expected, program)) {
        return LaunchOutcome::Of(LaunchStatus::ExtractedProgramDiffers);
    }
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

void PrefetchStartupDigests(const CString& appDir, CDigestPrefetch& prefetch) {
    // The two large files first: they take longest.
    prefetch.Start(JoinPath(appDir, kProgramPackageFile), kShareDataFile, false);
    const CString programPath = JoinPath(appDir, kMainProgramFile);
    const CString cachePath = JoinPath(appDir, kMainProgramCacheFile);
    prefetch.Start(FileExists(programPath) || !FileExists(cachePath) ? programPath : cachePath,
                   kShareProgramWhileRenamed, true);
    prefetch.Start(JoinPath(appDir, kComponentLibFile), kShareDataFile, false);
    prefetch.Start(JoinPath(appDir, kComponentApiFile), kShareDataFile, false);
    // The caller goes on to load the window's libraries; the digests must be under way
    // before that, or they would wait for it.
    prefetch.WaitUntilRunning();
}

LaunchOutcome VerifyDataFiles(const VerificationContext& context) {
    CString expected;
    if (!ReadRecorded(context.appDir, L"Apdbm5", expected)) {
        return LaunchOutcome::Of(LaunchStatus::PackageDigestUnrecorded);
    }
    LaunchOutcome outcome = Compare(context, kProgramPackageFile, expected, LaunchStatus::PackageDiffers);
    if (!outcome.ok()) return outcome;
    outcome = Compare(context, kComponentLibFile, context.fixedLibDigest, LaunchStatus::ComponentLibDiffers);
    if (!outcome.ok()) return outcome;
    return Compare(context, kComponentApiFile, context.fixedApiDigest, LaunchStatus::ComponentApiDiffers);
}

LaunchOutcome PrepareMainProgram(const VerificationContext& context, const ExtractProgram& extract,
                                 CVerifiedProgram& program) {
    const CString programPath = JoinPath(context.appDir, kMainProgramFile);
    const CString cachePath = JoinPath(context.appDir, kMainProgramCacheFile);

    // The digest may already run under the cache name: the handle follows the file
    // through the rename.
    std::unique_ptr<CDigestTask> task = context.prefetch ? context.prefetch->Take(cachePath) : nullptr;
    if (FileExists(cachePath) && !FileExists(programPath)) {
        // A folder the user cannot write would refuse this rename on every run.
        if (!CanWriteInFolder(context.appDir)) {
            RunLog(L"the installation folder cannot be written: %ls stays %ls, nothing started",
                   kMainProgramFile.GetString(), kMainProgramCacheFile.GetString());
            return LaunchOutcome::Of(LaunchStatus::InstallationReadOnly);
        }
        if (!task) task.reset(new CDigestTask(cachePath, kShareProgramWhileRenamed, true));
        if (!MoveFileRetrying(cachePath, programPath, 0)) {
            return LaunchOutcome::Of(LaunchStatus::RenameFailed, GetLastError());
        }
    } else {
        task.reset();
    }

    if (FileExists(programPath)) {
        CString expected;
        if (!ReadRecorded(context.appDir, L"Apexm5", expected)) {
            return LaunchOutcome::Of(LaunchStatus::ProgramDigestUnrecorded);
        }
        if (!task) task = TakeOrStartDigest(context.prefetch, programPath, kShareProgramWhileRenamed, true);
        if (!Await(context, *task, kMainProgramFile)) return LaunchOutcome::Of(LaunchStatus::Abandoned);
        if (HoldIfVerified(*task, programPath, expected, program)) return LaunchOutcome::Of(LaunchStatus::Ok);
    }
    // Missing or different: the package's copy replaces it, without a word to the user.
    // Nothing of the old file may stay open, or it could not be replaced.
    task.reset();
    return ExtractAndVerify(context, extract, programPath, program);
}
