#pragma once
// One installation as the launcher's checks see it: its folder, the digests fixed for its
// component files, and the digests of its verified files already under way.
#include "framework/CString.h"
#include "util/FileHelpers.h"
#include "util/VerifiedFiles.h"

class CDigestPrefetch;

struct Installation {
    CString folder;
    FixedDigests fixed = FixedDigests::Shipped();
    CDigestPrefetch* prefetch = nullptr;  // may be null: every digest is then made when needed

    CString PathOf(const CString& name) const { return JoinPath(folder, name); }
    CString PathOf(const VerifiedFile& file) const { return JoinPath(folder, file.name); }
};
