#pragma once
// The table of the files the launcher verifies (util/VerifiedFileList.h) and the digests
// they must have. Every step that checks, prefetches, lists or installs these files walks
// the table, so that adding a verified file is a row and its messages.
#include <map>
#include <string>

#include "framework/CString.h"

enum class FileRole {
    Package,      // the program package: checked once per run, before the component is used
    Component,    // a library of the runtime component: checked before it is loaded and once per run
    MainProgram,  // checked at every launch attempt, extracted again from the package when it differs
};

enum class VerifiedFileId {
#define VELMORA_VERIFIED_FILE(id, ...) id,
#include "util/VerifiedFileList.h"
#undef VELMORA_VERIFIED_FILE
};

// What the user is told when the program package (or the copy extracted from it) is not the
// recorded one.
inline constexpr const wchar_t kDamagedPackageText[] =
    L"数据文件错误，请重启软件后再尝试。\n若重启软件后仍无法正常加载，请进入网站下载完整安装包重装或修复软件。";

struct VerifiedFile {
    VerifiedFileId id;
    const wchar_t* name;
    FileRole role;
    const wchar_t* configKey;       // null: the digest is fixed when the launcher is built
    const wchar_t* unrecordedText;  // AppConf.ini cannot be read or lacks the key
    const wchar_t* missingText;
    const wchar_t* differentText;

    bool IsFixed() const { return configKey == nullptr; }
    // Package and component files: present at every start, checked once per run.
    bool IsDataFile() const { return role != FileRole::MainProgram; }
};

inline constexpr VerifiedFile kVerifiedFiles[] = {
#define VELMORA_VERIFIED_FILE(id, name, role, key, unrecorded, missing, different) \
    {VerifiedFileId::id, name, FileRole::role, key, unrecorded, missing, different},
#include "util/VerifiedFileList.h"
#undef VELMORA_VERIFIED_FILE
};

inline constexpr const VerifiedFile& VerifiedFileOf(VerifiedFileId id) { return kVerifiedFiles[static_cast<int>(id)]; }

// The digests that are fixed when the launcher is built (the component's files), by file
// name. The shipped ones come from the build; tests may set others.
class FixedDigests {
public:
    static FixedDigests Shipped();
    // Empty when no digest is fixed for the file: then nothing matches it.
    CString Of(const VerifiedFile& file) const;
    void Set(const CString& name, const CString& digest);

private:
    std::map<std::wstring, CString> m_digests;
};

// A digest matches the recorded one only when it could be computed: an unreadable file
// (empty digest) never matches, not even an empty record.
bool DigestMatches(const CString& actual, const CString& recorded);
