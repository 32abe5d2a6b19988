#include "supervisor/JobObject.h"

UniqueHandle CreateKillOnCloseJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, L"MyJobObject"));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        job.reset();
    }
    return job;
}
