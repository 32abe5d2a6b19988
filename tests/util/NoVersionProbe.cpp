// A program with the launcher's code but no resources at all: prints the file version
// it reads of itself, in brackets, for the file-version test.
#include <cstdio>

#include "framework/Codepage.h"
#include "util/RegistryVersion.h"

int main() {
    std::string version = ToUtf8(GetLauncherFileVersion());
    std::fputs(("[" + version + "]").c_str(), stdout);
    std::fflush(stdout);
    return 0;
}
