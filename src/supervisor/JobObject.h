#pragma once
#include "framework/Handles.h"

// A kill-on-close job: closing its only handle ends every process still in it. Null
// when the job cannot be created or configured; the main program then runs without one.
UniqueHandle CreateKillOnCloseJob();
