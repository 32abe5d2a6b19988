#include "supervisor/JobObject.h"

#include "util/RunLog.h"

namespace {

bool SetKillOnClose(HANDLE job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) != FALSE;
}

}  // namespace

UniqueHandle CreateKillOnCloseJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, L"MyJobObject"));
    if (job && GetLastError() == ERROR_ALREADY_EXISTS) {
        RunLog(L"job: MyJobObject is held by another program; using an unnamed job");
        job.reset(CreateJobObjectW(nullptr, nullptr));
    }
    if (!job) {
        RunLog(L"job: cannot be created (error %lu); the main program runs without one", GetLastError());
        return job;
    }
    if (!SetKillOnClose(job.get())) {
        RunLog(L"job: cannot be set to kill on close (error %lu); the main program runs without one",
               GetLastError());
        job.reset();
        return job;
    }
    RunLog(L"job: created");
    return job;
}
