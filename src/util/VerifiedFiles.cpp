#include "util/VerifiedFiles.h"

#include "ComponentDigests.h"

namespace {
struct NamedDigest {
    const wchar_t* name;
    const wchar_t* digest;
};
// Written by the build for every row whose digest is fixed; the last entry ends the list.
const NamedDigest kShippedDigests[] = {VELMORA_FIXED_DIGESTS{nullptr, nullptr}};
}  // namespace

FixedDigests FixedDigests::Shipped() {
    FixedDigests digests;
    for (const NamedDigest* entry = kShippedDigests; entry->name; ++entry) digests.Set(entry->name, entry->digest);
    return digests;
}

CString FixedDigests::Of(const VerifiedFile& file) const {
    auto found = m_digests.find(file.name);
    return found == m_digests.end() ? CString() : found->second;
}

void FixedDigests::Set(const CString& name, const CString& digest) { m_digests[name.Str()] = digest; }

bool DigestMatches(const CString& actual, const CString& recorded) { return !actual.IsEmpty() && actual == recorded; }
