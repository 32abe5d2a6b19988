#pragma once
// The job the main program runs in.
#include "framework/Handles.h"

// A kill-on-close job: closing the returned handle ends every process still in it. It is
// named MyJobObject; when a job of that name already exists, another program holds it
// and closing our handle would end nothing, so an unnamed job is made instead. Null when
// no job can be created or configured; the main program then runs without one.
UniqueHandle CreateKillOnCloseJob();
