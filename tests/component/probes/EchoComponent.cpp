// A component that reports what reached it, to test the launcher's side of the
// boundary. The file name selects the behaviour:
//   "ok"              true, no text
//   "false-silent"    false, no text
//   "true-with-error" true, and an error text
//   anything else     false, the six strings received joined by '|' as error text
#include <string>

#include "component/RuntimeComponent.h"

namespace {

long g_liveObjects = 0;

// Built by MinGW, so the deleting destructor is written out in the slot the interface
// declares for it, as the platform compiler generates it for the real component.
class CEchoWrapper final : public IRuntimeWrapper {
public:
    CEchoWrapper() { ++g_liveObjects; }
    ~CEchoWrapper() { --g_liveObjects; }

    void DeletingDestructor(unsigned int flags) override {
        if (flags & kFreeMemory) {
            delete this;
        } else {
            this->~CEchoWrapper();
        }
    }

    bool ExtractFile(const char* packagePath, const char* password, const char* infoTable, const char* dataTable,
                     const char* targetDir, const char* fileName, const char** errorText) override {
        const std::string name = fileName;
        if (name == "ok") return true;
        if (name == "false-silent") return false;
        if (name == "true-with-error") {
            m_text = "component said no";
            *errorText = m_text.c_str();
            return true;
        }
        m_text = std::string(packagePath) + "|" + password + "|" + infoTable + "|" + dataTable + "|" + targetDir +
                 "|" + fileName;
        *errorText = m_text.c_str();
        return false;
    }

private:
    std::string m_text;
};

}  // namespace

extern "C" __declspec(dllexport) IRuntimeWrapper* CreateWrapper() { return new CEchoWrapper(); }
// How many component objects exist: lets a test see that the holder deleted its object.
extern "C" __declspec(dllexport) long ProbeLiveObjects() { return g_liveObjects; }
